// IEnumOLEVERB over a static table of verbs.
#include "framework/VerbEnum.h"

#include "framework/ComObject.h"

#include <cwchar>
#include <new>

namespace fw {
namespace {

class VerbEnum final : public ComObject<IEnumOLEVERB> {
public:
    VerbEnum(std::span<const ControlVerb> verbs, ULONG position) : verbs_(verbs), position_(position) {}

    STDMETHODIMP Next(ULONG count, OLEVERB* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < verbs_.size(); ++n, ++position_) {
            const ControlVerb& v = verbs_[position_];
            // The caller frees each name with CoTaskMemFree.
            const size_t bytes = (std::wcslen(v.name) + 1) * sizeof(wchar_t);
            auto* name = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
            if (!name) {
                for (ULONG i = 0; i < n; ++i) ::CoTaskMemFree(out[i].lpszVerbName);
                position_ -= n;
                if (fetched) *fetched = 0;
                return E_OUTOFMEMORY;
            }
            std::wmemcpy(name, v.name, bytes / sizeof(wchar_t));
            out[n] = {v.verb, name, MF_STRING, OLEVERBATTRIB_ONCONTAINERMENU};
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG left = static_cast<ULONG>(verbs_.size()) - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumOLEVERB** out) override {
        if (!out) return E_POINTER;
        *out = CreateVerbEnum(verbs_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~VerbEnum() override = default;

    std::span<const ControlVerb> verbs_;
    ULONG position_;
};

}  // namespace

IEnumOLEVERB* CreateVerbEnum(std::span<const ControlVerb> verbs, ULONG position) {
    return new (std::nothrow) VerbEnum(verbs, position);
}

}  // namespace fw
