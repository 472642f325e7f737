// The full-screen toolbar over a real control center playing a generated clip: the state it reads
// on each creation, its controls, the hold of a hovered seek time, the volume, and repeated
// showing and hiding.
#include "app/fullscreen/FullScreenToolbar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "MediaFixture.h"
#include "QtTestSupport.h"
#include "app/PlayerControls.h"
#include "app/TimeLabelText.h"
#include "core/WideText.h"
#include "playlist/ControlCenter.h"
#include "skin/SkinWnd.h"
#include "skin/list/SkinList.h"
#include "skin/screen/SkinScreen.h"
#include "support/FullScreenShot.h"

using namespace std::chrono_literals;

namespace {

constexpr int kClipSeconds = 20;

std::wstring Clip() {
    return Utf8ToWide(
        MakeMedia("fullscreen_testsrc2_160x120_r25_20s_sine.mkv",
                  {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=20", "-f", "lavfi", "-i",
                   "sine=f=440:sample_rate=44100:d=20", "-c:v", "mpeg4", "-c:a", "mp2"}));
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint point, Qt::MouseButton button) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
    QMouseEvent event(type, point, widget.mapToGlobal(point), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Click(QWidget& widget) {
    const QPoint centre = widget.rect().center();
    SendMouse(widget, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, centre, Qt::LeftButton);
}

void Hover(QWidget& widget, QPoint point) {
    SendMouse(widget, QEvent::MouseMove, point, Qt::NoButton);
}

void TurnWheel(QWidget& widget, int delta) {
    const QPointF point = widget.rect().center();
    QWheelEvent event(point, widget.mapToGlobal(point), {}, {0, delta}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

// The main window's view as the radios set it, with every change it was asked for.
struct CViewRecord : IFullScreenView {
    bool IsPlaylistViewShown() const override { return playlist; }
    void ShowPlaylistView(bool shown) override {
        playlist = shown;
        asked.push_back(shown);
    }
    bool playlist = false;
    std::vector<bool> asked;
};

// The main window's parts the toolbar uses, a control center on the real engine, and the toolbar;
// its own data and settings folders.
struct CToolbarHost : CTestApplicationUser {
    explicit CToolbarHost(
        CToolbarWindow::EPlacement where = CToolbarWindow::EPlacement::ScreenBottom)
        : placement(where) {
        setenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8().constData(), 1);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/config");
        screen.Create(&mainWindow, 5, 25, -165, -40);
        list.Create(&mainWindow, -150, 45, -5, -40);
        mainWindow.AddChild(&screen);
        mainWindow.AddChild(&list);
        mainWindow.Create(QRect(0, 0, 640, 480));
        center.SetMainWindow(&mainWindow);
        center.Initialise(&screen, &list, 100);
    }
    ~CToolbarHost() {
        toolbar.Destroy();
        center.Reset();
        center.Close();
    }

    std::wstring State() const {
        std::wstring name;
        center.GetController().GetStateName(name);
        return name;
    }
    CPlaybackController& Controller() { return center.GetController(); }
    // Plays the clip until its position has reached `seconds`.
    void PlayClipTo(double seconds) {
        center.AddFile(Clip());
        center.Play();
        ASSERT_TRUE(PumpUntil(
            [&] { return State() == L"Playing" && Controller().GetPosition() >= seconds; }));
    }
    // The main window at full screen, its video view and the bar over its bottom, as one picture.
    void SaveFullScreenPicture(const QString& name) {
        if (qEnvironmentVariableIsEmpty("QOR_SCREENSHOT_DIR")) {
            return;
        }
        // As the main window lays itself out in full screen: the screen over all of it.
        const QRect area = QGuiApplication::primaryScreen()->geometry();
        mainWindow.setGeometry(area);
        list.hide();
        screen.setGeometry(mainWindow.rect());
        screen.SetVideoWindow(center.GetController().GetEngine().GetWindowHandle());
        screen.SetVideoSize({160, 120});
        screen.ResizeScreen(CPixelSize::From(area.size()));
        PumpFor(500ms);
        QPixmap canvas = mainWindow.grab();
        QPainter painter(&canvas);
        painter.drawPixmap(0, area.height() - CToolbarWindow::kHeight, toolbar.Window()->grab());
        painter.end();
        canvas.save(qEnvironmentVariable("QOR_SCREENSHOT_DIR") + "/" + name + ".png");
    }

    QTemporaryDir dir;
    CSkinWnd mainWindow;
    CSkinScreen screen;
    CSkinList list;
    mutable CControlCenter center;
    CPlayerControls controls{center};
    CViewRecord view;
    CToolbarWindow::EPlacement placement;
    CFullScreenToolbar toolbar{center, controls, mainWindow, view, placement};
};

} // namespace

TEST(FullScreenToolbar, EachCreationReadsThePlaybackStateAndTheControlsDriveTheCenter) {
    CToolbarHost host;
    host.PlayClipTo(1);
    host.toolbar.Create();
    CToolbarWindow* bar = host.toolbar.Window();
    ASSERT_NE(bar, nullptr);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(bar->geometry(), QRect(screen.left(), screen.bottom() - 39, screen.width(), 40));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->Seek().geometry(), QRect(1, 0, screen.width() - 2, 12));
    EXPECT_EQ(bar->PlaylistView().geometry(), QRect(screen.width() - 45, 10, 20, 20));
    EXPECT_EQ(bar->VideoView().geometry(), QRect(screen.width() - 25, 10, 20, 20));
    EXPECT_EQ(CutOffParts(*bar), QStringList());

    // Playing: the pause look, the position and duration read from the controller.
    EXPECT_EQ(bar->Play().GetPlayState(), EPlayState::Playing);
    EXPECT_TRUE(bar->Play().GetCheck());
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Pause");
    EXPECT_TRUE(bar->Seek().isEnabled());
    EXPECT_EQ(bar->Seek().GetRangeMax(), kClipSeconds);
    EXPECT_GE(bar->Seek().GetPos(), 1);
    EXPECT_TRUE(bar->TimeLabel().isVisible());
    EXPECT_EQ(bar->TimeLabel().GetText(), TimeLabelText(bar->Seek().GetPos(), kClipSeconds));
    EXPECT_EQ(bar->TimeLabel().GetText().substr(5), L"/00:20") << "the duration as a clock";
    EXPECT_TRUE(bar->VideoView().GetCheck());
    EXPECT_EQ(host.view.asked, std::vector<bool>{false});
    SaveScreenshot(*bar, QStringLiteral("toolbar-playing"));
    host.SaveFullScreenPicture(QStringLiteral("fullscreen-with-toolbar"));

    // The bar's Play pauses; a bar made while paused shows the play look.
    Click(bar->Play());
    ASSERT_TRUE(PumpUntil([&] { return host.State() == L"Paused"; }));
    EXPECT_EQ(bar->Play().GetPlayState(), EPlayState::Paused);
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Play");
    host.toolbar.Destroy();
    EXPECT_FALSE(host.toolbar.IsShown());
    host.toolbar.Create();
    bar = host.toolbar.Window();
    EXPECT_EQ(bar->Play().GetPlayState(), EPlayState::Paused);
    EXPECT_FALSE(bar->Play().GetCheck());
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Play");
    SaveScreenshot(*bar, QStringLiteral("toolbar-paused"));

    Click(bar->Mute());
    EXPECT_EQ(host.Controller().GetMute(), 1);
    EXPECT_TRUE(bar->Mute().GetCheck());
    Click(bar->Mute());
    EXPECT_EQ(host.Controller().GetMute(), 0);
    EXPECT_FALSE(bar->Mute().GetCheck());

    // The view radios ask the main window for its views; a bar made again shows the view the
    // window keeps.
    host.view.asked.clear();
    Click(bar->PlaylistView());
    EXPECT_TRUE(bar->PlaylistView().GetCheck());
    EXPECT_FALSE(bar->VideoView().GetCheck());
    host.toolbar.Destroy();
    host.toolbar.Create();
    bar = host.toolbar.Window();
    EXPECT_TRUE(bar->PlaylistView().GetCheck());
    EXPECT_FALSE(bar->VideoView().GetCheck());
    Click(bar->VideoView());
    EXPECT_TRUE(bar->VideoView().GetCheck());
    EXPECT_EQ(host.view.asked, (std::vector<bool>{true, true, false}));

    // The seek slider seeks; Stop stops while playing, hides the time and names the click the
    // button now offers.
    Click(bar->Play());
    ASSERT_TRUE(PumpUntil([&] { return host.State() == L"Playing"; }));
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Pause");
    Hover(bar->Seek(), {bar->Seek().width() / 2, 6});
    SendMouse(bar->Seek(), QEvent::MouseButtonPress, {bar->Seek().width() / 2, 6}, Qt::LeftButton);
    SendMouse(bar->Seek(), QEvent::MouseButtonRelease, {bar->Seek().width() / 2, 6},
              Qt::LeftButton);
    EXPECT_NEAR(host.Controller().GetPosition(), kClipSeconds / 2, 1.5);
    Click(bar->Stop());
    ASSERT_TRUE(PumpUntil([&] { return host.State() == L"Stopped"; }));
    EXPECT_EQ(bar->Play().GetPlayState(), EPlayState::Stopped);
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Play");
    EXPECT_FALSE(bar->TimeLabel().isVisible());
    EXPECT_FALSE(bar->Seek().isEnabled());
    EXPECT_EQ(bar->Seek().GetPos(), 0);
}

TEST(FullScreenToolbar, HoveredSeekTimeHoldsTheLabelForThreeSecondsThenPositionsResume) {
    CToolbarHost host;
    host.PlayClipTo(1);
    host.toolbar.Create();
    CSkinSlider& seek = host.toolbar.Window()->Seek();
    CSkinString& label = host.toolbar.Window()->TimeLabel();

    Hover(seek, {seek.width() * 3 / 4, 6});
    const auto hovered = std::chrono::steady_clock::now();
    const std::wstring held = label.GetText();
    const int positionAtHover = seek.GetPos();
    EXPECT_EQ(held, TimeLabelText(kClipSeconds * 3 / 4, kClipSeconds));

    PumpFor(2500ms);
    EXPECT_GT(seek.GetPos(), positionAtHover) << "positions kept arriving";
    EXPECT_EQ(label.GetText(), held);

    ASSERT_TRUE(PumpUntil([&] { return label.GetText() != held; }, 3s));
    EXPECT_GE(std::chrono::steady_clock::now() - hovered, 3000ms);
    EXPECT_EQ(label.GetText(), TimeLabelText(seek.GetPos(), kClipSeconds));
}

TEST(FullScreenToolbar, VolumeFollowsTheControllerTheSliderAndTheWheel) {
    CToolbarHost host;
    host.Controller().SetVolume(50);
    host.toolbar.Create();
    CToolbarWindow* bar = host.toolbar.Window();
    EXPECT_EQ(bar->Volume().GetPos(), 50);

    // A change made elsewhere (the main window's wheel or keys) reaches the bar.
    host.Controller().SetVolume(35);
    EXPECT_EQ(bar->Volume().GetPos(), 35);

    // The wheel over the bar (the controls hand theirs on): 5 per notch, within 0..100; the
    // small turns of a fine wheel add up to notches, and a sideways turn does nothing.
    TurnWheel(*bar, 120);
    EXPECT_EQ(host.Controller().GetVolume(), 40);
    EXPECT_EQ(bar->Volume().GetPos(), 40);
    TurnWheel(*bar, -240);
    EXPECT_EQ(host.Controller().GetVolume(), 30);
    host.Controller().SetVolume(98);
    TurnWheel(*bar, 120);
    EXPECT_EQ(host.Controller().GetVolume(), 100);
    TurnWheel(*bar, -15);
    EXPECT_EQ(host.Controller().GetVolume(), 100);
    for (int turn = 0; turn < 7; ++turn) {
        TurnWheel(*bar, -15);
    }
    EXPECT_EQ(host.Controller().GetVolume(), 95);
    TurnWheel(*bar, 0);
    TurnWheel(*bar, 15);
    EXPECT_EQ(host.Controller().GetVolume(), 95);
    TurnWheel(*bar, -15); // back to a whole notch
    host.Controller().SetVolume(3);
    TurnWheel(*bar, -120);
    EXPECT_EQ(host.Controller().GetVolume(), 0);

    // The volume slider sets it; once hidden, the bar answers nothing and the next one reads it.
    SendMouse(bar->Volume(), QEvent::MouseButtonPress, {bar->Volume().width() - 1, 6},
              Qt::LeftButton);
    SendMouse(bar->Volume(), QEvent::MouseButtonRelease, {bar->Volume().width() - 1, 6},
              Qt::LeftButton);
    EXPECT_EQ(host.Controller().GetVolume(), 100);
    host.toolbar.Destroy();
    host.Controller().SetVolume(20);
    host.toolbar.Create();
    EXPECT_EQ(host.toolbar.Window()->Volume().GetPos(), 20);
}

TEST(FullScreenToolbar, ShowingAndHidingAHundredTimesWhilePlayingLeavesNoSubscriptionBehind) {
    CToolbarHost host;
    host.PlayClipTo(0.5);
    CPlaybackController& controller = host.Controller();
    host.toolbar.Create();
    const std::size_t onControls = host.controls.CountSubscriptions(&host.toolbar);
    EXPECT_GT(onControls, 0U);

    int leftHidden = 0; // rounds whose hidden bar was still subscribed somewhere
    for (int round = 0; round < 100; ++round) {
        host.toolbar.Destroy();
        if (host.controls.CountSubscriptions(&host.toolbar) != 0) {
            ++leftHidden;
        }
        host.toolbar.Create();
        PumpFor(5ms);
    }
    EXPECT_EQ(leftHidden, 0);
    EXPECT_EQ(host.controls.CountSubscriptions(&host.toolbar), onControls);
    // Hidden bars are deleted from the event loop (which PumpFor does not run to its end).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(host.mainWindow.findChildren<CToolbarWindow*>().size(), 1);

    // Each media event reaches an observer of the center once, and the bar only while shown.
    CEventLog log;
    log.Watch(host.center, {L"MediaPaused", L"MediaPlaying"});
    host.toolbar.Destroy();
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"MediaPaused") == 1; }));
    host.toolbar.Create();
    CToolbarWindow* bar = host.toolbar.Window();
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Play");
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"MediaPlaying") == 1; }));
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Pause");
    PumpFor(600ms);
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"MediaPaused", L"MediaPlaying"}));
    EXPECT_EQ(bar->TimeLabel().GetText(), TimeLabelText(bar->Seek().GetPos(), kClipSeconds));

    // A main window that goes first takes its bar with it; the toolbar still leaves the controls.
    auto* shortLived = new CSkinWnd;
    CFullScreenToolbar orphan(host.center, host.controls, *shortLived, host.view,
                              CToolbarWindow::EPlacement::ScreenBottom);
    orphan.Create();
    delete shortLived;
    EXPECT_FALSE(orphan.IsShown());
    controller.SetVolume(30);
    orphan.Destroy();
    EXPECT_EQ(host.controls.CountSubscriptions(&orphan), 0U);
}

