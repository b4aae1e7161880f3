// CFTPFileStatus: one directory entry as a listing line describes it (name, flags, size, time, owner...).
#pragma once

#include <cstdint>
#include <string_view>

#include "ftp/PackedTexts.h"

namespace nsFTP {

// How much the size of an entry can be trusted.
enum class ESizeType : std::int32_t {
    Unknown = 0,
    Exact = 1,  // a byte count
};

// What kind of time stamp an entry carries. All of them are seconds since 1970-01-01 UTC.
enum class EModificationTimeType : std::int32_t {
    Unknown = 0,
    Absolute = 1,  // an exact time stamp sent by the server
    Minute = 2,    // date and clock time as the server displays them, taken as UTC
    Day = 3,       // a date only (midnight UTC)
};

// Whether the server named the entry with an identifier of its own.
enum class EIdentifierType : std::int32_t {
    Unknown = 0,
    Full = 1,
};

class CFTPFileStatus {
public:
    CFTPFileStatus() noexcept = default;
    CFTPFileStatus(const CFTPFileStatus&) = default;
    CFTPFileStatus(CFTPFileStatus&&) noexcept = default;
    CFTPFileStatus& operator=(const CFTPFileStatus&) = default;
    CFTPFileStatus& operator=(CFTPFileStatus&&) noexcept = default;
    ~CFTPFileStatus() = default;

    // All members equal; inequality comes with it.
    bool operator==(const CFTPFileStatus&) const = default;

    // Back to the empty record. Keeps the texts' storage, so a parser can reuse one record cheaply.
    // Inline, as a listing parser starts every line with it.
    void Reset() noexcept {
        m_texts.Clear();
        m_fTryCwd = false;
        m_fTryRetrieve = false;
        m_eSizeType = ESizeType::Unknown;
        m_nSize = -1;
        m_eMTimeType = EModificationTimeType::Unknown;
        m_nMTime = 0;
        m_eIdType = EIdentifierType::Unknown;
    }

    // The texts stay valid until the record is changed or destroyed.
    std::string_view Name() const noexcept { return m_texts.Get(kName); }
    bool TryChangeDirectory() const noexcept { return m_fTryCwd; }
    bool TryRetrieve() const noexcept { return m_fTryRetrieve; }
    ESizeType SizeType() const noexcept { return m_eSizeType; }
    std::int64_t Size() const noexcept { return m_nSize; }  // -1 when unknown
    EModificationTimeType ModificationTimeType() const noexcept { return m_eMTimeType; }
    std::int64_t ModificationTime() const noexcept { return m_nMTime; }  // seconds since 1970 UTC
    std::string_view Permissions() const noexcept { return m_texts.Get(kPermissions); }
    std::string_view Owner() const noexcept { return m_texts.Get(kOwner); }
    std::string_view Group() const noexcept { return m_texts.Get(kGroup); }
    std::string_view LinkCount() const noexcept { return m_texts.Get(kLinkCount); }
    EIdentifierType IdentifierType() const noexcept { return m_eIdType; }
    std::string_view Identifier() const noexcept { return m_texts.Get(kIdentifier); }

    // The text setters are inline: a listing parser calls four or five of them for every line.
    void SetName(std::string_view name) { m_texts.Set(kName, name); }
    void SetTryChangeDirectory(bool f) noexcept { m_fTryCwd = f; }
    void SetTryRetrieve(bool f) noexcept { m_fTryRetrieve = f; }
    void SetSizeType(ESizeType type) noexcept { m_eSizeType = type; }
    void SetSize(std::int64_t size) noexcept { m_nSize = size; }
    void SetModificationTimeType(EModificationTimeType type) noexcept { m_eMTimeType = type; }
    void SetModificationTime(std::int64_t time) noexcept { m_nMTime = time; }
    void SetPermissions(std::string_view text) { m_texts.Set(kPermissions, text); }
    void SetOwner(std::string_view text) { m_texts.Set(kOwner, text); }
    void SetGroup(std::string_view text) { m_texts.Set(kGroup, text); }
    void SetLinkCount(std::string_view text) { m_texts.Set(kLinkCount, text); }
    void SetIdentifierType(EIdentifierType type) noexcept { m_eIdType = type; }
    void SetIdentifier(std::string_view id) { m_texts.Set(kIdentifier, id); }

private:
    // Slots of the texts, in the order the parser sets them (so that it only appends): the UNIX
    // columns come first, the name last.
    enum ETextSlot : std::size_t { kPermissions, kLinkCount, kOwner, kGroup, kIdentifier, kName, kTextSlots };
    // Room inside the record for a typical UNIX entry's texts (permissions, link count, owner, group
    // and a name of some 40 bytes); longer ones go to one heap block.
    static constexpr std::size_t kInlineText = 80;

    CPackedTexts<kTextSlots, kInlineText> m_texts;
    std::int64_t m_nSize = -1;
    std::int64_t m_nMTime = 0;
    ESizeType m_eSizeType = ESizeType::Unknown;
    EModificationTimeType m_eMTimeType = EModificationTimeType::Unknown;
    EIdentifierType m_eIdType = EIdentifierType::Unknown;
    bool m_fTryCwd = false;
    bool m_fTryRetrieve = false;
};

}  // namespace nsFTP
