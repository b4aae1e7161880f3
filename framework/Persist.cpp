// Walking the persisted-property table against a property bag or a stream of records.
#include "framework/Persist.h"

#include "framework/Text.h"

#include <cstring>

namespace fw {

void LoadProperties(PropertyStore& store, std::span<const PropertyRef> props) {
    for (const PropertyRef& p : props) {
        const VARTYPE wanted = std::holds_alternative<std::string*>(p.target) ? VT_BSTR : VT_I4;
        Variant raw;
        if (!store.Read(p.name, wanted, *raw.Get())) continue;
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

constexpr char kMagic[4] = {'T', 'V', 'L', 'P'};
constexpr std::uint32_t kMaxRecords = 1024;
constexpr std::uint32_t kMaxTextChars = 1u << 22;  // 4 Mi characters: far above any real value

HRESULT ReadExact(IStream* stream, void* buffer, ULONG size) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

template <class N>
HRESULT ReadNumber(IStream* stream, N& n) { return ReadExact(stream, &n, sizeof n); }

HRESULT ReadText(IStream* stream, std::uint32_t chars, std::wstring& out) {
    if (chars > kMaxTextChars) return STG_E_READFAULT;
    out.assign(chars, L'\0');
    return chars ? ReadExact(stream, out.data(), chars * static_cast<ULONG>(sizeof(wchar_t))) : S_OK;
}

void AppendBytes(std::vector<char>& out, const void* data, size_t size) {
    const size_t at = out.size();
    out.resize(at + size);
    if (size) std::memcpy(out.data() + at, data, size);
}

template <class N>
void Append(std::vector<char>& out, N n) { AppendBytes(out, &n, sizeof n); }

void AppendText(std::vector<char>& out, const std::wstring& text) {
    AppendBytes(out, text.data(), text.size() * sizeof(wchar_t));
}

}  // namespace

HRESULT StreamStore::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    records_.clear();
    char magic[4];
    std::uint32_t count = 0;
    HRESULT hr = ReadExact(stream, magic, sizeof magic);
    if (SUCCEEDED(hr) && std::memcmp(magic, kMagic, sizeof magic) != 0) hr = STG_E_INVALIDHEADER;
    if (SUCCEEDED(hr)) hr = ReadNumber(stream, count);
    if (SUCCEEDED(hr) && count > kMaxRecords) hr = STG_E_INVALIDHEADER;
    for (std::uint32_t i = 0; SUCCEEDED(hr) && i < count; ++i) {
        Record r{};
        std::uint16_t nameChars = 0;
        std::uint32_t textChars = 0;
        hr = ReadNumber(stream, nameChars);
        if (SUCCEEDED(hr)) hr = ReadText(stream, nameChars, r.name);
        if (SUCCEEDED(hr)) hr = ReadNumber(stream, r.type);
        if (FAILED(hr)) break;
        if (r.type == VT_I4) {
            hr = ReadNumber(stream, r.number);
        } else if (r.type == VT_BSTR) {
            hr = ReadNumber(stream, textChars);
            if (SUCCEEDED(hr)) hr = ReadText(stream, textChars, r.text);
        } else {
            hr = STG_E_INVALIDHEADER;  // no way to know the record's length
        }
        if (SUCCEEDED(hr)) records_.push_back(std::move(r));
    }
    if (FAILED(hr)) records_.clear();
    return hr;
}

std::vector<char> StreamStore::Serialize() const {
    std::vector<char> out;
    AppendBytes(out, kMagic, sizeof kMagic);
    Append(out, static_cast<std::uint32_t>(records_.size()));
    for (const Record& r : records_) {
        Append(out, static_cast<std::uint16_t>(r.name.size()));
        AppendText(out, r.name);
        Append(out, r.type);
        if (r.type == VT_I4) {
            Append(out, r.number);
        } else {
            Append(out, static_cast<std::uint32_t>(r.text.size()));
            AppendText(out, r.text);
        }
    }
    return out;
}

HRESULT StreamStore::Save(IStream* stream) const {
    if (!stream) return E_POINTER;
    const std::vector<char> bytes = Serialize();
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    return written == bytes.size() ? S_OK : STG_E_WRITEFAULT;
}

bool StreamStore::Read(std::wstring_view name, VARTYPE, VARIANT& out) {
    for (const Record& r : records_) {
        if (r.name != name) continue;
        ::VariantClear(&out);
        InitWholeVariant(out);
        if (r.type == VT_I4) {
            out.vt = VT_I4;
            out.lVal = r.number;
            return true;
        }
        out.bstrVal = ::SysAllocStringLen(r.text.data(), static_cast<UINT>(r.text.size()));
        if (!out.bstrVal) return false;
        out.vt = VT_BSTR;
        return true;
    }
    return false;
}

HRESULT StreamStore::Write(std::wstring_view name, const VARIANT& value) {
    if (name.size() > 0xFFFF) return E_INVALIDARG;
    Record r{std::wstring(name), value.vt, 0, {}};
    if (value.vt == VT_I4) {
        r.number = value.lVal;
    } else if (value.vt == VT_BSTR) {
        if (value.bstrVal) r.text.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    records_.push_back(std::move(r));
    return S_OK;
}

}  // namespace fw
