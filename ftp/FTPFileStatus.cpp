// CFTPFileStatus: reset and the text setters.
#include "ftp/FTPFileStatus.h"

namespace nsFTP
{

void CFTPFileStatus::Reset() noexcept
{
    // clear() rather than a fresh object: the strings keep their storage for the next line.
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

void CFTPFileStatus::SetName(std::string_view name) { m_strName.assign(name); }
void CFTPFileStatus::SetPermissions(std::string_view text) { m_strPermissions.assign(text); }
void CFTPFileStatus::SetOwner(std::string_view text) { m_strOwner.assign(text); }
void CFTPFileStatus::SetGroup(std::string_view text) { m_strGroup.assign(text); }
void CFTPFileStatus::SetLinkCount(std::string_view text) { m_strLinkCount.assign(text); }
void CFTPFileStatus::SetIdentifier(std::string_view id) { m_strId.assign(id); }

}  // namespace nsFTP
