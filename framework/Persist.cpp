// Walking the persisted-property table against a property bag or a stream of records.
#include "framework/Persist.h"

#include "framework/Text.h"

#include <cstdint>
#include <string>

#include <cstring>

namespace fw {

namespace {

// Stored values are plain numbers and texts. References, arrays and objects are not converted:
// converting would follow pointers the store handed over, or call into an object.
bool IsPlainValue(VARTYPE vt) {
    if (vt & (VT_BYREF | VT_ARRAY | VT_VECTOR)) return false;
    return vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_VARIANT && vt != VT_RECORD;
}

}  // namespace

void LoadProperties(PropertyStore& store, std::span<const PropertyRef> props) {
    for (const PropertyRef& p : props) {
        const VARTYPE wanted = std::holds_alternative<std::string*>(p.target) ? VT_BSTR : VT_I4;
        Variant raw;
        if (!store.Read(p.name, wanted, *raw.Get()) || !IsPlainValue(raw->vt)) continue;
        Variant value;
        if (FAILED(::VariantChangeType(value.Get(), raw.Get(), 0, wanted))) continue;
        if (auto* text = std::get_if<std::string*>(&p.target)) {
            **text = AnsiFromBstr(value->bstrVal);
        } else {
            *std::get<std::uint32_t*>(p.target) = static_cast<std::uint32_t>(value->lVal);
        }
    }
}

HRESULT SaveProperties(PropertyStore& store, std::span<const PropertyRef> props) {
    for (const PropertyRef& p : props) {
        Variant value;
        if (auto* text = std::get_if<std::string*>(&p.target)) {
            value->vt = VT_BSTR;
            value->bstrVal = BstrFromAnsi(**text);
            if (!value->bstrVal) return E_OUTOFMEMORY;
        } else {
            value->vt = VT_I4;
            value->lVal = static_cast<LONG>(*std::get<std::uint32_t*>(p.target));
        }
        const HRESULT hr = store.Write(p.name, *value.Get());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

bool BagStore::Read(std::wstring_view name, VARTYPE wanted, VARIANT& out) {
    const std::wstring key(name);
    // The bag gets a VARIANT that is empty in every byte apart from the type it is asked for: a
    // bag that fails leaves it as it was, and clearing it then must find no pointer to free.
    ::VariantClear(&out);
    InitWholeVariant(out);
    out.vt = wanted;  // a hint; bags may hand back another type, which the walker converts
    const HRESULT hr = bag_->Read(key.c_str(), &out, log_);
    if (SUCCEEDED(hr)) return true;
    ::VariantClear(&out);
    InitWholeVariant(out);
    if (hr != DISP_E_TYPEMISMATCH && hr != DISP_E_OVERFLOW) return false;  // not there at all
    // The bag could not convert: take the value as stored and let the walker try.
    if (SUCCEEDED(bag_->Read(key.c_str(), &out, log_)) && out.vt != VT_EMPTY) return true;
    ::VariantClear(&out);
    InitWholeVariant(out);
    return false;
}

HRESULT BagStore::Write(std::wstring_view name, const VARIANT& value) {
    const std::wstring key(name);
    return bag_->Write(key.c_str(), const_cast<VARIANT*>(&value));
}

namespace {

// The stream's bytes, pulled as the record reader asks; remembers why the stream failed.
class StreamSource final : public records::ByteSource {
public:
    explicit StreamSource(IStream* stream) : stream_(stream) {}
    bool ReadExact(void* buffer, std::size_t size) override {
        ULONG got = 0;
        const HRESULT hr = stream_->Read(buffer, static_cast<ULONG>(size), &got);
        if (FAILED(hr)) failure_ = hr;
        return SUCCEEDED(hr) && got == size;
    }
    HRESULT Failure() const { return failure_; }

private:
    IStream* stream_;
    HRESULT failure_ = STG_E_READFAULT;  // a stream that simply ends early
};

static_assert(records::kNumber == VT_I4 && records::kText == VT_BSTR);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

HRESULT StreamStore::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    StreamSource source(stream);
    switch (records::ReadRecords(source, records_)) {
    case records::ReadError::None:
        return S_OK;
    case records::ReadError::Source:
        return source.Failure();
    case records::ReadError::TextLength:
        return STG_E_READFAULT;
    default:
        return STG_E_INVALIDHEADER;
    }
}

std::vector<std::uint8_t> StreamStore::Serialize() const { return records::WriteRecords(records_); }

HRESULT StreamStore::Save(IStream* stream) const {
    if (!stream) return E_POINTER;
    const std::vector<std::uint8_t> bytes = Serialize();
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    return written == bytes.size() ? S_OK : STG_E_WRITEFAULT;
}

bool StreamStore::Read(std::wstring_view name, VARTYPE, VARIANT& out) {
    const std::u16string key = Utf16(name);
    for (const records::Record& r : records_) {
        if (r.name != key) continue;
        ::VariantClear(&out);
        InitWholeVariant(out);
        if (r.type == VT_I4) {
            out.vt = VT_I4;
            out.lVal = r.number;
            return true;
        }
        out.bstrVal =
            ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(r.text.data()), static_cast<UINT>(r.text.size()));
        if (!out.bstrVal) return false;
        out.vt = VT_BSTR;
        return true;
    }
    return false;
}

HRESULT StreamStore::Write(std::wstring_view name, const VARIANT& value) {
    if (name.size() > 0xFFFF) return E_INVALIDARG;
    records::Record r{Utf16(name), value.vt, 0, {}};
    if (value.vt == VT_I4) {
        r.number = value.lVal;
    } else if (value.vt == VT_BSTR) {
        const UINT chars = ::SysStringLen(value.bstrVal);
        if (chars > records::kMaxTextChars) return E_INVALIDARG;  // the loader would refuse it
        if (chars) r.text.assign(reinterpret_cast<const char16_t*>(value.bstrVal), chars);
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    records_.push_back(std::move(r));
    return S_OK;
}

}  // namespace fw
