#include "UpgradeTestServer.h"

#include "QtTestSupport.h"
#include "app/VendorSite.h"
#include "app/dialogs/DlgUpgrading.h"
#include "app/upgrade/HttpClient.h"
#include "app/upgrade/UpgradeCheck.h"
#include "core/WideText.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::wstring UrlOf(const CUpgradeTestServer& server, const std::string& path) {
    return Utf8ToWide(server.Origin() + path);
}

// A loopback HTTPS site whose authority the clients of these tests trust.
class UpgradeClientTest : public ::testing::Test {
protected:
    CHttpClient TrustingClient(std::wstring url = {}) const {
        CHttpClient client(std::move(url));
        client.SetCertificateAuthorities(m_authority.Pem());
        return client;
    }

    CTestAuthority m_authority{"qor test authority"};
    CTestIdentity m_identity = m_authority.IssueServer("IP:127.0.0.1");
    CUpgradeTestServer m_server{&m_identity};
};

// What the client sends and what it makes of the answer, in one exchange that exercises them all.
TEST_F(UpgradeClientTest, SendsItsHeadersAndReadsEveryPartOfTheAnswer) {
    CUpgradeTestServer& server = m_server;
    // Longer than the first body buffer several times over, so the buffer has to grow.
    const std::string body = "h\xc3\xa9llo" + std::string(50000, 'x');
    server.Set("/echo", {200, body,
                         "Content-Type: text/plain; charset=utf-8\r\n"
                         "Set-Cookie: a=1; Path=/\r\nSet-Cookie:   b=2\r\n",
                         0});
    CHttpClient client = TrustingClient(UrlOf(server, "/echo"));
    client.SetAdditionalHeaders("X-One: 1\r\nX-Two: 2\r\nX-One: 3\r\n");
    client.SetCookies("session=abc");
    client.SetRequestBody("payload");
    std::vector<std::size_t> progress;
    client.SetProgressCallback([&progress](std::size_t bytes) { progress.push_back(bytes); });

    ASSERT_TRUE(client.SendHttpRequest("post"));

    const std::string request = server.Requests().at(0).text;
    EXPECT_TRUE(request.starts_with("POST /echo HTTP/1.1\r\n")) << request;
    for (const char* line : {"User-Agent: WinHttpClient\r\n", "X-One: 1; 3\r\n", "X-Two: 2\r\n",
                             "Cookie: session=abc\r\n"}) {
        EXPECT_NE(request.find(line), std::string::npos) << line;
    }
    EXPECT_TRUE(request.ends_with("\r\n\r\npayload"));
    EXPECT_EQ(client.GetStatusCode(), "200");
    EXPECT_EQ(client.GetCharset(), "utf-8");
    EXPECT_EQ(client.GetContentLength(), static_cast<long long>(body.size()));
    EXPECT_EQ(client.GetCookiesReceived(), "a=1; Path=/; b=2;");
    EXPECT_EQ(client.GetResponseBytes(), body);
    EXPECT_EQ(client.GetResponseText(), Utf8ToWide(body));
    EXPECT_EQ(client.GetLastErrorNumber(), 0);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.front(), 0u);
    EXPECT_EQ(progress.back(), body.size());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // Bytes that are no UTF-8 under a charset claiming it are read as legacy text.
    server.Set("/latin", {200, "caf\xe9", "Content-Type: text/plain; charset=UTF-8\r\n", 0});
    client.SetUrl(UrlOf(server, "/latin"));
    ASSERT_TRUE(client.SendHttpRequest("GET"));
    EXPECT_EQ(client.GetResponseText(), L"caf\u00e9");
    EXPECT_EQ(client.GetCookiesReceived(), "");
}

using UpgradeClientTimed = UpgradeClientTest;

TEST_F(UpgradeClientTimed, RefusalsAndFailuresGiveTheirErrorNumbers) {
    CUpgradeTestServer& server = m_server;
    server.Set("/page", {200, "<html><body>cut short", "", 0});
    server.Set("/big", {200, std::string(5000, 'b'), "", 0});
    server.Set("/drip", {200, std::string(50, 'd'), "", 100});
    CHttpClient client = TrustingClient();

    EXPECT_FALSE(client.SendHttpRequest("GET"));
    EXPECT_EQ(client.GetLastErrorNumber(), CHttpClient::kErrorNoUrl);
    client.SetUrl(UrlOf(server, "/page"));
    EXPECT_FALSE(client.SendHttpRequest("PUT"));
    EXPECT_EQ(client.GetLastErrorNumber(), CHttpClient::kErrorBadVerb);
    EXPECT_TRUE(server.Requests().empty());

    // Only a "GET" that follows redirects retries an unfinished page (the check's tests count
    // those three attempts); the others take it as it is.
    EXPECT_TRUE(client.SendHttpRequest("GET", true));
    EXPECT_TRUE(client.SendHttpRequest("POST"));
    EXPECT_EQ(server.Count("/page"), 2);

    client.SetUrl(UrlOf(server, "/big"));
    client.SetMaxBodyBytes(4096);
    EXPECT_FALSE(client.SendHttpRequest("GET"));
    EXPECT_GT(client.GetLastErrorNumber(), CHttpClient::kLibcurlErrorBase);

    // Nothing but HTTPS leaves the client, and no site the trusted authorities do not vouch for
    // is read.
    CUpgradeTestServer plain;
    plain.Set("/page", {200, "<html></html>", "", 0});
    client.SetUrl(Utf8ToWide(plain.Origin() + "/page"));
    EXPECT_FALSE(client.SendHttpRequest("GET"));
    EXPECT_TRUE(plain.Requests().empty());
    CHttpClient untrusting(UrlOf(server, "/page"));
    EXPECT_FALSE(untrusting.SendHttpRequest("GET"));
    EXPECT_EQ(server.Count("/page"), 2);

    // A body trickling in ends at the whole-transfer limit, on each of the three attempts.
    client.SetMaxBodyBytes(0);
    client.SetUrl(UrlOf(server, "/drip"));
    client.SetTransferLimit(500);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.SendHttpRequest("GET"));
    EXPECT_EQ(client.GetLastErrorNumber(),
              CHttpClient::kLibcurlErrorBase + 28 /* CURLE_OPERATION_TIMEDOUT */);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
}

