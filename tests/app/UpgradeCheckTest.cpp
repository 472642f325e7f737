#include "UpgradeCheckFixture.h"

#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace {

using UpgradeCheckTest = UpgradeCheckFixture;

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

struct VersionCase {
    const char* major;
    const char* minor;
    const char* build;
    const char* offered;
    bool dialog;
};

// Versions compare as (major, minor, build) in order: no downgrade is offered as a new release.
TEST_F(UpgradeCheckTest, OnlyANewerReleaseIsDownloadedAndOffered) {
    const VersionCase cases[] = {
        {"1", "2", "3", "qor_1.2.3.exe", false}, {"2", "0", "0", "qor_1.9.9.exe", false},
        {"1", "2", "3", "qor_1.10.0.exe", true}, {"1", "2", "3", "qor_1.2.4.exe", true},
        {"1", "2", "3", "qor_2.0.0.exe", true},  {"1", "10", "0", "qor_1.9.99.exe", false},
        {"1", "2", "3", "1.3.0.exe", true},      {"1", "2", "3", "qor_setup_1.2.2.exe", false},
    };
    WriteUpgrader();
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.major) + "." + c.minor + "." + c.build + " running, " +
                     c.offered + " offered");
        WriteVersion(c.major, c.minor, c.build);
        OfferInstaller(c.offered);
        m_questions.clear();
        const int downloadsBefore = m_server.Count(std::string("/download/") + c.offered);

        const EUpgradeOutcome outcome = CheckForUpgrade(m_settings);

        EXPECT_EQ(outcome, c.dialog ? EUpgradeOutcome::Declined : EUpgradeOutcome::NotNewer);
        EXPECT_EQ(m_questions.size(), c.dialog ? 1u : 0u);
        EXPECT_EQ(m_server.Count(std::string("/download/") + c.offered) - downloadsBefore,
                  c.dialog ? 1 : 0);
        EXPECT_EQ(fs::exists(InstallerFolder() / c.offered), c.dialog);
    }
    EXPECT_FALSE(fs::exists(RecordFile()));
}

TEST_F(UpgradeCheckTest, ABetaAsksForTheBetaAndDownloadsFromTheBetaFolder) {
    WriteUpgrader();
    WriteVersion("2", "1", "7", true);
    OfferInstaller("qor_2.1.8.exe", true);

    EXPECT_EQ(CheckForUpgrade(m_settings), EUpgradeOutcome::Declined);

    EXPECT_EQ(m_server.Count("/upgrade/retrieve_latest_qor_beta"), 1);
    EXPECT_EQ(m_server.Count("/upgrade/retrieve_latest_qor"), 0);
    EXPECT_EQ(m_server.Count("/download/beta/qor_2.1.8.exe"), 1);
    EXPECT_EQ(m_questions, std::vector<std::string>{"qor_2.1.8.exe / 2.1.7 beta"});
}

TEST_F(UpgradeCheckTest, AnUnfinishedPageIsFetchedThreeTimesAndNoMore) {
    WriteUpgrader();
    WriteVersion("1", "0", "0");
    OfferInstaller("qor_9.0.0.exe");
    m_server.Set("/upgrade/retrieve_latest_qor", {200, "<html><body>qor_9.0.0.exe", "", 0});

    EXPECT_EQ(CheckForUpgrade(m_settings), EUpgradeOutcome::NoAnswer);

    EXPECT_EQ(m_server.Count("/upgrade/retrieve_latest_qor"), 3);
    EXPECT_FALSE(m_server.AnyBelow("/download/"));
    EXPECT_TRUE(m_questions.empty());
}

struct RefusalCase {
    const char* name;
    int status;
    std::string body;
    bool upgrader;
    int downloadStatus;
    EUpgradeOutcome outcome;
};

