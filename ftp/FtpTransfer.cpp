// File transfers and listings built on the data commands: upload with resume, download with restart, LIST/NLST.
#include <string_view>

#include "ftp/DirListingParser.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/LocalData.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP
{

bool CFTPClient::UploadFile(const std::string& localPath, const std::string& remotePath, bool storeUnique,
                            const CTransferType& type, bool passive)
{
    const std::unique_ptr<CLocalFile> file = CLocalFile::Open(localPath, CLocalFile::EMode::Read, m_bUseStdio);
    if (!file)
    {
        ReportSystemError(nsSocket::platform::LastSystemError(),
                          m_bUseStdio ? report::kUploadStdioOpen : report::kUploadStreamOpen);
        return false;
    }

    const std::int64_t localSize = file->SeekToEnd();

    // Resume continues the remote file of that name: only a size the server confirmed, measured in
    // the transfer's own type, counts; a remote file longer than ours is no partial copy of it and
    // is replaced; and a store-unique upload never touches an existing file.
    std::int64_t offset = 0;
    if (m_bResume && !storeUnique && EnsureType(type))
    {
        std::int64_t remoteSize = 0;
        if (FileSize(remotePath, remoteSize) == 0 && remoteSize > 0 && remoteSize <= localSize)
            offset = remoteSize;
    }
    const CDataCommand command = offset > 0 ? CDataCommand::Append
                                 : storeUnique ? CDataCommand::StoreUnique
                                               : CDataCommand::Store;
    file->SeekTo(offset);

    for (CNotifaction* observer : m_Observers)
        observer->OnUploadStart(localPath, remotePath, localSize);
    const bool result = RunDataCommand(command, remotePath, type, passive, *file, 0);
    for (CNotifaction* observer : m_Observers)
        observer->OnUploadEnd(localPath, remotePath, localSize);
    file->Close();
    return result;
}

bool CFTPClient::DownloadFile(const std::string& remotePath, const std::string& localPath, const CTransferType& type,
                              bool passive)
{
    const int openSite = m_bUseStdio ? report::kDownloadStdioOpen : report::kDownloadStreamOpen;
    std::unique_ptr<CLocalFile> file = CLocalFile::Open(
        localPath, m_bResume ? CLocalFile::EMode::Append : CLocalFile::EMode::Truncate, m_bUseStdio);
    if (!file)
    {
        ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
        return false;
    }

    // The size in the transfer's own type (some servers answer SIZE in image type only).
    std::int64_t remoteSize = 0;
    const bool sizeKnown = EnsureType(type) && FileSize(remotePath, remoteSize) == 0;
    std::int64_t offset = file->SeekToEnd();
    if (m_bResume && sizeKnown && offset > remoteSize)
    {
        // A local file longer than the remote one is no partial copy of it: start afresh.
        file->Close();
        file = CLocalFile::Open(localPath, CLocalFile::EMode::Truncate, m_bUseStdio);
        if (!file)
        {
            ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
            return false;
        }
        offset = 0;
    }

    for (CNotifaction* observer : m_Observers)
        observer->OnDownloadStart(remotePath, localPath, remoteSize);
    bool result = RunDataCommand(CDataCommand::Retrieve, remotePath, type, passive, *file, offset > 0 ? offset : 0);

    for (CNotifaction* observer : m_Observers)
        observer->OnDownloadEnd(remotePath, localPath, remoteSize);
    if (!file->Close() && result)
    {
        // The last buffered bytes did not reach the disk: the local copy is incomplete.
        ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
        result = false;
    }
    return result;
}

bool CFTPClient::TransferLines(CDataCommand command, const std::string& path, std::string& text, bool passive)
{
    CMemoryText received;
    if (!RunDataCommand(command, path, CTransferType::ASCII(), passive, received, 0))
        return false;
    text = received.Text();
    return true;
}

namespace
{

// Calls take(line) for every line closed by the first character of eol; the rest of eol after that
// character is skipped, and a last piece without it is not a line.
template <class Take>
void ForEachClosedLine(std::string_view text, const std::string& eol, Take take)
{
    const char end = eol.empty() ? '\r' : eol.front();
    const std::size_t skip = eol.empty() ? 0 : eol.size() - 1;
    std::size_t at = 0;
    for (;;)
    {
        const std::size_t close = text.find(end, at);
        if (close == std::string_view::npos)
            return;
        take(text.substr(at, close - at));
        at = std::min(text.size(), close + 1 + skip);
    }
}

}  // namespace

bool CFTPClient::ListLines(const std::string& path, TStringVector& lines, bool passive)
{
    std::string text;
    if (!TransferLines(CDataCommand::List, path, text, passive))
        return false;
    lines.clear();
    ForEachClosedLine(text, m_strEol, [&lines](std::string_view line) { lines.emplace_back(line); });
    return true;
}

bool CFTPClient::NameLines(const std::string& path, TStringVector& lines, bool passive)
{
    std::string text;
    if (!TransferLines(CDataCommand::NameList, path, text, passive))
        return false;
    lines.clear();
    ForEachClosedLine(text, m_strEol, [&lines](std::string_view line) { lines.emplace_back(line); });
    return true;
}

bool CFTPClient::ParseEntries(CDataCommand command, const std::string& path, TFileStatusVector& entries,
                              bool passive)
{
    std::string text;
    if (!TransferLines(command, path, text, passive))
        return false;
    entries.clear();
    CDirListingParser parser;
    CFTPFileStatus status;
    ForEachClosedLine(text, m_strEol, [&entries, &parser, &status](std::string_view line) {
        if (parser.ParseLine(status, line))
            entries.push_back(nsSP::MakeRCIPtr<CFTPFileStatus>(std::move(status)));
    });
    return true;
}

bool CFTPClient::ListEntries(const std::string& path, TFileStatusVector& entries, bool passive)
{
    std::string directory = path;
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    return ParseEntries(CDataCommand::List, directory, entries, passive);
}

bool CFTPClient::NameEntries(const std::string& path, TFileStatusVector& entries, bool passive)
{
    return ParseEntries(CDataCommand::NameList, path, entries, passive);
}

}  // namespace nsFTP
