// The about dialog: the version text in the title and the box, and the change-log link opening
// the vendor's page for that version.
#include "app/dialogs/DlgAbout.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include <cstdlib>

#include "QtTestSupport.h"
#include "support/FullScreenShot.h"

namespace {

// Takes the place of the browser for "http" links while it exists.
class CBrowserStandIn : public QObject {
    Q_OBJECT
public:
    CBrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
    ~CBrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    std::vector<QUrl> opened;

public Q_SLOTS:
    void Open(const QUrl& url) { opened.push_back(url); }
};

} // namespace

TEST(AboutDialog, ShowsTheVersionAndOpensTheChangeLogOfThatVersion) {
    EnsureTestApplication();
    setenv("QOR_VENDOR_HOST", "127.0.0.1:8123", 1);
    CBrowserStandIn browser;
    CDlgAbout dialog(L"2.7.410 beta");
    dialog.show();

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Zelia Media Player 2.7.410 beta"));
    EXPECT_EQ(dialog.VersionText(), dialog.windowTitle());
    EXPECT_EQ(CutOffParts(dialog), QStringList());
    SaveScreenshot(dialog, QStringLiteral("about"));

    // What a click on the link reports.
    Q_EMIT dialog.ChangeLogLink()->linkActivated(QStringLiteral("changelog"));
    ASSERT_EQ(browser.opened.size(), 1U);
    EXPECT_EQ(browser.opened[0].toString(QUrl::FullyEncoded),
              QStringLiteral("https://127.0.0.1:8123/media-player/changelog.htm?v=2.7.410%20beta"));

    unsetenv("QOR_VENDOR_HOST");
    EXPECT_EQ(ChangeLogUrl(L"1.0.3").toString(),
              QStringLiteral("https://www.zeliaplayer.example/media-player/changelog.htm?v=1.0.3"));
}

#include "AboutTest.moc"
