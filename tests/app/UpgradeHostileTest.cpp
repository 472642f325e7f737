#include "UpgradeCheckFixture.h"

#include "app/upgrade/UpgradeRules.h"
#include "core/Log.h"

#include <chrono>
#include <functional>

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr char kOffered[] = "qor_9.0.0.exe";
constexpr char kQueryPath[] = "/upgrade/retrieve_latest_qor";
constexpr char kDownloadPath[] = "/download/qor_9.0.0.exe";
constexpr char kSignaturePath[] = "/download/qor_9.0.0.exe.sig";

// Beside the vendor's site: a plain-HTTP server, a server whose certificate comes from an
// authority nobody trusts, and one whose certificate names another host.
class UpgradeHostileTest : public UpgradeCheckFixture {
protected:
    std::vector<std::string> InstallerFiles() const {
        std::vector<std::string> files;
        std::error_code error;
        for (fs::recursive_directory_iterator entry(InstallerFolder(), error), end;
             !error && entry != end; entry.increment(error)) {
            files.push_back(entry->path().filename().string());
        }
        return files;
    }
    // Serves the offer as the vendor's site does, here from `server`.
    void OfferFrom(CUpgradeTestServer& server) {
        server.Set(kQueryPath, {200, kOffered, "", 0});
        server.Set(kDownloadPath, {200, kInstallerBytes, "", 0});
        server.Set(kSignaturePath, {200, m_signingKey.Sign(kInstallerBytes), "", 0});
    }
    CUpgradeTestServer::Answer RedirectToPlain(const std::string& path) const {
        return {302, "", "Location: " + m_plain.Origin() + path + "\r\n", 0};
    }

    CUpgradeTestServer m_plain;
    CTestAuthority m_strangerAuthority{"nobody's authority"};
    CTestIdentity m_strangerIdentity = m_strangerAuthority.IssueServer("IP:127.0.0.1");
    CUpgradeTestServer m_stranger{&m_strangerIdentity};
    CTestIdentity m_misnamedIdentity = m_authority.IssueServer("DNS:other.example");
    CUpgradeTestServer m_misnamed{&m_misnamedIdentity};
};

struct HostileCase {
    const char* name;
    std::function<void()> arrange;
    EUpgradeOutcome outcome;
};

// Whoever answers for the vendor's host gets nothing run, nothing shown and nothing left behind
// unless the installer carries the vendor's signature and came over verified HTTPS alone. The
// first row is the control: the same offer, signed, reaches the question.
using UpgradeHostileTimed = UpgradeHostileTest;

