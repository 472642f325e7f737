#include "app/upgrade/UpgradeCheck.h"

#include "app/VendorSite.h"
#include "app/VersionFile.h"
#include "app/dialogs/DlgUpgrading.h"
#include "app/upgrade/HttpClient.h"
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

// Installers left by an earlier start that was not installed ("*.exe", in subfolders too).
void DeleteOldInstallers(const std::wstring& installerFolder) {
    std::error_code error;
    fs::recursive_directory_iterator entries(FsPath(installerFolder),
                                             fs::directory_options::skip_permission_denied, error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        const fs::path& entry = entries->path();
        if (entry.extension() == ".exe" && !entries->is_directory(error)) {
            fs::remove(entry, error);
        }
        error.clear();
    }
}

std::wstring RunningVersion(const std::wstring& programFolder) {
    CVersionFile file;
    file.Load(programFolder + L"qor.ini");
    return Utf8ToWide(file.VersionString());
}

// The upgrader copied into the Installer folder (replacing an older copy) and started with the
// installer's path as its only argument; the program is the copy, so the installer may replace
// the original. It stays our child, which lets it wait for this process to end.
bool StartUpgrader(const std::wstring& upgrader, const std::wstring& copy,
                   const std::wstring& installer) {
    std::error_code error;
    fs::copy_file(FsPath(upgrader), FsPath(copy), fs::copy_options::overwrite_existing, error);
    if (error) {
        LogCheck("cannot copy the upgrader: %s", error.message());
        return false;
    }
    std::string program = PathToBytes(copy);
    std::string argument = PathToBytes(installer);
    char* argv[] = {program.data(), argument.data(), nullptr};
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
        http.SetMaxBodyBytes(kMaxQueryBodyBytes);
        const std::wstring version = RunningVersion(settings.programFolder);
        const bool beta = version.ends_with(L"beta");
        if (!IsUpgradeAvailable(http, settings.vendorHost, beta)) {
            LogCheck("no answer to the query (status \"%s\")", http.GetStatusCode());
            return stop.stop_requested() ? EUpgradeOutcome::Stopped : EUpgradeOutcome::NoAnswer;
        }
        const std::wstring name = http.GetResponseText();
        if (!IsAcceptableInstallerName(name)) {
            LogCheck("the answer is no installer name: %.80s", WideToUtf8(name));
            return EUpgradeOutcome::UnusableAnswer;
        }
        if (!IsNewerVersion(name, version)) {
            LogCheck("%s is not newer", WideToUtf8(name));
            return EUpgradeOutcome::NotNewer;
        }
        const std::wstring upgrader = settings.programFolder + Utf8ToWide(kUpgraderName);
        if (!CPathValue(upgrader).Exists()) {
            LogCheck("no upgrader at %s", WideToUtf8(upgrader));
            return EUpgradeOutcome::NoUpgrader;
        }
        const std::wstring installer = settings.installerFolder + name;
        CHttpClient download(InstallerDownloadUrl(settings.vendorHost, beta, name), stop);
        download.SetMaxBodyBytes(kMaxInstallerBytes);
        if (!download.DownloadToFile(installer)) {
            LogCheck("download failed (error %s)", std::to_string(download.GetLastErrorNumber()));
            return stop.stop_requested() ? EUpgradeOutcome::Stopped
                                         : EUpgradeOutcome::DownloadFailed;
        }
        if (!settings.askInstall(name, version, stop)) {
            return stop.stop_requested() ? EUpgradeOutcome::Stopped : EUpgradeOutcome::Declined;
        }
        const std::wstring copy = settings.installerFolder + Utf8ToWide(kUpgraderName);
        if (!StartUpgrader(upgrader, copy, installer)) {
            return EUpgradeOutcome::UpgraderFailed;
        }
        LogCheck("upgrader started for %s", WideToUtf8(name));
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
