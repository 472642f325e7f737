// A quit signal while a dialog or a menu is open, as the program meets it: the application's loop
// runs with the quit signals and a stand-in main window, the dialog is opened modally from the
// loop as the window opens it, and a real signal is sent to the process once it shows.
#include "app/startup/AppQuit.h"
#include "app/dialogs/DlgAbout.h"
#include "app/dialogs/DlgMediaInfo.h"
#include "app/dialogs/DlgUpgrading.h"
#include "app/dialogs/FileDialogs.h"
#include "app/upgrade/UpgradeCheck.h"
#include "platform/QuitSignals.h"

#include "QtTestSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Ends the loop when the quit never comes (a dialog that never showed); the watchdog of the quit
// signals ends the whole test program when the quit came but the loop did not end.
constexpr auto kLoopLimit = std::chrono::seconds(10);
constexpr auto kPollInterval = milliseconds(5);

// Stands in for the main window: its close is the exit path, which saves the playlist.
class CStandInWindow : public QWidget {
public:
    CStandInWindow() { resize(200, 100); }

    int closes = 0;
    // What the exit path does besides; runs inside the close.
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        if (onClose) {
            onClose();
        }
        event->accept();
    }
};

bool SomethingModalIsUp() {
    return QApplication::activeModalWidget() != nullptr ||
           QApplication::activePopupWidget() != nullptr;
}

// Runs the application's loop as the player does: open is queued into it, and once a modal
// dialog or a popup is up (or at once when ready is null) the signal goes to the process.
// Returns the time from the signal to the end of the loop; nothing when the loop ended without
// the signal or not with status 0.
std::optional<milliseconds> RunUntilQuit(CStandInWindow& window, const std::function<void()>& open,
                                         int signal,
                                         const std::function<bool()>& ready = SomethingModalIsUp) {
    CAppQuit quit;
    quit.SetMainWindow(&window);
    const CQuitSignals quitSignals([&quit] { quit.Quit(); });
    window.show();
    std::optional<Clock::time_point> sent;
    QTimer::singleShot(0, &window, open);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sent && (!ready || ready())) {
            sent = Clock::now();
            kill(getpid(), signal);
        }
    });
    poll.start(kPollInterval);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    limit.start(kLoopLimit);
    const int status = QCoreApplication::exec();
    if (!sent || status != 0) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<milliseconds>(Clock::now() - *sent);
}

} // namespace

// Every kind of dialog the player opens, and its menus, end as cancelled: the loop they run ends,
// the main window closes once (its close saves the playlist), and the application's loop returns 0
// well within the quit signals' grace period.
TEST(AppQuitTimed, EndsWhateverDialogOrMenuIsOpen) {
    EnsureTestApplication();
    CQtCenterDialogs centerDialogs;
    struct CCase {
        const char* what;
        int signal;
        // Runs modally; true when the user's answer was yes (accepted, a file, a chosen item).
        std::function<bool(QWidget* owner)> ask;
    };
    const CCase cases[] = {
        {"the open file dialog", SIGTERM,
         [&centerDialogs](QWidget* owner) {
             CFileQuestion question;
             question.multiSelect = true;
             question.owner = owner;
             return !centerDialogs.AskFiles(question).empty();
         }},
        {"the folder dialog", SIGINT,
         [&centerDialogs](QWidget* owner) { return centerDialogs.AskFolder(owner).has_value(); }},
        {"the center's message box", SIGTERM,
         [&centerDialogs](QWidget* owner) {
             centerDialogs.ShowMessage(owner, L"No media file found. Cannot save empty playlist");
             return false;
         }},
        {"a message box without an escape button", SIGTERM,
         [](QWidget* owner) {
             QMessageBox box(QMessageBox::Question, QStringLiteral("QOR"), QStringLiteral("?"),
                             QMessageBox::NoButton, owner);
             const QPushButton* yes = box.addButton(QStringLiteral("Yes"), QMessageBox::AcceptRole);
             box.addButton(QStringLiteral("Also yes"), QMessageBox::AcceptRole);
             box.exec();
             return box.clickedButton() == yes;
         }},
        {"the about dialog", SIGINT,
         [](QWidget* owner) {
             CDlgAbout dialog(L"1.2.3", owner);
             return dialog.exec() == QDialog::Accepted;
         }},
        {"the media information dialog", SIGTERM,
         [](QWidget* owner) {
             CMediaFacts facts;
             facts.path = L"/tmp/clip.mp4";
             CDlgMediaInfo dialog(facts, owner);
             return dialog.exec() == QDialog::Accepted;
         }},
        {"the upgrade dialog", SIGTERM,
         [](QWidget*) {
             CDlgUpgrading dialog(L"qor_setup_9.9.9.exe", L"1.2.3");
             return dialog.exec() == QDialog::Accepted;
         }},
        {"the main menu", SIGTERM,
         [](QWidget* owner) {
             QMenu menu(owner);
             menu.addAction(QStringLiteral("About QOR"));
             return menu.exec(QPoint(10, 10)) != nullptr;
         }},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.what);
        CStandInWindow window;
        std::optional<bool> answer;
        const auto exitTime = RunUntilQuit(
            window, [&] { answer = c.ask(&window); }, c.signal);
        ASSERT_TRUE(exitTime.has_value());
        std::printf("%s: the loop ended %lld ms after the signal\n", c.what,
                    static_cast<long long>(exitTime->count()));
        EXPECT_LT(*exitTime, kQuitGracePeriod);
        ASSERT_TRUE(answer.has_value()) << "the dialog's own loop did not end";
        EXPECT_FALSE(*answer);
        EXPECT_EQ(window.closes, 1);
        EXPECT_FALSE(window.isVisible());
    }
}

