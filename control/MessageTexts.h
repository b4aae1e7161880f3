// The texts of the control's message boxes (the file list, the server entries, the start of an
// upload). Compatibility: users know them word for word, and the pages' tests compare them.
#pragma once

namespace tovalo::msg {

inline constexpr wchar_t kSamePath[] = L"같은 경로의 파일이 있습니다.";
inline constexpr wchar_t kOver1G[] = L"1G 이상의 파일은 분할압축하여 올려주시기 바랍니다.";
inline constexpr wchar_t kOverLimit[] = L"파일 크기가 제한된 용량을 초과하였습니다.";
// No limit was given: a local file, and a server entry (two texts, each as users know it).
inline constexpr wchar_t kNoLimitFile[] = L"ActiveX 파일에 오류가 발생했습니다.";
inline constexpr wchar_t kNoLimitEntry[] = L"ActiveX 초기화에 오류가있습니다.";
inline constexpr wchar_t kNoKnownFolder[] = L"Fail to LoadLibrary :: SHGetKnownFolderPath";
// startUpload without the account's host, id or password.
inline constexpr wchar_t kNoAccount[] = L"FTP 정보가 없습니다.";

}  // namespace tovalo::msg
