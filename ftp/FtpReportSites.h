// The places where the FTP client reports a failure to its observers: one source name, fixed line numbers.
#pragma once

namespace nsFTP::report {

inline constexpr const char* kSource = "ftp/FtpClient";

inline constexpr int kConnectControl = 279;
inline constexpr int kLogonFailed = 468;
inline constexpr int kDownloadStreamOpen = 660;
inline constexpr int kDownloadStdioOpen = 693;
inline constexpr int kUploadStreamOpen = 742;
inline constexpr int kUploadStdioOpen = 788;
inline constexpr int kOpenActiveData = 927;
inline constexpr int kOpenPassiveData = 1008;
inline constexpr int kSendData = 1059;
inline constexpr int kReceiveData = 1102;
inline constexpr int kSendCommand = 1145;
inline constexpr int kReadReplyLine = 1251;
inline constexpr int kSecureControl = 1300;
inline constexpr int kOpenData = 1320;

inline constexpr const char* kLogonFailedMessage = "Logon failed.";
inline constexpr const char* kTlsRefusedMessage = "The server refused TLS: ";

}  // namespace nsFTP::report
