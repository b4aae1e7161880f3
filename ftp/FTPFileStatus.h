// CFTPFileStatus: one directory entry as a listing line describes it (name, flags, size, time, owner...).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
    CFTPFileStatus() = default;
    CFTPFileStatus(const CFTPFileStatus&) = default;
    CFTPFileStatus(CFTPFileStatus&&) noexcept = default;
    CFTPFileStatus& operator=(const CFTPFileStatus&) = default;
    CFTPFileStatus& operator=(CFTPFileStatus&&) noexcept = default;
    ~CFTPFileStatus() = default;

    // All members equal; inequality comes with it.
    bool operator==(const CFTPFileStatus&) const = default;

    // Back to the empty record. Keeps the strings' storage, so a parser can reuse one record cheaply.
    // Inline, as a listing parser starts every line with it.
    void Reset() noexcept {
        m_strName.clear();
        m_fTryCwd = false;
        m_fTryRetrieve = false;
        m_eSizeType = ESizeType::Unknown;
        m_nSize = -1;
        m_eMTimeType = EModificationTimeType::Unknown;
        m_nMTime = 0;
        m_strPermissions.clear();
        m_strOwner.clear();
        m_strGroup.clear();
        m_strLinkCount.clear();
        m_eIdType = EIdentifierType::Unknown;
        m_strId.clear();
    }

    const std::string& Name() const noexcept { return m_strName; }
    bool TryChangeDirectory() const noexcept { return m_fTryCwd; }
    bool TryRetrieve() const noexcept { return m_fTryRetrieve; }
    ESizeType SizeType() const noexcept { return m_eSizeType; }
    std::int64_t Size() const noexcept { return m_nSize; }  // -1 when unknown
    EModificationTimeType ModificationTimeType() const noexcept { return m_eMTimeType; }
    std::int64_t ModificationTime() const noexcept { return m_nMTime; }  // seconds since 1970 UTC
    const std::string& Permissions() const noexcept { return m_strPermissions; }
    const std::string& Owner() const noexcept { return m_strOwner; }
    const std::string& Group() const noexcept { return m_strGroup; }
    const std::string& LinkCount() const noexcept { return m_strLinkCount; }
    EIdentifierType IdentifierType() const noexcept { return m_eIdType; }
    const std::string& Identifier() const noexcept { return m_strId; }

    // The text setters are inline: a listing parser calls four or five of them for every line.
    void SetName(std::string_view name) { SetText(m_strName, name); }
    void SetTryChangeDirectory(bool f) noexcept { m_fTryCwd = f; }
    void SetTryRetrieve(bool f) noexcept { m_fTryRetrieve = f; }
    void SetSizeType(ESizeType type) noexcept { m_eSizeType = type; }
    void SetSize(std::int64_t size) noexcept { m_nSize = size; }
    void SetModificationTimeType(EModificationTimeType type) noexcept { m_eMTimeType = type; }
    void SetModificationTime(std::int64_t time) noexcept { m_nMTime = time; }
    void SetPermissions(std::string_view text) { SetText(m_strPermissions, text); }
    void SetOwner(std::string_view text) { SetText(m_strOwner, text); }
    void SetGroup(std::string_view text) { SetText(m_strGroup, text); }
    void SetLinkCount(std::string_view text) { SetText(m_strLinkCount, text); }
    void SetIdentifierType(EIdentifierType type) noexcept { m_eIdType = type; }
    void SetIdentifier(std::string_view id) { SetText(m_strId, id); }

private:
    // Reset leaves every text empty, and appending to an empty string skips what assign does to allow
    // for text that overlaps the string; any other case goes out of line to assign.
    static void SetText(std::string& target, std::string_view text) {
        if (target.empty())
            target.append(text.data(), text.size());
        else
            ReplaceText(target, text);
    }
    static void ReplaceText(std::string& target, std::string_view text);

    // Ordered so that no padding is needed between the 32-bit members: a listing holds many records.
    std::string m_strName;
    std::string m_strPermissions;
    std::string m_strOwner;
    std::string m_strGroup;
    std::string m_strLinkCount;
    std::string m_strId;
    std::int64_t m_nSize = -1;
    std::int64_t m_nMTime = 0;
    ESizeType m_eSizeType = ESizeType::Unknown;
    EModificationTimeType m_eMTimeType = EModificationTimeType::Unknown;
    EIdentifierType m_eIdType = EIdentifierType::Unknown;
    bool m_fTryCwd = false;
    bool m_fTryRetrieve = false;
};

}  // namespace nsFTP