// Where the compositor places every window, the bar is drawn inside the main window over its
// bottom edge: it follows the window's size, its controls drive the center as the window's do,
// and the pointer's presses on it stay with it.
TEST(FullScreenToolbar, InsideTheMainWindowItHoldsItsBottomEdgeAndItsClicks) {
    CToolbarHost host(CToolbarWindow::EPlacement::InsideMainWindow);
    host.PlayClipTo(0.5);
    host.toolbar.Create();
    CToolbarWindow* bar = host.toolbar.Window();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isWindow());
    EXPECT_EQ(bar->parentWidget(), &host.mainWindow);
    EXPECT_EQ(bar->geometry(), QRect(0, 440, 640, CToolbarWindow::kHeight));
    EXPECT_TRUE(bar->isVisible());
    // Above the video screen, which reaches down to 40 pixels above the window's bottom.
    host.screen.setGeometry(host.mainWindow.rect());
    EXPECT_TRUE(bar->isAncestorOf(host.mainWindow.childAt(320, 460)) ||
                host.mainWindow.childAt(320, 460) == bar);

    host.mainWindow.resize(800, 600);
    EXPECT_EQ(bar->geometry(), QRect(0, 560, 800, CToolbarWindow::kHeight));
    EXPECT_EQ(bar->Seek().geometry(), QRect(1, 0, 798, 12));

    // A double click on the bar's own background never reaches the main window, where it would
    // toggle full screen.
    struct CDoubleClicks : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::MouseButtonDblClick ? 1 : 0;
            return false;
        }
        int count = 0;
    } doubleClicks;
    host.mainWindow.installEventFilter(&doubleClicks);
    SendMouse(*bar, QEvent::MouseButtonDblClick, {260, 30}, Qt::LeftButton);
    host.mainWindow.removeEventFilter(&doubleClicks);
    EXPECT_EQ(doubleClicks.count, 0);

    Click(bar->Play());
    ASSERT_TRUE(PumpUntil([&] { return host.State() == L"Paused"; }));
    EXPECT_EQ(bar->Play().GetTooltipText(), L"Play");
    host.toolbar.Destroy();
    EXPECT_FALSE(bar->isVisible());
}