TEST_F(UpgradeHostileTimed, AnythingButASignedInstallerOverHttpsIsRefusedAndLeavesNothing) {
    const fs::path logPath = m_root / "qor.log";
    CLog::Instance().OpenLogFile(logPath.string());
    const CTestSigningKey otherKey;
    const HostileCase cases[] = {
        {"signed by the vendor's key", [] {}, EUpgradeOutcome::Declined},
        {"unsigned",
         [&] {
             m_server.Set(kSignaturePath, {404, "", "", 0});
         },
         EUpgradeOutcome::Unverified},
        {"signed by another key",
         [&] {
             m_server.Set(kSignaturePath, {200, otherKey.Sign(kInstallerBytes), "", 0});
         },
         EUpgradeOutcome::Unverified},
        {"changed after signing",
         [&] {
             m_server.Set(kDownloadPath, {200, kInstallerBytes + std::string("rm -rf ~\n"), "", 0});
         },
         EUpgradeOutcome::Unverified},
        {"signature with a line end",
         [&] {
             m_server.Set(kSignaturePath, {200, m_signingKey.Sign(kInstallerBytes) + "\n", "", 0});
         },
         EUpgradeOutcome::Unverified},
        {"site on plain HTTP",
         [&] {
             OfferFrom(m_plain);
             m_settings.vendorHost = m_plain.Host();
         },
         EUpgradeOutcome::NoAnswer},
        {"query redirected to HTTP",
         [&] {
             OfferFrom(m_plain);
             m_server.Set(kQueryPath, RedirectToPlain(kQueryPath));
         },
         EUpgradeOutcome::NoAnswer},
        {"installer redirected to HTTP",
         [&] {
             OfferFrom(m_plain);
             m_server.Set(kDownloadPath, RedirectToPlain(kDownloadPath));
         },
         EUpgradeOutcome::DownloadFailed},
        {"signature redirected to HTTP",
         [&] {
             OfferFrom(m_plain);
             m_server.Set(kSignaturePath, RedirectToPlain(kSignaturePath));
         },
         EUpgradeOutcome::Unverified},
        {"installer answered 304",
         [&] {
             m_server.Set(kDownloadPath, {304, "", "", 0});
         },
         EUpgradeOutcome::DownloadFailed},
        {"installer dripping past the time limit",
         [&] {
             m_server.Set(kDownloadPath, {200, std::string(100, '#'), "", 100});
             m_settings.limits.downloadMs = 2000;
         },
         EUpgradeOutcome::DownloadFailed},
        {"certificate of an unknown authority",
         [&] {
             OfferFrom(m_stranger);
             m_settings.vendorHost = m_stranger.Host();
         },
         EUpgradeOutcome::NoAnswer},
        {"certificate for another host",
         [&] {
             OfferFrom(m_misnamed);
             m_settings.vendorHost = m_misnamed.Host();
         },
         EUpgradeOutcome::NoAnswer},
        {"name turned around by U+202E",
         [&] {
             m_server.Set(kQueryPath, {200, "qor_9.0.0_\xE2\x80\xAEhs.exe", "", 0});
         },
         EUpgradeOutcome::UnusableAnswer},
        {"name starting with a dot",
         [&] {
             m_server.Set(kQueryPath, {200, ".qor_9.0.0.exe", "", 0});
         },
         EUpgradeOutcome::UnusableAnswer},
        {"name of another kind",
         [&] {
             m_server.Set(kQueryPath, {200, "qor_9.0.0.sh", "", 0});
         },
         EUpgradeOutcome::UnusableAnswer},
        {"answer forging a log line",
         [&] {
             m_server.Set(kQueryPath,
                          {200, "qor_9.0.0.exe\r\n00:00:00:000   1 ERROR: forged", "", 0});
         },
         EUpgradeOutcome::UnusableAnswer},
    };
    WriteUpgrader();
    WriteVersion("1", "0", "0");
    const CUpgradeSettings defaults = m_settings;
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_settings = defaults;
        m_server.Clear();
        m_plain.Clear();
        OfferInstaller(kOffered);
        c.arrange();
        const auto started = std::chrono::steady_clock::now();

        EXPECT_EQ(CheckForUpgrade(m_settings), c.outcome);

        EXPECT_LT(std::chrono::steady_clock::now() - started, 6s);
        const bool offered = c.outcome == EUpgradeOutcome::Declined;
        EXPECT_EQ(m_questions.size(), offered ? 1u : 0u);
        EXPECT_EQ(InstallerFiles(),
                  offered ? std::vector<std::string>{kOffered} : std::vector<std::string>{});
        EXPECT_TRUE(m_plain.Requests().empty());
        m_questions.clear();
    }
    EXPECT_FALSE(fs::exists(RecordFile()));
    EXPECT_EQ(m_installsStarted, 0);
    // The server's text stays on its log line, its CR LF and non-ASCII bytes spelled out.
    const std::string log = ReadFile(logPath);
    EXPECT_NE(log.find("qor_9.0.0.exe\\x0D\\x0A00:00:00:000   1 ERROR: forged"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("\n00:00:00:000"), std::string::npos);
    EXPECT_NE(log.find("qor_9.0.0_\\xE2\\x80\\xAEhs.exe"), std::string::npos);
    EXPECT_EQ(log.find("\xE2\x80\xAE"), std::string::npos);
}

