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
    class CountHolder;

public:
    // Takes ownership of pRealPtr (which may be null).
    explicit RCIPtr(T* pRealPtr = nullptr) : m_pCounter(NewOwningHolder(pRealPtr)) { Init(); }

    RCIPtr(const RCIPtr& rhs) : m_pCounter(rhs.m_pCounter) { Init(); }

    // Takes over rhs's reference without touching the count, so a growing list of handles moves
    // them cheaply. rhs is left empty, like a handle to no record.
    RCIPtr(RCIPtr&& rhs) noexcept : m_pCounter(std::exchange(rhs.m_pCounter, nullptr)) {}

    RCIPtr& operator=(const RCIPtr& rhs) {
        if (m_pCounter != rhs.m_pCounter) {
            RCIPtr copy(rhs);  // may allocate: done before this handle lets go of anything
            std::swap(m_pCounter, copy.m_pCounter);
        }
        return *this;
    }

    RCIPtr& operator=(RCIPtr&& rhs) noexcept {
        if (this != &rhs) {
            RCIPtr gone(std::move(*this));
            m_pCounter = std::exchange(rhs.m_pCounter, nullptr);
        }
        return *this;
    }

    ~RCIPtr() {
        if (m_pCounter) m_pCounter->RemoveReference();
    }

    const T* operator->() const noexcept { return m_pCounter->m_pPointee; }
    const T& operator*() const noexcept { return *m_pCounter->m_pPointee; }
    const T* Get() const noexcept { return m_pCounter ? m_pCounter->m_pPointee : nullptr; }
    explicit operator bool() const noexcept { return Get() != nullptr; }

    // How many handles share this one's record (1 when unshared, 0 for a handle moved from).
    std::int32_t UseCount() const noexcept { return m_pCounter ? m_pCounter->RefCount() : 0; }
    bool IsShareable() const noexcept { return !m_pCounter || m_pCounter->IsShareable(); }
    // Later copies of this handle get a record of their own.
    void MarkUnshareable() noexcept {
        if (m_pCounter) m_pCounter->MarkUnshareable();
    }

    // A handle to a new T made from args, which lives in the same block as its count: one allocation
    // instead of two, and the record beside its count in memory.
    template <class... Args>
    static RCIPtr Make(Args&&... args) {
        return RCIPtr(AdoptHolder{}, new InlineHolder(std::forward<Args>(args)...));
    }

private:
    // The count and a pointer to the pointee; the two kinds of holder below decide where the pointee
    // lives and free it with themselves (through RCObject's virtual destructor).
    class CountHolder : public RCObject {
    public:
        T* m_pPointee;

    protected:
        explicit CountHolder(T* pPointee) noexcept : m_pPointee(pPointee) {}
    };

    // A pointee that was allocated on its own.
    class OwningHolder final : public CountHolder {
    public:
        explicit OwningHolder(T* pPointee) noexcept : CountHolder(pPointee) {}
        OwningHolder(const OwningHolder&) = delete;
        OwningHolder& operator=(const OwningHolder&) = delete;
        ~OwningHolder() override { delete this->m_pPointee; }
    };

    // A pointee built inside the holder.
    class InlineHolder final : public CountHolder {
    public:
        template <class... Args>
        explicit InlineHolder(Args&&... args) : CountHolder(&m_value), m_value(std::forward<Args>(args)...) {}
        InlineHolder(const InlineHolder&) = delete;
        InlineHolder& operator=(const InlineHolder&) = delete;
        ~InlineHolder() override = default;

    private:
        T m_value;
    };

    struct AdoptHolder {};
    RCIPtr(AdoptHolder, CountHolder* pHolder) noexcept : m_pCounter(pHolder) { m_pCounter->AddReference(); }

    static CountHolder* NewOwningHolder(T* pRealPtr) {
        std::unique_ptr<T> owned(pRealPtr);  // freed if the holder cannot be allocated
        CountHolder* holder = new OwningHolder(owned.get());
        owned.release();
        return holder;
    }

    void Init() {
        if (!m_pCounter) return;  // copied from a handle that was moved from: empty as well
        if (!m_pCounter->IsShareable()) {
            const T* pSource = m_pCounter->m_pPointee;
            m_pCounter = pSource ? static_cast<CountHolder*>(new InlineHolder(*pSource)) : NewOwningHolder(nullptr);
        }
        m_pCounter->AddReference();
    }

    CountHolder* m_pCounter;
};

// RCIPtr<T> holding a new T made from args, in one allocation with its count.
template <class T, class... Args>
RCIPtr<T> MakeRCIPtr(Args&&... args) {
    return RCIPtr<T>::Make(std::forward<Args>(args)...);
}

}  // namespace nsSP
