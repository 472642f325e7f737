#pragma once
// The rules of the upgrade check that need no network: where to ask, what the answer may name,
// which files in the Installer folder are the check's own, and whether the release it names is
// newer than the running one. Pure functions, any thread.
#include <cstddef>
#include <string>
#include <string_view>

// The longest installer name the check accepts from the server.
inline constexpr std::size_t kMaxInstallerNameLength = 200;
// Every installer the check takes ends with this; the start-up cleanup removes what does.
inline constexpr wchar_t kInstallerExtension[] = L".exe";
// A download is written under its name with this added and renamed once verified.
inline constexpr wchar_t kPartialDownloadSuffix[] = L".part";
// What a log line shows of a server's answer at most, before escaping.
inline constexpr std::size_t kMaxLoggedAnswerBytes = 120;

// "https://<host>/upgrade/retrieve_latest_qor" ("..._beta" for a beta).
std::wstring UpgradeQueryUrl(const std::string& host, bool beta);
// "https://<host>/download/<name>" ("download/beta" for a beta), the name percent-encoded.
std::wstring InstallerDownloadUrl(const std::string& host, bool beta, const std::wstring& name);
// The detached signature served beside the installer: its download URL with ".sig" added.
std::wstring InstallerSignatureUrl(const std::string& host, bool beta, const std::wstring& name);

// The server's answer names a file that is written into the Installer folder, shown to the user
// and started later: only a bare name is taken (1 to 200 characters ending in ".exe", no "/" or
// "\", no "..", not starting with "."), and no character that is invisible or turns the text
// around (controls, Unicode format characters such as U+202E, line separators, surrogates,
// private or unassigned code points), so it can neither leave that folder nor misstate itself.
bool IsAcceptableInstallerName(const std::wstring& name);

// Whether a file in the Installer folder is one the check left there (an installer, or a
// download cut short); the start-up cleanup removes these. Every name IsAcceptableInstallerName
// takes, and its partial download, is one.
bool IsInstallerLeftover(const std::wstring& fileName);

// Bytes from the network as a log line may hold them: printable ASCII as it is, every other byte
// (CR, LF, other controls, each byte of non-ASCII text) and "\" as \xNN, at most
// kMaxLoggedAnswerBytes of the input, "..." marking a cut.
std::string EscapedForLog(std::string_view bytes);

// The version an installer name carries: the text between its last "_" (or its start) and its
// last "." after that; "qor_2.1.7.exe" carries "2.1.7".
std::wstring OfferedVersion(const std::wstring& installerName);

// Whether the installer's version is above the running version string (" beta" at its end is
// ignored). Versions compare as (major, minor, build) in that order; a field that is no number
// counts as 0.
bool IsNewerVersion(const std::wstring& installerName, const std::wstring& runningVersion);