// One rule decides which names the check takes and which files the next start clears away, so
// no accepted name can outlive its start.
TEST_F(UpgradeHostileTest, TheCleanupRemovesEveryNameTheCheckAccepts) {
    const struct {
        std::wstring name;
        bool accepted;
    } names[] = {
        {L"qor_9.0.0.exe", true},
        {L"Qor Setup_9.0.0.exe", true},
        {L"\u00e9t\u00e9_9.0.0.exe", true},
        {std::wstring(196, L'a') + L".exe", true},
        {std::wstring(197, L'a') + L".exe", false},
        {L"qor_9.0.0.EXE", false},
        {L"qor_9.0.0.sh", false},
        {L"qor_9.0.0.exe.part", false},
        {L".qor_9.0.0.exe", false},
        {L"qor..9.exe", false},
        {L"qor\u202E_9.0.0.exe", false},
        {L"qor\u200E_9.0.0.exe", false},
        {L"qor\u200F_9.0.0.exe", false},
        {L"qor\u2066_9.0.0.exe", false},
        {L"qor\u2069_9.0.0.exe", false},
        {L"qor\u200B_9.0.0.exe", false},
        {L"qor\uFEFF_9.0.0.exe", false},
        {L"qor\u00AD_9.0.0.exe", false},
        {L"qor\u2028_9.0.0.exe", false},
        {L"qor\x7F_9.0.0.exe", false},
        {L"qor\x85_9.0.0.exe", false},
        {L"qor\t_9.0.0.exe", false},
        {L"qor\xDC80_9.0.0.exe", false},
        {L"qor\U000E0001_9.0.0.exe", false},
        {L"sub/qor_9.0.0.exe", false},
        {L"sub\\qor_9.0.0.exe", false},
    };
    WriteFile(InstallerFolder() / "notes.txt", "kept");
    for (const auto& entry : names) {
        SCOPED_TRACE(WideToUtf8(entry.name));
        EXPECT_EQ(IsAcceptableInstallerName(entry.name), entry.accepted);
        if (entry.name.find(L'/') == std::wstring::npos) {
            WriteFile(InstallerFolder() / PathToBytes(entry.name), "left");
            WriteFile(InstallerFolder() / "sub" / PathToBytes(entry.name + L".part"), "cut");
        }
    }
    m_server.Set(kQueryPath, {404, "", "", 0});

    EXPECT_EQ(CheckForUpgrade(m_settings), EUpgradeOutcome::NoAnswer);

    for (const auto& entry : names) {
        if (entry.accepted) {
            SCOPED_TRACE(WideToUtf8(entry.name));
            EXPECT_FALSE(fs::exists(InstallerFolder() / PathToBytes(entry.name)));
            EXPECT_FALSE(
                fs::exists(InstallerFolder() / "sub" / PathToBytes(entry.name + L".part")));
        }
    }
    EXPECT_TRUE(fs::exists(InstallerFolder() / "notes.txt"));
}

TEST(UpgradeLogTextTest, ServerBytesAreEscapedAndCut) {
    EXPECT_EQ(EscapedForLog("qor_1.2.3.exe"), "qor_1.2.3.exe");
    EXPECT_EQ(EscapedForLog("a\r\nb\tc\\d"), "a\\x0D\\x0Ab\\x09c\\x5Cd");
    EXPECT_EQ(EscapedForLog(std::string("\0\x7F\xC3\xA9", 4)), "\\x00\\x7F\\xC3\\xA9");
    EXPECT_EQ(EscapedForLog(std::string(kMaxLoggedAnswerBytes, 'a')),
              std::string(kMaxLoggedAnswerBytes, 'a'));
    EXPECT_EQ(EscapedForLog(std::string(kMaxLoggedAnswerBytes + 1, 'a')),
              std::string(kMaxLoggedAnswerBytes, 'a') + "...");
}

} // namespace
