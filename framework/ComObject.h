// COM objects written once: an object names the interfaces it implements and gets QueryInterface
// from that list, an interlocked reference count, its place in the module's object count and a
// call when its last reference goes. Variants: an object that lives in a scope (a test's stub),
// and an interface implemented by a member that shares its object's identity.
#pragma once

#include "framework/Module.h"

#include <windows.h>
#include <objsafe.h>
#include <unknwn.h>

namespace fw {

// The IID of an interface: the one mingw's headers declare for it (__uuidof), or the library's
// constant for the few they leave out.
template <class Interface>
inline const IID& InterfaceId() {
    return __uuidof(Interface);
}
template <>
inline const IID& InterfaceId<IObjectSafety>() {
    return IID_IObjectSafety;
}

// In an object's list of interfaces: Interface, answered also for the interfaces it extends
// (AlsoAs<IViewObject2, IViewObject>: whoever asks for IViewObject gets the IViewObject2).
template <class Interface, class... Bases>
struct AlsoAs {};

namespace com_detail {

template <class Entry>
struct Listed {
    using Interface = Entry;
    static bool Answers(REFIID iid) { return IsEqualIID(iid, InterfaceId<Entry>()); }
};
template <class Implemented, class... Bases>
struct Listed<AlsoAs<Implemented, Bases...>> {
    using Interface = Implemented;
    static bool Answers(REFIID iid) {
        return IsEqualIID(iid, InterfaceId<Implemented>()) || (IsEqualIID(iid, InterfaceId<Bases>()) || ...);
    }
};

// The interfaces of an object and the one that answers an IID: the first that lists it, and for
// IUnknown the first of all, the object's identity.
template <class First, class... Rest>
class Interfaces : public Listed<First>::Interface, public Listed<Rest>::Interface... {
public:
    IUnknown* Identity() { return static_cast<typename Listed<First>::Interface*>(this); }

protected:
    IUnknown* Find(REFIID iid) {
        if (IsEqualIID(iid, IID_IUnknown)) return Identity();
        IUnknown* found = nullptr;
        (Take<First>(iid, found) || ... || Take<Rest>(iid, found));
        return found;
    }

private:
    template <class Entry>
    bool Take(REFIID iid, IUnknown*& found) {
        if (!Listed<Entry>::Answers(iid)) return false;
        found = static_cast<typename Listed<Entry>::Interface*>(this);
        return true;
    }
};

}  // namespace com_detail

// What QueryInterface hands out: found, counted once more, or E_NOINTERFACE when it is null.
inline HRESULT AnswerInterface(IUnknown* found, void** out) {
    if (!out) return E_POINTER;
    *out = found;
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

// An object on the heap: created with one reference (its creator's), deleted with the last, and
// counted among the module's objects while it lives (in an executable the count is kept but never
// asked). Its class derives from ComObject<I1, I2, ...> and implements their methods.
template <class... Entries>
class ComObject : public com_detail::Interfaces<Entries...> {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return AnswerInterface(this->Find(iid), out); }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) {
            // No one else holds the object now: a reference taken and given back inside the call
            // below must not end it a second time.
            refs_ = 1;
            OnFinalRelease();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() { Module::ObjectCreated(); }
    virtual ~ComObject() { Module::ObjectDestroyed(); }

    // The last reference went: the whole object (derived parts included) still exists here.
    virtual void OnFinalRelease() {}

private:
    LONG refs_ = 1;
};

// An object that lives in a scope, such as a test's stub on its stack: the same QueryInterface,
// references not counted, never deleted, not among the module's objects.
template <class... Entries>
class ScopedComObject : public com_detail::Interfaces<Entries...> {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return AnswerInterface(this->Find(iid), out); }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

// An interface that a member of its owner implements for it: its IUnknown is the owner's, so it
// has the owner's identity, interfaces and life.
template <class OwnerClass, class Interface>
class InterfacePart : public Interface {
public:
    explicit InterfacePart(OwnerClass& owner) : owner_(owner) {}
    InterfacePart(const InterfacePart&) = delete;
    InterfacePart& operator=(const InterfacePart&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) final { return owner_.QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() final { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() final { return owner_.Release(); }

protected:
    OwnerClass& Owner() const { return owner_; }

private:
    OwnerClass& owner_;
};

}  // namespace fw
