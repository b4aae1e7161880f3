// The framework's COM object helper: the interfaces an object answers and refuses, its reference
// count, the call at its final release, its place in the module's object count; the scoped
// variant and an interface implemented by a member.
#include "tests/win/TestSupport.h"

#include "framework/ComObject.h"
#include "framework/Module.h"

namespace tovalo_test {
namespace {

// What a probe's life did, kept outside it so that the test reads it after the delete.
struct Life {
    int finalReleases = 0;
    bool wholeAtFinalRelease = false;
    bool destroyed = false;
};

class Probe final : public fw::ComObject<IDropSource, fw::AlsoAs<IPersistStream, IPersist>> {
public:
    explicit Probe(Life& life) : life_(life) {}

    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
    STDMETHODIMP GiveFeedback(DWORD) override { return S_OK; }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

private:
    ~Probe() override { life_.destroyed = true; }
    void OnFinalRelease() override {
        ++life_.finalReleases;
        life_.wholeAtFinalRelease = !life_.destroyed;
        // A reference taken and given back while the object goes does not end it twice.
        AddRef();
        Release();
    }

    Life& life_;
};

// An interface by IID, or nullptr, asked of an object; the reference it took is given back.
IUnknown* Answer(IUnknown* object, REFIID iid, HRESULT* hr) {
    IUnknown* found = nullptr;
    *hr = object->QueryInterface(iid, reinterpret_cast<void**>(&found));
    if (found) found->Release();
    return found;
}

TEST(ComObject, AnswersItsListedInterfacesAndRefusesOthers) {
    Life life;
    auto* probe = new Probe(life);
    IUnknown* identity = probe->Identity();
    struct Row {
        const char* label;
        const IID& iid;
        IUnknown* expected;
    };
    const Row rows[] = {
        {"IUnknown: the first listed", IID_IUnknown, static_cast<IDropSource*>(probe)},
        {"listed", IID_IDropSource, static_cast<IDropSource*>(probe)},
        {"listed second", IID_IPersistStream, static_cast<IPersistStream*>(probe)},
        {"extended by a listed one", IID_IPersist, static_cast<IPersistStream*>(probe)},
        {"not listed", IID_IDispatch, nullptr},
        {"a relative of a listed one", IID_IPersistStreamInit, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HRESULT hr = E_FAIL;
        EXPECT_EQ(Answer(identity, row.iid, &hr), row.expected);
        EXPECT_EQ(hr, row.expected ? S_OK : E_NOINTERFACE);
        // Every interface leads back to the same identity.
        if (row.expected) {
            EXPECT_EQ(Answer(row.expected, IID_IUnknown, &hr), identity);
        }
    }
    EXPECT_EQ(identity->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(identity->Release(), 0u);
}

TEST(ComObject, CountsReferencesAndEndsOnceWithTheLast) {
    ASSERT_TRUE(fw::Module::CanUnload());
    Life life;
    auto* probe = new Probe(life);
    EXPECT_FALSE(fw::Module::CanUnload());  // a live object keeps the module
    EXPECT_EQ(probe->AddRef(), 2u);
    IPersist* persist = nullptr;
    ASSERT_EQ(probe->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->Release(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(life.finalReleases, 0);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(life.finalReleases, 1);
    EXPECT_TRUE(life.wholeAtFinalRelease);
    EXPECT_TRUE(life.destroyed);
    EXPECT_TRUE(fw::Module::CanUnload());
}

class Owner;

class OwnersPart final : public fw::InterfacePart<Owner, IDropSource> {
public:
    using InterfacePart::InterfacePart;
    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
    STDMETHODIMP GiveFeedback(DWORD) override { return S_OK; }
};

// An object whose IDropSource is a member's.
class Owner final : public fw::ComObject<IPersist> {
public:
    explicit Owner(Life& life) : life_(life) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IDropSource)) return fw::AnswerInterface(&part_, out);
        return ComObject::QueryInterface(iid, out);
    }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    IDropSource* Part() { return &part_; }

private:
    ~Owner() override { life_.destroyed = true; }

    Life& life_;
    OwnersPart part_{*this};
};

TEST(ComObject, AMembersInterfaceHasItsOwnersIdentityAndLife) {
    Life life;
    auto* owner = new Owner(life);
    IDropSource* part = owner->Part();
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Answer(part, IID_IUnknown, &hr), owner->Identity());
    EXPECT_EQ(Answer(owner, IID_IDropSource, &hr), part);
    EXPECT_EQ(Answer(part, IID_IDispatch, &hr), nullptr);
    EXPECT_EQ(part->AddRef(), 2u);
    EXPECT_EQ(owner->Release(), 1u);
    EXPECT_EQ(part->Release(), 0u);
    EXPECT_TRUE(life.destroyed);
}

TEST(ComObject, AScopedObjectIsNeitherCountedNorDeleted) {
    ASSERT_TRUE(fw::Module::CanUnload());
    struct Stub final : fw::ScopedComObject<IDropSource> {
        STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
        STDMETHODIMP GiveFeedback(DWORD) override { return S_OK; }
    } stub;
    EXPECT_TRUE(fw::Module::CanUnload());
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Answer(&stub, IID_IDropSource, &hr), static_cast<IDropSource*>(&stub));
    EXPECT_EQ(Answer(&stub, IID_IPersist, &hr), nullptr);
    EXPECT_EQ(hr, E_NOINTERFACE);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(stub.Release(), 1u);  // never the last
    EXPECT_EQ(stub.AddRef(), 2u);
}

}  // namespace
}  // namespace tovalo_test