class UpgradeDialogTest : public ::testing::Test {
protected:
    CTestApplicationUser m_application;
};

CDlgUpgrading* ShownUpgradeDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<CDlgUpgrading*>(widget); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

TEST_F(UpgradeDialogTest, ShowsTheReleaseNearTheLowerRightCornerAndInstallAccepts) {
    CDlgUpgrading dialog(L"qor_1.3.0.exe", L"1.2.3 beta");
    dialog.show();
    ASSERT_TRUE(PumpUntil([&dialog] { return dialog.isVisible(); }));

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Zelia Media Player 1.2.3 beta"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("text"))->text(),
              QStringLiteral("QOR new revision availabled!\n\nqor_1.3.0.exe"));
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(dialog.x(), screen.right() + 1 - dialog.width() - 100);
    EXPECT_EQ(dialog.y(), screen.bottom() + 1 - dialog.height() - 100);
    EXPECT_EQ(CDlgUpgrading::ChangeLogUrl(L"1.2.3 beta").toString(QUrl::FullyEncoded),
              QString::fromStdString("https://" + VendorHost() +
                                     "/media-player/changelog.htm?v=1.2.3%20beta&u=1"));

    dialog.findChild<QPushButton*>(QStringLiteral("install"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

// The check's thread waits while the user-interface thread shows the question; the answer comes
// back to it, a dismissed dialog counts as "no", and a stop ends a wait nobody answers.
TEST_F(UpgradeDialogTest, TheCheckingThreadGetsTheAnswerGivenOnTheUserInterfaceThread) {
    bool clickInstall = true;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&clickInstall] {
        if (CDlgUpgrading* dialog = ShownUpgradeDialog()) {
            if (clickInstall) {
                dialog->findChild<QPushButton*>(QStringLiteral("install"))->click();
            } else {
                dialog->reject();
            }
        }
    });
    answerer.start(20);
    for (const bool install : {true, false}) {
        clickInstall = install;
        auto answer = std::async(std::launch::async, [] {
            return AskInstallOnUserInterfaceThread(L"qor_1.3.0.exe", L"1.2.3", {});
        });
        ASSERT_TRUE(
            PumpUntil([&answer] { return answer.wait_for(0s) == std::future_status::ready; }));
        EXPECT_EQ(answer.get(), install);
    }
    answerer.stop();

    std::stop_source stop;
    auto unanswered = std::async(std::launch::async, [token = stop.get_token()] {
        return AskInstallOnUserInterfaceThread(L"qor_1.3.0.exe", L"1.2.3", token);
    });
    std::this_thread::sleep_for(200ms);
    stop.request_stop();
    ASSERT_EQ(unanswered.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(unanswered.get());
    // The question still waiting in the event queue shows once; dismiss it.
    clickInstall = false;
    answerer.start(20);
    PumpFor(300ms);
    EXPECT_EQ(ShownUpgradeDialog(), nullptr);
}

// The check the program starts trusts what the program links (here the test's authority, read
// from the trust folder).
TEST_F(UpgradeDialogTest, TheCheckStartsOncePerProcess) {
    const CTestAuthority authority("qor test authority");
    const CTestIdentity identity = authority.IssueServer("IP:127.0.0.1");
    CUpgradeTestServer server(&identity);
    server.Set("/upgrade/retrieve_latest_qor", {404, "", "", 0});
    const std::string dataHome =
        (std::filesystem::temp_directory_path() / ("qor-upgrade-once-" + std::to_string(getpid())))
            .string();
    WriteTrustFolder(std::filesystem::path(dataHome) / "trust", {}, authority.Pem());
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    setenv("QOR_VENDOR_HOST", server.Host().c_str(), 1);
    setenv(kTrustFolderVariable, (dataHome + "/trust").c_str(), 1);
    int closeRequests = 0;
    StartUpgradeCheck([&closeRequests] { ++closeRequests; });
    StartUpgradeCheck([&closeRequests] { ++closeRequests; });
    unsetenv(kTrustFolderVariable);
    unsetenv("QOR_VENDOR_HOST");
    unsetenv("XDG_DATA_HOME");

    EXPECT_TRUE(PumpUntil([&server] { return server.Count("/upgrade/retrieve_latest_qor") > 0; }));
    PumpFor(300ms);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(closeRequests, 0);
    std::filesystem::remove_all(dataHome);
}

} // namespace
