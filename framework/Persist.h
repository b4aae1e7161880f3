// Persisted properties: one table walked for property bags and for streams.
#pragma once

#include "framework/PropertyRecords.h"
#include "framework/Raii.h"

#include <ocidl.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace fw {

// A persisted property bound to the member that holds it. Texts are stored as VT_BSTR,
// 32-bit integers as VT_I4.
struct PropertyRef {
    std::wstring_view name;
    std::variant<std::string*, std::uint32_t*> target;
};

// A control's table entry: the property name and the member, bound to an object with Bind. A
// number kept inside a member of the object is reached through a function of the object.
template <class T>
struct PersistedProperty {
    const wchar_t* name;
    std::variant<std::string T::*, std::uint32_t T::*, std::uint32_t* (*)(T&)> member;
};

template <class T>
std::vector<PropertyRef> Bind(std::span<const PersistedProperty<T>> table, T& object) {
    std::vector<PropertyRef> refs;
    refs.reserve(table.size());
    for (const auto& p : table) {
        std::visit(
            [&](auto member) {
                if constexpr (std::is_pointer_v<decltype(member)>) {
                    refs.push_back({p.name, member(object)});
                } else {
                    refs.push_back({p.name, &(object.*member)});
                }
            },
            p.member);
    }
    return refs;
}

// Where properties are read from and written to.
class PropertyStore {
public:
    virtual ~PropertyStore() = default;
    // Reads a value (any type; the walker converts it) into out, an initialised VARIANT whose
    // value is replaced. false: the store lacks it, and out is empty.
    virtual bool Read(std::wstring_view name, VARTYPE wanted, VARIANT& out) = 0;
    virtual HRESULT Write(std::wstring_view name, const VARIANT& value) = 0;
};

// Loads every property the store has; a property it lacks, or one that cannot be converted,
// keeps the member's current value.
void LoadProperties(PropertyStore& store, std::span<const PropertyRef> props);
HRESULT SaveProperties(PropertyStore& store, std::span<const PropertyRef> props);

// A container's property bag (object parameters of a page, for instance).
class BagStore final : public PropertyStore {
public:
    BagStore(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}
    bool Read(std::wstring_view name, VARTYPE wanted, VARIANT& out) override;
    HRESULT Write(std::wstring_view name, const VARIANT& value) override;

private:
    IPropertyBag* bag_;
    IErrorLog* log_;
};

// Name-tagged records in a stream (the layout is in PropertyRecords.h). Records of unknown
// names are skipped on load; missing ones leave members alone.
class StreamStore final : public PropertyStore {
public:
    // Reads every record; fails on a damaged or truncated stream.
    HRESULT Load(IStream* stream);
    // Writes the records collected by Write calls.
    HRESULT Save(IStream* stream) const;
    ULONG Size() const { return static_cast<ULONG>(Serialize().size()); }

    bool Read(std::wstring_view name, VARTYPE wanted, VARIANT& out) override;
    HRESULT Write(std::wstring_view name, const VARIANT& value) override;

private:
    std::vector<std::uint8_t> Serialize() const;
    std::vector<records::Record> records_;
};

}  // namespace fw
