#pragma once
// The rules of the upgrade check that need no network: where to ask, what the answer may name,
// and whether the release it names is newer than the running one. Pure functions, any thread.
#include <cstddef>
#include <string>

// The longest installer name the check accepts from the server.
inline constexpr std::size_t kMaxInstallerNameLength = 200;

// "http://<host>/upgrade/retrieve_latest_qor" ("..._beta" for a beta).
std::wstring UpgradeQueryUrl(const std::string& host, bool beta);
// "http://<host>/download/<name>" ("download/beta" for a beta), the name percent-encoded.
std::wstring InstallerDownloadUrl(const std::string& host, bool beta, const std::wstring& name);

// The server's answer names a file that is written into the Installer folder and started later:
// only a bare name is taken (1 to 200 characters, no "/" or "\", no "..", no control character),
// so it can neither leave that folder nor hide itself.
bool IsAcceptableInstallerName(const std::wstring& name);

// The version an installer name carries: the text between its last "_" (or its start) and its
// last "." after that; "qor_2.1.7.exe" carries "2.1.7".
std::wstring OfferedVersion(const std::wstring& installerName);

// Whether the installer's version is above the running version string (" beta" at its end is
// ignored). Versions compare as (major, minor, build) in that order; a field that is no number
// counts as 0.
bool IsNewerVersion(const std::wstring& installerName, const std::wstring& runningVersion);