// A dialog left open without a loop of its own is told it was cancelled; a dialog the exit path
// itself opens is rejected as soon as its loop runs instead of holding the exit until someone
// answers it.
TEST(AppQuitTimed, RejectsOpenDialogsAndThoseShownWhileTheProgramEnds) {
    EnsureTestApplication();
    CStandInWindow window;
    QDialog modeless(&window);
    std::optional<int> modelessResult;
    QObject::connect(&modeless, &QDialog::finished,
                     [&modelessResult](int result) { modelessResult = result; });
    std::optional<int> duringClose;
    window.onClose = [&duringClose] {
        QDialog dialog;
        duringClose = dialog.exec();
    };
    const auto exitTime = RunUntilQuit(
        window, [&modeless] { modeless.show(); }, SIGTERM,
        [&modeless] { return modeless.isVisible(); });
    ASSERT_TRUE(exitTime.has_value());
    EXPECT_LT(*exitTime, kQuitGracePeriod);
    EXPECT_EQ(modelessResult, QDialog::Rejected);
    EXPECT_FALSE(modeless.isVisible());
    EXPECT_EQ(duringClose, QDialog::Rejected);
    EXPECT_EQ(window.closes, 1);
}

// The upgrade check asks its question from its own thread through the user-interface thread; a
// quit signal while the dialog is up answers "no" at once, so the check's thread can be joined
// within the grace period.
TEST(AppQuitTimed, EndsTheUpgradeQuestionAndItsThread) {
    EnsureTestApplication();
    CStandInWindow window;
    std::jthread check;
    std::atomic<bool> answered{false};
    std::atomic<bool> answer{true};
    const auto exitTime = RunUntilQuit(
        window,
        [&] {
            check = std::jthread([&](std::stop_token stop) {
                answer = AskInstallOnUserInterfaceThread(L"qor_setup_9.9.9.exe", L"1.2.3", stop);
                answered = true;
            });
        },
        SIGTERM, [] { return qobject_cast<CDlgUpgrading*>(QApplication::activeModalWidget()); });
    ASSERT_TRUE(exitTime.has_value());
    const auto start = Clock::now();
    check.request_stop();
    check.join();
    const auto joinTime = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    std::printf("the loop ended %lld ms after the signal, the check joined %lld ms later\n",
                static_cast<long long>(exitTime->count()),
                static_cast<long long>(joinTime.count()));
    EXPECT_TRUE(answered);
    EXPECT_FALSE(answer);
    EXPECT_LT(*exitTime + joinTime, kQuitGracePeriod);
}
