#include "app/upgrade/UpgradeCheck.h"

#include "app/VendorSite.h"
#include "app/VersionFile.h"
#include "app/dialogs/DlgUpgrading.h"
#include "app/upgrade/HttpClient.h"
#include "app/upgrade/InstallerSignature.h"
#include "app/upgrade/UpgradeRules.h"
#include "core/AppFolder.h"
#include "core/Log.h"
#include "core/PathValue.h"
#include "core/WideText.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Tells the upgrader which process to wait for.
constexpr char kPlayerPidVariable[] = "QOR_PLAYER_PID";
// How often a wait for the user's answer looks at the stop request.
constexpr auto kAnswerPollPeriod = std::chrono::milliseconds(100);

void LogCheck(const char* format, const std::string& detail) {
    Log({"CheckForUpgrade", LOG_LEVEL_INFO}, format, detail.c_str());
}

fs::path FsPath(const std::wstring& path) {
    return fs::path(PathToBytes(path));
}

// Installers left by an earlier start that was not installed, and downloads cut short (in
// subfolders too; links are removed, never followed).
void DeleteOldInstallers(const std::wstring& installerFolder) {
    std::error_code error;
    fs::recursive_directory_iterator entries(FsPath(installerFolder),
                                             fs::directory_options::skip_permission_denied, error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        const fs::path& entry = entries->path();
        if (IsInstallerLeftover(PathFromBytes(entry.filename().string())) &&
            !entries->is_directory(error)) {
            fs::remove(entry, error);
        }
        error.clear();
    }
}

bool IsSuccessStatus(const std::string& status) {
    return status.size() == 3 && status[0] == '2';
}

// Every transfer of the check: only the authorities the program trusts, and the limits.
void Prepare(CHttpClient& http, const CUpgradeSettings& settings, long transferLimitMs) {
    http.SetCertificateAuthorities(settings.trust.certificateAuthorities);
    http.SetTimeouts(0, settings.limits.connectMs, 0, 0);
    http.SetTransferLimit(transferLimitMs);
    http.SetLowSpeedLimit(settings.limits.lowSpeedBytesPerSecond, settings.limits.lowSpeedSeconds);
}

// The installer's detached signature, or nothing when it cannot be had whole from a 2xx answer.
std::optional<std::string> DownloadSignature(const CUpgradeSettings& settings, bool beta,
                                             const std::wstring& name, std::stop_token stop) {
    CHttpClient http(InstallerSignatureUrl(settings.vendorHost, beta, name), std::move(stop));
    Prepare(http, settings, settings.limits.queryMs);
    http.SetMaxBodyBytes(kMaxSignatureBodyBytes);
    if (!http.SendHttpRequest("GET", false) || !IsSuccessStatus(http.GetStatusCode())) {
        LogCheck("no signature (status \"%s\")", http.GetStatusCode());
        return std::nullopt;
    }
    return std::string(http.GetResponseBytes());
}

// Downloads the installer under a partial name, checks its signature and only then gives it its
// name; the digest of what was verified, or nothing with no file left behind.
std::optional<std::string> DownloadVerifiedInstaller(const CUpgradeSettings& settings, bool beta,
                                                     const std::wstring& name,
                                                     const std::wstring& installer,
                                                     EUpgradeOutcome& failure,
                                                     std::stop_token stop) {
    const std::wstring partial = installer + kPartialDownloadSuffix;
    CHttpClient download(InstallerDownloadUrl(settings.vendorHost, beta, name), stop);
    Prepare(download, settings, settings.limits.downloadMs);
    download.SetMaxBodyBytes(kMaxInstallerBytes);
    if (!download.DownloadToFile(partial)) {
        LogCheck("download failed (error %s)", std::to_string(download.GetLastErrorNumber()));
        failure = EUpgradeOutcome::DownloadFailed;
        return std::nullopt;
    }
    const std::optional<std::string> signature = DownloadSignature(settings, beta, name, stop);
    std::optional<std::string> digest;
    if (signature) {
        digest =
            VerifyInstallerSignature(PathToBytes(partial), *signature, settings.trust.signingKey);
    }
    std::error_code error;
    if (!digest) {
        LogCheck("%s is not signed by the vendor; deleted", EscapedForLog(WideToUtf8(name)));
        fs::remove(FsPath(partial), error);
        failure = EUpgradeOutcome::Unverified;
        return std::nullopt;
    }
    fs::rename(FsPath(partial), FsPath(installer), error);
    if (error) {
        LogCheck("cannot name the installer: %s", error.message());
        fs::remove(FsPath(partial), error);
        failure = EUpgradeOutcome::DownloadFailed;
        return std::nullopt;
    }
    return digest;
}

std::wstring RunningVersion(const std::wstring& programFolder) {
    CVersionFile file;
    file.Load(programFolder + L"qor.ini");
    return Utf8ToWide(file.VersionString());
}

