// Intrusive reference counting: RCObject (a counted base) and RCIPtr<T> (a shared, read-only handle to a T).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

namespace nsSP {

// Base of objects that count the handles pointing at them and delete themselves when the last one goes.
// Single-threaded by design: the counts are plain integers.
class RCObject {
public:
    void AddReference() noexcept { ++m_nRefCount; }

    void RemoveReference() noexcept {
        if (--m_nRefCount == 0) delete this;
    }

    bool IsShareable() const noexcept { return m_fShareable; }
    void MarkUnshareable() noexcept { m_fShareable = false; }
    std::int32_t RefCount() const noexcept { return m_nRefCount; }

protected:
    RCObject() noexcept = default;
    // A copy is a new object: nobody refers to it yet.
    RCObject(const RCObject&) noexcept {}
    RCObject& operator=(const RCObject&) noexcept { return *this; }
    virtual ~RCObject() = default;

private:
    std::int32_t m_nRefCount = 0;
    bool m_fShareable = true;
};

// Shares one T between any number of handles without T knowing about it: the count lives in a holder
// beside the pointee. Handles give read access only, so sharing never lets one holder of a record
// change what another sees. A holder marked unshareable is copied (with T's copy constructor)
// instead of shared when a handle is copied from it.
template <class T>
class RCIPtr {
public:
    // Takes ownership of pRealPtr (which may be null).
    explicit RCIPtr(T* pRealPtr = nullptr) : m_pCounter(NewHolder(pRealPtr)) { Init(); }

    RCIPtr(const RCIPtr& rhs) : m_pCounter(rhs.m_pCounter) { Init(); }

    RCIPtr& operator=(const RCIPtr& rhs) {
        if (m_pCounter != rhs.m_pCounter) {
            RCIPtr copy(rhs);  // may allocate: done before this handle lets go of anything
            std::swap(m_pCounter, copy.m_pCounter);
        }
        return *this;
    }

    ~RCIPtr() { m_pCounter->RemoveReference(); }

    const T* operator->() const noexcept { return m_pCounter->m_pPointee.get(); }
    const T& operator*() const noexcept { return *m_pCounter->m_pPointee; }
    const T* Get() const noexcept { return m_pCounter->m_pPointee.get(); }
    explicit operator bool() const noexcept { return Get() != nullptr; }

    // How many handles share this one's record (1 when unshared).
    std::int32_t UseCount() const noexcept { return m_pCounter->RefCount(); }
    bool IsShareable() const noexcept { return m_pCounter->IsShareable(); }
    // Later copies of this handle get a record of their own.
    void MarkUnshareable() noexcept { m_pCounter->MarkUnshareable(); }

private:
    class CountHolder final : public RCObject {
    public:
        explicit CountHolder(std::unique_ptr<T> pPointee) noexcept : m_pPointee(std::move(pPointee)) {}
        std::unique_ptr<T> m_pPointee;
    };

    static CountHolder* NewHolder(T* pRealPtr) {
        std::unique_ptr<T> owned(pRealPtr);  // freed if the holder cannot be allocated
        return new CountHolder(std::move(owned));
    }

    void Init() {
        if (!m_pCounter->IsShareable()) {
            const T* pSource = m_pCounter->m_pPointee.get();
            m_pCounter = NewHolder(pSource ? new T(*pSource) : nullptr);
        }
        m_pCounter->AddReference();
    }

    CountHolder* m_pCounter;
};

// RCIPtr<T> holding a new T made from args.
template <class T, class... Args>
RCIPtr<T> MakeRCIPtr(Args&&... args) {
    return RCIPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace nsSP
