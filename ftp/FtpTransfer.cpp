// File transfers and listings built on the data commands: upload with resume, download with restart, LIST/NLST.
#include <optional>
#include <string_view>

#include "ftp/DirListingParser.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/ListingLines.h"
#include "ftp/LocalData.h"
#include "ftp/NoThrow.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP {
namespace {

// Types in which the bytes on the wire are the file's bytes, so that SIZE counts what arrives.
bool IsBinary(const CTransferType& type) noexcept {
    return type.Type() == CTransferType::tyImage || (type.Type() == CTransferType::tyLocalByte && type.Second() == 8);
}

}  // namespace

bool CFTPClient::UploadFile(const std::string& localPath, const std::string& remotePath, bool storeUnique,
                            const CTransferType& type, bool passive) {
    if (m_bTransferring) return false;
    return NoThrow(false, [&] {
        const std::unique_ptr<CLocalFile> file = CLocalFile::Open(localPath, CLocalFile::EMode::Read, m_bUseStdio);
        if (!file) {
            ReportSystemError(nsSocket::platform::LastSystemError(),
                              m_bUseStdio ? report::kUploadStdioOpen : report::kUploadStreamOpen);
            return false;
        }

        const std::int64_t localSize = file->SeekToEnd();

        // Resume continues the remote file of that name: only a size the server confirmed, measured in
        // the transfer's own type, counts; a remote file longer than ours is no partial copy of it and
        // is replaced; and a store-unique upload never touches an existing file.
        std::int64_t offset = 0;
        if (m_bResume && !storeUnique && EnsureType(type)) {
            std::int64_t remoteSize = 0;
            if (FileSize(remotePath, remoteSize) == 0 && remoteSize > 0 && remoteSize <= localSize) offset = remoteSize;
        }
        const CDataCommand command = offset > 0    ? CDataCommand::Append
                                     : storeUnique ? CDataCommand::StoreUnique
                                                   : CDataCommand::Store;
        file->SeekTo(offset);

        Notify(&CNotifaction::OnUploadStart, localPath, remotePath, localSize);
        const bool result = RunDataCommand(command, remotePath, type, passive, *file, 0);
        Notify(&CNotifaction::OnUploadEnd, localPath, remotePath, localSize);
        file->Close();
        return result;
    });
}

bool CFTPClient::DownloadFile(const std::string& remotePath, const std::string& localPath, const CTransferType& type,
                              bool passive) {
    // Refused before the local file is opened: a download started from an observer must not touch it.
    if (m_bTransferring) return false;
    return NoThrow(false, [&] {
        const int openSite = m_bUseStdio ? report::kDownloadStdioOpen : report::kDownloadStreamOpen;
        std::unique_ptr<CLocalFile> file = CLocalFile::Open(
            localPath, m_bResume ? CLocalFile::EMode::Append : CLocalFile::EMode::Truncate, m_bUseStdio);
        if (!file) {
            ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
            return false;
        }

        // The size in the transfer's own type (some servers answer SIZE in image type only).
        std::optional<std::int64_t> announced;
        const bool sizeKnown = EnsureType(type) && QuerySize(remotePath, announced) == 0 && announced;
        const std::int64_t remoteSize = announced.value_or(0);
        std::int64_t offset = file->SeekToEnd();
        if (m_bResume && sizeKnown && offset > remoteSize) {
            // A local file longer than the remote one is no partial copy of it: start afresh.
            file->Close();
            file = CLocalFile::Open(localPath, CLocalFile::EMode::Truncate, m_bUseStdio);
            if (!file) {
                ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
                return false;
            }
            offset = 0;
        }

        Notify(&CNotifaction::OnDownloadStart, remotePath, localPath, remoteSize);
        const std::int64_t restartOffset = offset > 0 ? offset : 0;
        bool result = RunDataCommand(CDataCommand::Retrieve, remotePath, type, passive, *file, restartOffset);
        if (result && sizeKnown && IsBinary(type) && restartOffset + m_nTransferBytes != remoteSize) {
            // A cut connection that the server still calls complete, or more than it announced: the
            // local copy is not the remote file. It stays as it is, for a resume.
            NotifyError("received " + std::to_string(restartOffset + m_nTransferBytes) +
                            " bytes where the server announced " + std::to_string(remoteSize),
                        report::kSource, report::kReceiveData);
            result = false;
        }

        Notify(&CNotifaction::OnDownloadEnd, remotePath, localPath, remoteSize);
        if (!file->Close() && result) {
            // The last buffered bytes did not reach the disk: the local copy is incomplete.
            ReportSystemError(nsSocket::platform::LastSystemError(), openSite);
            result = false;
        }
        return result;
    });
}

bool CFTPClient::ReceiveListing(CDataCommand command, const std::string& path, bool passive, std::size_t limit,
                                const TLineHandler& onLine) {
    if (m_bTransferring) return false;
    return NoThrow(false, [&] {
        CListingSink sink(onLine, limit, kListingLineCost);
        if (!RunDataCommand(command, path, CTransferType::ASCII(), passive, sink, 0)) return false;
        if (!sink.Finish()) {
            NotifyError(sink.WriteFailure(), report::kSource, report::kReceiveData);
            return false;
        }
        return true;
    });
}

bool CFTPClient::CollectLines(CDataCommand command, const std::string& path, TStringVector& lines, bool passive) {
    return NoThrow(false, [&] {
        TStringVector received;
        if (!ReceiveListing(command, path, passive, kMaxListingBytes,
                            [&received](std::string_view line) { received.emplace_back(line); }))
            return false;
        lines = std::move(received);
        return true;
    });
}

bool CFTPClient::ListLines(const std::string& path, TStringVector& lines, bool passive) {
    return CollectLines(CDataCommand::List, path, lines, passive);
}

bool CFTPClient::NameLines(const std::string& path, TStringVector& lines, bool passive) {
    return CollectLines(CDataCommand::NameList, path, lines, passive);
}

bool CFTPClient::ListLines(const std::string& path, const TLineHandler& onLine, bool passive) {
    return ReceiveListing(CDataCommand::List, path, passive, 0, onLine);
}

bool CFTPClient::NameLines(const std::string& path, const TLineHandler& onLine, bool passive) {
    return ReceiveListing(CDataCommand::NameList, path, passive, 0, onLine);
}

bool CFTPClient::ParseEntries(CDataCommand command, const std::string& path, TFileStatusVector& entries, bool passive) {
    return NoThrow(false, [&] {
        TFileStatusVector parsed;
        CDirListingParser parser;
        CFTPFileStatus status;
        if (!ReceiveListing(command, path, passive, kMaxListingBytes,
                            [&parsed, &parser, &status](std::string_view line) {
                                if (parser.ParseLine(status, line))
                                    parsed.push_back(nsSP::MakeRCIPtr<CFTPFileStatus>(std::move(status)));
                            }))
            return false;
        entries = std::move(parsed);
        return true;
    });
}

bool CFTPClient::ListEntries(const std::string& path, TFileStatusVector& entries, bool passive) {
    return NoThrow(false, [&] {
        std::string directory = path;
        if (!directory.empty() && directory.back() != '/') directory += '/';
        return ParseEntries(CDataCommand::List, directory, entries, passive);
    });
}

bool CFTPClient::NameEntries(const std::string& path, TFileStatusVector& entries, bool passive) {
    return ParseEntries(CDataCommand::NameList, path, entries, passive);
}

}  // namespace nsFTP