// The upgrader copied into the Installer folder (replacing an older copy) and started with the
// installer's path and its digest as arguments (InstallerDigest.h); the program is the copy, so
// the installer may replace the original. It stays our child, which lets it wait for this
// process to end.
bool StartUpgrader(const std::wstring& upgrader, const std::wstring& copy,
                   const std::wstring& installer, std::string digest) {
    std::error_code error;
    fs::copy_file(FsPath(upgrader), FsPath(copy), fs::copy_options::overwrite_existing, error);
    if (error) {
        LogCheck("cannot copy the upgrader: %s", error.message());
        return false;
    }
    std::string program = PathToBytes(copy);
    std::string argument = PathToBytes(installer);
    char* argv[] = {program.data(), argument.data(), digest.data(), nullptr};
    // The upgrader waits while its parent is still this process.
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (!std::string_view(*variable).starts_with(kPlayerPidVariable + std::string("="))) {
            variables.emplace_back(*variable);
        }
    }
    variables.push_back(kPlayerPidVariable + std::string("=") + std::to_string(getpid()));
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    pid_t child = 0;
    const int result =
        posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environment.data());
    if (result != 0) {
        LogCheck("cannot start the upgrader: %s", std::strerror(result));
        return false;
    }
    return true;
}

} // namespace

// An answer that can never come (the application went, its event dropped) counts as "no".
bool AskInstallOnUserInterfaceThread(const std::wstring& installerName,
                                     const std::wstring& runningVersion, std::stop_token stop) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;
    }
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    QMetaObject::invokeMethod(
        application,
        [answer, installerName, runningVersion] {
            CDlgUpgrading dialog(installerName, runningVersion);
            answer->set_value(dialog.exec() == QDialog::Accepted);
        },
        Qt::QueuedConnection);
    while (answered.wait_for(kAnswerPollPeriod) != std::future_status::ready) {
        if (stop.stop_requested()) {
            return false;
        }
    }
    try {
        return answered.get();
    } catch (const std::future_error&) {
        return false;
    }
}

bool IsUpgradeAvailable(CHttpClient& http, const std::string& vendorHost, bool beta) {
    try {
        http.SetUrl(UpgradeQueryUrl(vendorHost, beta));
        return http.SendHttpRequest("GET", false) && http.GetStatusCode() == "200";
    } catch (const std::exception&) {
        return false;
    }
}

EUpgradeOutcome CheckForUpgrade(const CUpgradeSettings& settings, std::stop_token stop) {
    try {
        DeleteOldInstallers(settings.installerFolder);
        CHttpClient http({}, stop);
        Prepare(http, settings, settings.limits.queryMs);
        http.SetMaxBodyBytes(kMaxQueryBodyBytes);
        const std::wstring version = RunningVersion(settings.programFolder);
        const bool beta = version.ends_with(L"beta");
        if (!IsUpgradeAvailable(http, settings.vendorHost, beta)) {
            LogCheck("no answer to the query (status \"%s\")", http.GetStatusCode());
            return stop.stop_requested() ? EUpgradeOutcome::Stopped : EUpgradeOutcome::NoAnswer;
        }
        const std::wstring name = http.GetResponseText();
        if (!IsAcceptableInstallerName(name)) {
            LogCheck("the answer is no installer name: %s", EscapedForLog(http.GetResponseBytes()));
            return EUpgradeOutcome::UnusableAnswer;
        }
        if (!IsNewerVersion(name, version)) {
            LogCheck("%s is not newer", EscapedForLog(WideToUtf8(name)));
            return EUpgradeOutcome::NotNewer;
        }
        const std::wstring upgrader = settings.programFolder + Utf8ToWide(kUpgraderName);
        if (!CPathValue(upgrader).Exists()) {
            LogCheck("no upgrader at %s", WideToUtf8(upgrader));
            return EUpgradeOutcome::NoUpgrader;
        }
        const std::wstring installer = settings.installerFolder + name;
        EUpgradeOutcome failure = EUpgradeOutcome::DownloadFailed;
        const std::optional<std::string> digest =
            DownloadVerifiedInstaller(settings, beta, name, installer, failure, stop);
        if (!digest) {
            return stop.stop_requested() ? EUpgradeOutcome::Stopped : failure;
        }
        if (!settings.askInstall(name, version, stop)) {
            return stop.stop_requested() ? EUpgradeOutcome::Stopped : EUpgradeOutcome::Declined;
        }
        const std::wstring copy = settings.installerFolder + Utf8ToWide(kUpgraderName);
        if (!StartUpgrader(upgrader, copy, installer, *digest)) {
            return EUpgradeOutcome::UpgraderFailed;
        }
        LogCheck("upgrader started for %s", EscapedForLog(WideToUtf8(name)));
        if (settings.installStarted) {
            settings.installStarted();
        }
        return EUpgradeOutcome::InstallStarted;
    } catch (const std::exception& error) {
        LogCheck("ended: %s", error.what());
        return EUpgradeOutcome::NoAnswer;
    }
}

void StartUpgradeCheck(std::function<void()> requestClose) {
    // Joined at exit at the latest; aboutToQuit normally stops and joins it before that.
    static std::jthread worker;
    static std::once_flag once;
    std::call_once(once, [&requestClose] {
        CUpgradeSettings settings;
        settings.programFolder = CPathValue(SpecialFolder::ExecutableFolder).Folder();
        settings.installerFolder = CAppFolder().GetInstallerFolder();
        settings.vendorHost = VendorHost();
        settings.trust = UpgradeTrust();
        settings.askInstall = AskInstallOnUserInterfaceThread;
        settings.installStarted = [close = std::move(requestClose)] {
            if (QCoreApplication* application = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(application, close, Qt::QueuedConnection);
            }
        };
        worker = std::jthread([settings = std::move(settings)](std::stop_token stop) {
            CheckForUpgrade(settings, stop);
        });
        if (QCoreApplication* application = QCoreApplication::instance()) {
            QObject::connect(application, &QCoreApplication::aboutToQuit, application, [] {
                worker.request_stop();
                if (worker.joinable()) {
                    worker.join();
                }
            });
        }
    });
}