// Every way the check ends early: nothing asked, nothing started, no file written anywhere but
// the Installer folder (and there only by a download that was made).
TEST_F(UpgradeCheckTest, EveryFailureEndsTheCheckQuietlyWithNothingWrittenOutside) {
    const RefusalCase cases[] = {
        {"status 404", 404, "qor_9.0.0.exe", true, 200, EUpgradeOutcome::NoAnswer},
        {"status 500", 500, "qor_9.0.0.exe", true, 200, EUpgradeOutcome::NoAnswer},
        {"empty body", 200, "", true, 200, EUpgradeOutcome::UnusableAnswer},
        {"climbing out", 200, "../../evil_9.9.9.exe", true, 200, EUpgradeOutcome::UnusableAnswer},
        {"absolute path", 200, "/tmp/evil_9.9.9.exe", true, 200, EUpgradeOutcome::UnusableAnswer},
        {"backslash", 200, "..\\evil_9.9.9.exe", true, 200, EUpgradeOutcome::UnusableAnswer},
        {"newline", 200, "qor_9.9.9.exe\n", true, 200, EUpgradeOutcome::UnusableAnswer},
        {"300 characters", 200, std::string(290, 'a') + "_9.9.9.exe", true, 200,
         EUpgradeOutcome::UnusableAnswer},
        {"body over 64 KiB", 200, std::string(70000, 'a') + "_9.9.9.exe", true, 200,
         EUpgradeOutcome::NoAnswer},
        {"no upgrader", 200, "qor_9.0.0.exe", false, 200, EUpgradeOutcome::NoUpgrader},
        {"download missing", 200, "qor_9.0.0.exe", true, 404, EUpgradeOutcome::DownloadFailed},
    };
    WriteVersion("1", "0", "0");
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(ProgramFolder() / "Renovo");
        if (c.upgrader) {
            WriteUpgrader();
        }
        const std::set<std::string> before = Files();
        const std::size_t requestsBefore = m_server.Requests().size();
        OfferInstaller("qor_9.0.0.exe");
        m_server.Set("/upgrade/retrieve_latest_qor", {c.status, c.body, "", 0});
        m_server.Set("/download/qor_9.0.0.exe", {c.downloadStatus, kInstallerBytes, "", 0});

        EXPECT_EQ(CheckForUpgrade(m_settings), c.outcome);

        EXPECT_EQ(Files(), before);
        EXPECT_TRUE(m_questions.empty());
        const auto requests = m_server.Requests();
        const int downloads = static_cast<int>(std::count_if(
            requests.begin() + static_cast<long>(requestsBefore), requests.end(),
            [](const auto& request) { return request.path.starts_with("/download/"); }));
        EXPECT_EQ(downloads, c.outcome == EUpgradeOutcome::DownloadFailed ? 1 : 0);
    }
    EXPECT_FALSE(fs::exists(RecordFile()));
    EXPECT_EQ(m_installsStarted, 0);
}

// The whole way through: old installers cleared, the new one downloaded, the user says
// "Install", the upgrader's copy in the Installer folder is started with the installer's path and
// the digest of what was verified, and the player is asked to close.
TEST_F(UpgradeCheckTest, InstallStartsTheUpgradersCopyWithTheInstallersPath) {
    WriteUpgrader();
    WriteVersion("1", "2", "3");
    OfferInstaller("qor_1.3.0.exe");
    WriteFile(InstallerFolder() / "qor_1.2.9.exe", "old");
    WriteFile(InstallerFolder() / "sub" / "older.exe", "older");
    WriteFile(InstallerFolder() / "notes.txt", "kept");
    m_answer = true;

    EXPECT_EQ(CheckForUpgrade(m_settings), EUpgradeOutcome::InstallStarted);

    EXPECT_FALSE(fs::exists(InstallerFolder() / "qor_1.2.9.exe"));
    EXPECT_FALSE(fs::exists(InstallerFolder() / "sub" / "older.exe"));
    EXPECT_TRUE(fs::exists(InstallerFolder() / "notes.txt"));
    EXPECT_EQ(ReadFile(InstallerFolder() / "qor_1.3.0.exe"), kInstallerBytes);
    EXPECT_EQ(m_server.Count("/download/qor_1.3.0.exe.sig"), 1);
    EXPECT_EQ(m_questions, std::vector<std::string>{"qor_1.3.0.exe / 1.2.3"});
    EXPECT_EQ(m_installsStarted, 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(RecordFile()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string copy = (InstallerFolder() / "Renovo").string();
    const std::string installer = (InstallerFolder() / "qor_1.3.0.exe").string();
    EXPECT_EQ(ReadFile(RecordFile()),
              copy + "\n2\n" + installer + "\n" + Sha256Hex(kInstallerBytes) + "\n");
    EXPECT_EQ(ReadFile(copy), ReadFile(ProgramFolder() / "Renovo"));
    const auto request = m_server.Requests().front().text;
    EXPECT_NE(request.find("User-Agent: WinHttpClient\r\n"), std::string::npos) << request;
}

} // namespace
