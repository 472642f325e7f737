#pragma once
// The once-per-start upgrade check: asks the vendor's site for the latest installer, downloads it
// into the Installer folder when it is newer than the running version, asks the user, and on
// "Install" starts the upgrader "Renovo" (copied into the Installer folder, so the installer may
// replace the original) with the installer's path and digest, then has the player close.
//
// Whoever answers for the vendor's host decides what the user is offered, so the check talks
// HTTPS only (certificates and host names verified, no redirect to anything else), and a
// download becomes an installer only once its detached signature ("<name>.sig") verifies against
// the key the program trusts (UpgradeTrust.h); a file that fails is deleted unseen. Every
// transfer has a connect limit, a whole-transfer limit and a low-speed limit.
//
// Every failure (network, status other than "200", an empty or unacceptable answer, no newer
// release, no upgrader, a failed download or signature, a declined dialog) ends the check with a
// log line and nothing shown. What a log line shows of a server's answer is escaped.
#include "app/upgrade/UpgradeTrust.h"

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>

class CHttpClient;

// The largest answer to the query (a file name) and the largest installer downloaded.
inline constexpr std::size_t kMaxQueryBodyBytes = 64 * 1024;
// An installer of the player is tens of megabytes; anything much larger is not one of ours.
inline constexpr std::size_t kMaxInstallerBytes = 512 * 1024 * 1024;
// A signature is 64 bytes; a page or anything larger is not read.
inline constexpr std::size_t kMaxSignatureBodyBytes = 1024;

// A server that cannot be reached in this time is not there.
inline constexpr long kConnectLimitMs = 20'000;
// The query and the signature are a few bytes: a minute is ample on any working line.
inline constexpr long kQueryLimitMs = 60'000;
// 100 MB at 0.5 Mbit/s; past this a server is holding the check, not serving it.
inline constexpr long kDownloadLimitMs = 30 * 60'000;
// Slower than 1 KiB/s for half a minute: a stalled or dripping transfer.
inline constexpr long kLowSpeedBytesPerSecond = 1024;
inline constexpr long kLowSpeedSeconds = 30;

// The limits of every transfer of one check, in milliseconds unless named otherwise.
struct CUpgradeLimits {
    long connectMs = kConnectLimitMs;
    // The whole of the query and of the signature's download, each.
    long queryMs = kQueryLimitMs;
    // The whole of the installer's download.
    long downloadMs = kDownloadLimitMs;
    long lowSpeedBytesPerSecond = kLowSpeedBytesPerSecond;
    long lowSpeedSeconds = kLowSpeedSeconds;
};

// The upgrader's file name, in the program folder and, copied, in the Installer folder.
inline constexpr char kUpgraderName[] = "Renovo";

struct CUpgradeSettings {
    // Holds "qor.ini" and the upgrader; ends with "/".
    std::wstring programFolder;
    // Where the installer and the upgrader's copy go; ends with "/".
    std::wstring installerFolder;
    std::string vendorHost;
    CUpgradeTrust trust;
    CUpgradeLimits limits;
    // Asks the user whether to install the downloaded installer (its file name, the running
    // version); called on the checking thread and blocks until answered. The stop token ends an
    // unanswered question with "no".
    std::function<bool(const std::wstring& installerName, const std::wstring& runningVersion,
                       std::stop_token stop)>
        askInstall;
    // Called on the checking thread once the upgrader has started.
    std::function<void()> installStarted;
};

enum class EUpgradeOutcome {
    NoAnswer,       // query failed or its status was not "200"
    UnusableAnswer, // empty, or not a bare installer name
    NotNewer,
    NoUpgrader,
    DownloadFailed,
    Unverified, // the installer's signature is missing or does not verify
    Declined,
    UpgraderFailed, // copying or starting the upgrader failed
    InstallStarted,
    Stopped,
};

// Sets the client's URL to the query, sends a "GET"; true when it succeeded with status "200".
bool IsUpgradeAvailable(CHttpClient& http, const std::string& vendorHost, bool beta);

// The whole check on the calling thread, which it blocks (the network, the question). A stop
// request ends a transfer or an unanswered question promptly.
EUpgradeOutcome CheckForUpgrade(const CUpgradeSettings& settings, std::stop_token stop = {});

// The question as the running program asks it: a CDlgUpgrading run on the user-interface thread
// (the application's thread), which the calling thread waits for. "No" when the stop is requested
// first or when no application is there to answer.
bool AskInstallOnUserInterfaceThread(const std::wstring& installerName,
                                     const std::wstring& runningVersion, std::stop_token stop);

// Called by the main window on the user-interface thread; only the first call of a process does
// anything. Starts the check on a thread of its own with the program folder, the user's Installer
// folder, the vendor's host and the program's UpgradeTrust(); the question is a CDlgUpgrading run
// on the user-interface thread. requestClose is posted to the user-interface thread once the
// upgrader has started. The application's aboutToQuit stops and joins the check.
void StartUpgradeCheck(std::function<void()> requestClose);
