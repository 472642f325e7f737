// The main window on the offscreen platform, over a real control center and engine, with its own
// data folder; media made at test time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include "MediaFixture.h"
#include "QtTestSupport.h"
#include "app/dialogs/DlgAbout.h"
#include "app/fullscreen/ToolbarWindow.h"
#include "app/main/MainCommands.h"
#include "app/main/MainWnd.h"
#include "app/main/MenuRender.h"
#include "app/startup/AppEvents.h"
#include "core/AppFolder.h"
#include "core/WideText.h"
#include "playlist/ControlCenter.h"
#include "playlist/PlaylistFile.h"

namespace {

using namespace std::chrono_literals;

// Each window gets its own data and settings folders, so playlists never leak between tests.
struct CDataHome {
    CDataHome() {
        setenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8().constData(), 1);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/config");
    }
    QTemporaryDir dir;
};

// Answers every question with "cancel" and counts them: a test that sees a count ran a command
// it did not mean to.
class CCountingDialogs : public ICenterDialogs {
public:
    std::vector<std::wstring> AskFiles(const CFileQuestion&) override {
        ++asked;
        return {};
    }
    std::optional<std::wstring> AskFolder(QWidget*) override {
        ++asked;
        return std::nullopt;
    }
    void ShowMessage(QWidget*, const std::wstring&) override { ++asked; }
    int asked = 0;
};

struct CMainHost : CTestApplicationUser {
    CMainHost() {
        EXPECT_TRUE(window.CreateMainWindow());
        application.Raise(AppEvents::Initial, 0, 0);
        center.SetDialogs(&dialogs);
    }
    ~CMainHost() { window.close(); }

    void Resize(QSize size) {
        window.resize(size);
        EXPECT_TRUE(PumpUntil([&] { return window.size() == size; }, 2s));
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
    }
    static void Mouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), QPointF(target.mapToGlobal(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }
    static void Click(QWidget& target) {
        const QPoint middle(target.width() / 2, target.height() / 2);
        Mouse(target, QEvent::MouseButtonPress, middle, Qt::LeftButton);
        Mouse(target, QEvent::MouseButtonRelease, middle, Qt::NoButton);
    }
    // x of the left edge and of the first pixel right of it, in the window.
    static std::pair<int, int> Span(const QWidget& control) {
        return {control.geometry().left(), control.geometry().right() + 1};
    }
    std::wstring DurationText(int row) {
        QAbstractItemModel* model = window.Playlist().List().model();
        return model->index(row, 1).data().toString().toStdWString();
    }

    CDataHome home;
    CCountingDialogs dialogs;
    ISubject application;
    CControlCenter center;
    CMainWnd window{center, application, CreateNullScreenSaverInhibitor()};
};

// 30 s of 640 x 480 picture, two sound tracks and a text subtitle track, with a subtitle file
// beside it that the engine finds by name.
std::wstring TwoTrackClip() {
    const std::string subtitles = WriteFixtureFile(
        "main_window_cues.srt", "1\n00:00:00,000 --> 00:00:30,000\nThe inner subtitle\n\n");
    const std::string clip = MakeMedia(
        "main_window_640x480_2a_1s.mkv",
        {"-f",      "lavfi",     "-i",       "testsrc2=size=640x480:rate=10:duration=30",
         "-f",      "lavfi",     "-i",       "sine=frequency=440:sample_rate=44100:duration=30",
         "-f",      "lavfi",     "-i",       "sine=frequency=660:sample_rate=44100:duration=30",
         "-i",      subtitles,   "-map",     "0:v",
         "-map",    "1:a",       "-map",     "2:a",
         "-map",    "3:s",       "-c:v",     "libx264",
         "-preset", "ultrafast", "-pix_fmt", "yuv420p",
         "-c:a",    "aac",       "-c:s",     "srt"});
    WriteFixtureFile("main_window_640x480_2a_1s.srt",
                     "1\n00:00:00,000 --> 00:00:30,000\nThe outer subtitle\n\n");
    return Utf8ToWide(clip);
}

std::vector<std::wstring> Captions(const std::vector<CMenuItem>& items) {
    std::vector<std::wstring> captions;
    for (const CMenuItem& item : items) {
        captions.push_back(item.caption + (item.checked ? L" (o)" : L""));
    }
    return captions;
}

void SaveScreenshot(QWidget& widget, const char* name) {
    QDir().mkpath(QOR_TEST_WORK_DIR);
    const QString path = QString(QOR_TEST_WORK_DIR) + "/" + name + "_x" +
                         QString::number(widget.devicePixelRatioF()) + ".png";
    EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

} // namespace

TEST(MainWnd, LayoutSplitterWheelDropsUpgradeAndClose) {
    CMainHost host;
    int upgradeChecks = 0;
    host.window.SetUpgradeCheck([&] { ++upgradeChecks; });
    host.Resize({1000, 600});
    CMainWnd& window = host.window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Zelia Media Player"));
    EXPECT_EQ(window.minimumSize(), MinTrackSize(QGuiApplication::primaryScreen()->size()));
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 832));
    EXPECT_EQ(CMainHost::Span(window.Splitter()), std::make_pair(832, 842));
    EXPECT_EQ(CMainHost::Span(window.Playlist()), std::make_pair(842, 995));
    EXPECT_EQ(window.SeekSlider().geometry(), QRect(5, 560, 990, 12));
    EXPECT_EQ(window.TitleLabel().geometry(), QRect(75, 3, 825, 19));
    EXPECT_FALSE(window.SeekSlider().isEnabled());
    EXPECT_FALSE(window.TimeLabel().isVisible());

    // Dragged far left: the bar stops at its minimum, the box is checked, the width stored
    // for the box is the default again.
    CSkinSizer& splitter = window.Splitter();
    const QPoint press(5, 20);
    CMainHost::Mouse(splitter, QEvent::MouseButtonPress, press, Qt::LeftButton);
    for (const int x : {-300, -536, -700}) {
        CMainHost::Mouse(splitter, QEvent::MouseMove, {x, 20}, Qt::LeftButton);
    }
    CMainHost::Mouse(splitter, QEvent::MouseButtonRelease, {-700, 20}, Qt::NoButton);
    EXPECT_TRUE(splitter.IsBoxChecked());
    EXPECT_EQ(window.PlaylistWidth(), 158);
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 290));

    // The box: cleared, the stored width; checked, the playlist collapses.
    CMainHost::Click(splitter.Box());
    EXPECT_FALSE(splitter.IsBoxChecked());
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 832));
    CMainHost::Click(splitter.Box());
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 985));
    EXPECT_EQ(window.Playlist().width(), 0);

    // A drag begun on the bar's leftmost pixel and dropped mid-window is an ordinary one: the
    // box clears and the width is kept for the next time the box is cleared.
    CMainHost::Mouse(splitter, QEvent::MouseButtonPress, {0, 20}, Qt::LeftButton);
    CMainHost::Mouse(splitter, QEvent::MouseMove, {-400, 20}, Qt::LeftButton);
    CMainHost::Mouse(splitter, QEvent::MouseButtonRelease, {-400, 20}, Qt::NoButton);
    EXPECT_FALSE(splitter.IsBoxChecked());
    EXPECT_EQ(window.PlaylistWidth(), 415);
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 575));
    CMainHost::Click(splitter.Box());
    CMainHost::Click(splitter.Box());
    EXPECT_EQ(CMainHost::Span(window.Screen()), std::make_pair(5, 575));

    host.center.GetController().SetVolume(98);
    EXPECT_EQ(window.VolumeSlider().GetPos(), 98);
    const auto wheel = [&](int delta) {
        const QPointF at(500, 300);
        QWheelEvent event(at, window.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &event);
    };
    wheel(120);
    EXPECT_EQ(window.VolumeSlider().GetPos(), 100);
    EXPECT_EQ(host.center.GetController().GetVolume(), 100);
    wheel(-60);
    EXPECT_EQ(host.center.GetController().GetVolume(), 100);
    wheel(-60);
    EXPECT_EQ(host.center.GetController().GetVolume(), 95);

    // Dropped files: a plain drop replaces the playlist, a drop with Ctrl held appends.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/m/one.mp4"), QUrl::fromLocalFile("/m/two.mp4")});
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    const auto drop = [&](Qt::KeyboardModifiers modifiers) {
        const QPointF at(500, 300);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at.toPoint(), actions, &files, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&window, &enter);
        QDropEvent event(at, actions, &files, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&window, &event);
    };
    drop(Qt::NoModifier);
    EXPECT_EQ(window.Playlist().GetItemCount(), 2);
    drop(Qt::ControlModifier);
    EXPECT_EQ(window.Playlist().GetItemCount(), 4);
    host.center.Reset();
    host.center.ClearPlaylist();

    // Timer 2 has fired once by now; "&Exit" closes through the one shut-down path, which
    // saves the (empty) default playlist once.
    EXPECT_TRUE(PumpUntil([&] { return upgradeChecks == 1; }));
    const QString saved = QString::fromStdWString(CAppFolder().GetDefaultPlaylist());
    EXPECT_FALSE(QFile::exists(saved));
    window.RunCommand(MainCommands::Exit);
    EXPECT_TRUE(PumpUntil([&] { return !window.isVisible(); }));
    EXPECT_TRUE(QFile::exists(saved));
    QFile::remove(saved);
    window.close();
    EXPECT_FALSE(QFile::exists(saved));
    EXPECT_EQ(upgradeChecks, 1);
}

// One run over a loaded clip: fitting to the source, the labels, the menus of a clip with two
// sound tracks and subtitles, every key, full screen and the screen saver.
TEST(MainWnd, LoadedClipFitsKeysMenusAndScreenSaver) {
    const std::wstring clip = TwoTrackClip();
    ASSERT_FALSE(clip.empty());
    CMainHost host;
    CMainWnd& window = host.window;
    CPlaybackController& controller = host.center.GetController();
    const QSize before = window.size();
    window.RunCommand(MainCommands::WindowSizeFitSource);
    EXPECT_EQ(window.size(), before); // nothing loaded, nothing to fit

    host.center.AddPaths({clip, clip, clip}, false);
    ASSERT_TRUE(
        PumpUntil([&] { return window.PlayButton().GetPlayState() == EPlayState::Playing; }));
    EXPECT_TRUE(PumpUntil([&] { return window.Screen().size() == QSize(640, 480); }, 2s))
        << window.Screen().width() << "x" << window.Screen().height();
    EXPECT_EQ(window.PlayButton().GetTooltipText(), L"Pause");
    EXPECT_TRUE(window.TitleLabel().isVisible());
    EXPECT_EQ(window.TitleLabel().GetText(), L"main_window_640x480_2a_1s.mkv");
    EXPECT_TRUE(window.SeekSlider().isEnabled());
    EXPECT_EQ(window.SeekSlider().GetRangeMax(), 30);
    EXPECT_EQ(host.DurationText(0), L"1m");
    EXPECT_TRUE(PumpUntil([&] { return window.TimeLabel().GetText() == L"00:01/00:30"; }));
    EXPECT_TRUE(window.IsScreenSaverHeld());

    const CMenuState state = window.MenuState();
    EXPECT_TRUE(state.loaded);
    const std::vector<CMenuItem> menu = MainMenu(state);
    EXPECT_TRUE(menu[7].enabled);
    EXPECT_EQ(Captions(menu[7].submenu),
              (std::vector<std::wstring>{L"Dubbing 1 (o)", L"Dubbing 2"}));
    EXPECT_EQ(menu[7].submenu[1].id, 16402);
    EXPECT_TRUE(PumpUntil([&] { return window.MenuState().currentSubtitleFile != L""; }));
    EXPECT_EQ(Captions(MainMenu(window.MenuState())[9].submenu),
              (std::vector<std::wstring>{
                  L"&No Internal Subtitle", L"Subtitle 1 (o)", L"", L"&No External Subtitle",
                  L"main_window_640x480_2a_1s.srt (o)", L"&Load External Subtitle..."}));
    EXPECT_TRUE(menu[menu.size() - 3].enabled); // "Media &Info"

    // Keys: pause, seek, volume.
    host.Key(Qt::Key_Space);
    ASSERT_TRUE(
        PumpUntil([&] { return window.PlayButton().GetPlayState() == EPlayState::Paused; }));
    EXPECT_TRUE(window.IsScreenSaverHeld());
    host.Key(Qt::Key_Right);
    EXPECT_NEAR(controller.GetPosition(), 11, 1.01);
    host.Key(Qt::Key_Left);
    EXPECT_NEAR(controller.GetPosition(), 1, 1.01);
    const int volume = controller.GetVolume();
    host.Key(Qt::Key_Up);
    EXPECT_EQ(window.VolumeSlider().GetPos(), volume + 5);
    host.Key(Qt::Key_Down);
    EXPECT_EQ(controller.GetVolume(), volume);

    // Full screen and back: the screen fills the window, then everything returns.
    const QRect normal = window.geometry();
    host.Key(Qt::Key_Return);
    EXPECT_TRUE(window.IsFullScreen());
    EXPECT_TRUE(PumpUntil([&] { return window.geometry() == window.screen()->geometry(); }, 2s));
    EXPECT_EQ(window.Screen().geometry(), window.rect());
    EXPECT_EQ(window.Playlist().size(), QSize(0, 0));
    EXPECT_EQ(MainMenu(window.MenuState())[4].id, MainCommands::NormalWindow);
    EXPECT_FALSE(MainMenu(window.MenuState())[5].submenu[6].enabled);
    host.Key(Qt::Key_Escape);
    EXPECT_FALSE(window.IsFullScreen());
    EXPECT_TRUE(PumpUntil([&] { return window.geometry() == normal; }, 2s));
    EXPECT_EQ(window.Screen().size(), QSize(640, 480));

    // Navigation: the row moves at once and loads after the delay.
    CSkinList& list = window.Playlist();
    host.Key(Qt::Key_PageDown);
    EXPECT_EQ(list.GetActiveItem(), 1);
    EXPECT_TRUE(PumpUntil([&] { return host.DurationText(1) == L"1m"; }));
    EXPECT_TRUE(
        PumpUntil([&] { return window.PlayButton().GetPlayState() == EPlayState::Playing; }));
    host.Key(Qt::Key_End);
    EXPECT_EQ(list.GetActiveItem(), 2);
    host.Key(Qt::Key_PageUp);
    EXPECT_EQ(list.GetActiveItem(), 1);
    host.Key(Qt::Key_Home);
    EXPECT_EQ(list.GetActiveItem(), 0);
    EXPECT_TRUE(PumpUntil([&] { return host.DurationText(0) == L"1m" && controller.IsLoaded(); }));

    // Fitting again after the window was resized by hand.
    window.RunCommand(MainCommands::WindowSizeFixed);
    host.Resize({900, 700});
    window.RunCommand(MainCommands::WindowSizeFitSource);
    EXPECT_TRUE(PumpUntil([&] { return window.Screen().size() == QSize(640, 480); }, 2s));
    EXPECT_TRUE(
        PumpUntil([&] { return window.PlayButton().GetPlayState() == EPlayState::Playing; }));
    PumpFor(500ms);
    SaveScreenshot(window, "main_window_playing");
    QMenu mainMenu(&window);
    RenderMenu(mainMenu, MainMenu(window.MenuState()), [](const CMenuItem&) {});
    mainMenu.popup(window.mapToGlobal(QPoint(7, 17)));
    QMenu* video = mainMenu.actions()[5]->menu();
    video->popup(window.mapToGlobal(QPoint(7 + mainMenu.width(), 17)));
    PumpFor(100ms);
    SaveScreenshot(mainMenu, "main_menu");
    SaveScreenshot(*video, "main_menu_video");
    video->close();
    mainMenu.close();

    // The playlist emptied under the playing clip frees its items; the window keeps its own
    // copy of the clip's details, so fitting and the menus still have them.
    host.center.ClearPlaylist();
    window.RunCommand(MainCommands::WindowSizeFixed);
    host.Resize({900, 700});
    window.RunCommand(MainCommands::WindowSizeFitSource);
    EXPECT_TRUE(PumpUntil([&] { return window.Screen().size() == QSize(640, 480); }, 2s));
    EXPECT_EQ(window.MenuState().subtitleFiles.size(), 1u);
    host.center.AddPaths({clip, clip, clip}, false);
    ASSERT_TRUE(
        PumpUntil([&] { return window.PlayButton().GetPlayState() == EPlayState::Playing; }));

    // Stopping lets the screen saver run again; closing saves the playlist and stops.
    host.center.Reset();
    EXPECT_TRUE(PumpUntil([&] { return !window.IsScreenSaverHeld(); }));
    EXPECT_FALSE(window.TimeLabel().isVisible());
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return window.IsScreenSaverHeld(); }));
    window.close();
    EXPECT_FALSE(window.IsScreenSaverHeld());
    EXPECT_EQ(controller.IsLoaded(), 0);
    std::vector<std::wstring> saved;
    ASSERT_TRUE(ReadPlaylistFile(CAppFolder().GetDefaultPlaylist(),
                                 [&](const std::wstring& line) { saved.push_back(line); }));
    EXPECT_EQ(saved, (std::vector<std::wstring>{clip, clip, clip}));
}

// A 42nd playlist file gets the id of "Add &Files"; every entry still opens its own file.
TEST(MainWnd, FiftyPlaylistFilesEachOpenTheirOwn) {
    CMainHost host;
    const std::wstring folder = CAppFolder().GetPlaylistsFolder();
    QDir().mkpath(QString::fromStdWString(folder));
    constexpr int kFiles = 50;
    for (int i = 1; i <= kFiles; ++i) {
        const QString name = QString::asprintf("list_%02d", i);
        ASSERT_TRUE(WritePlaylistFile(folder + name.toStdWString() + L".mpl",
                                      {L"/m/" + name.toStdWString() + L".mp4"}));
    }
    QMenu menu;
    RenderMenu(menu, PlaylistFilesMenu(host.window.MenuState()),
               [&](const CMenuItem& item) { host.window.RunMenuItem(item); });
    int opened = 0;
    for (QAction* action : menu.actions()) {
        if (!action->text().startsWith("list_")) {
            continue;
        }
        action->trigger();
        ++opened;
        const std::wstring expected = L"/m/" + action->text().toStdWString() + L".mp4";
        ASSERT_EQ(host.window.Playlist().GetItemCount(), 1) << action->text().toStdString();
        EXPECT_EQ(host.window.Playlist().GetItemData(0)->path, expected);
    }
    EXPECT_EQ(opened, kFiles);
    EXPECT_EQ(host.dialogs.asked, 0);
}

// The Delete key in the playlist deletes as "Delete &Selected" does: the same rows go, the active
// index stays, the center frees the rows' records and the columns fit the list again.
TEST(MainWnd, DeleteKeyInThePlaylistDeletesAsTheMenuDoes) {
    CMainHost host;
    CSkinList& list = host.window.Playlist();
    CListCtrlApp& view = list.List();
    struct CAfter {
        std::vector<std::wstring> titles;
        int active;
        std::size_t records;
        int columns;
    };
    const auto deleteRows = [&](const std::function<void()>& remove) {
        host.center.ClearPlaylist();
        for (int i = 0; i < 40; ++i) {
            host.center.AddFile(L"/m/clip" + std::to_wstring(i) + L".mp4");
        }
        EXPECT_TRUE(PumpUntil([&] { return view.verticalScrollBar()->isVisible(); }, 2s));
        list.SetActiveItem(30);
        view.selectionModel()->select(
            QItemSelection(view.model()->index(0, 0), view.model()->index(34, 1)),
            QItemSelectionModel::ClearAndSelect);
        remove();
        EXPECT_TRUE(PumpUntil([&] { return !view.verticalScrollBar()->isVisible(); }, 2s));
        CAfter after{{}, list.GetActiveItem(), host.center.GetItemRecordCount(), 0};
        for (int row = 0; row < list.GetItemCount(); ++row) {
            after.titles.push_back(list.GetItemText(row));
        }
        after.columns = view.columnWidth(0) + view.columnWidth(1);
        return after;
    };

    const CAfter byMenu = deleteRows([&] { host.window.RunCommand(MainCommands::DeleteSelected); });
    const CAfter byKey = deleteRows([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
    });
    EXPECT_EQ(byKey.titles, byMenu.titles);
    ASSERT_EQ(byKey.titles.size(), 5u);
    EXPECT_EQ(byKey.titles.front(), L"clip35.mp4");
    EXPECT_EQ(byKey.active, byMenu.active);
    EXPECT_EQ(byMenu.records, 5u);
    EXPECT_EQ(byKey.records, 5u);
    EXPECT_EQ(byMenu.columns, view.viewport()->width());
    EXPECT_EQ(byKey.columns, view.viewport()->width());
}

// Full screen driven as a user does it: the toolbar's playlist radio puts the playlist beside the
// video until full screen ends, pointer moves over that playlist count as moves, and a dialog
// opened from the menu keeps the pointer for as long as it is open.
TEST(MainWnd, FullScreenViewsAndThePointerOverADialog) {
    CMainHost host;
    CMainWnd& window = host.window;
    host.center.AddPaths({L"/m/one.mp4", L"/m/two.mp4"}, true);
    const std::pair<int, int> normalScreen = CMainHost::Span(window.Screen());
    host.Key(Qt::Key_Return);
    ASSERT_TRUE(window.IsFullScreen());
    const QRect whole = window.screen()->geometry();
    ASSERT_TRUE(PumpUntil([&] { return window.geometry() == whole; }, 2s));
    const auto pointAt = [&](QWidget& target, int windowY) {
        CMainHost::Mouse(target, QEvent::MouseMove,
                         target.mapFrom(&window, QPoint(whole.width() / 3, windowY)), Qt::NoButton);
    };
    const auto shownBar = [&]() -> CToolbarWindow* {
        for (CToolbarWindow* bar : window.findChildren<CToolbarWindow*>()) {
            if (bar->isVisible()) {
                return bar;
            }
        }
        return nullptr;
    };
    const int bottom = whole.height() - 1;

    pointAt(window, bottom);
    CToolbarWindow* bar = shownBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->VideoView().GetCheck());
    EXPECT_EQ(window.Screen().geometry(), window.rect());
    EXPECT_TRUE(window.Playlist().geometry().isEmpty());

    CMainHost::Click(bar->PlaylistView());
    const int split = whole.width() - kDefaultPlaylistWidth;
    EXPECT_EQ(window.Screen().geometry(), QRect(0, 0, split, whole.height()));
    EXPECT_EQ(window.Playlist().geometry(), QRect(split, 0, whole.width() - split, whole.height()));

    // Up over the playlist the bar goes; down at the edge it comes back with the same view.
    QWidget& rows = *window.Playlist().List().viewport();
    pointAt(rows, whole.height() / 2);
    EXPECT_EQ(shownBar(), nullptr);
    pointAt(window, bottom);
    bar = shownBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->PlaylistView().GetCheck());
    EXPECT_EQ(window.Playlist().geometry().left(), split);

    // Leaving full screen restores the normal layout; the next full screen shows the video alone.
    host.Key(Qt::Key_Escape);
    ASSERT_TRUE(PumpUntil([&] { return CMainHost::Span(window.Screen()) == normalScreen; }, 2s));
    host.Key(Qt::Key_Return);
    ASSERT_TRUE(PumpUntil([&] { return window.geometry() == whole; }, 2s));
    EXPECT_EQ(window.Screen().geometry(), window.rect());
    EXPECT_TRUE(window.Playlist().geometry().isEmpty());
    pointAt(window, bottom);
    ASSERT_NE(shownBar(), nullptr);
    EXPECT_TRUE(shownBar()->VideoView().GetCheck());
    pointAt(window, whole.height() / 2);
    ASSERT_EQ(shownBar(), nullptr);

    // "About Q&OR" through the menu of a right click on the video, by its keys. Seven seconds
    // later (the pointer hides 3 to 6 s after it rested) the dialog still has its pointer.
    bool aboutOpen = false;
    bool pointerShown = false;
    QTimer::singleShot(200ms,
                       [] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_H); });
    QTimer::singleShot(400ms,
                       [] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O); });
    QTimer::singleShot(7000ms, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        aboutOpen = dynamic_cast<CDlgAbout*>(modal) != nullptr;
        pointerShown = QGuiApplication::overrideCursor() == nullptr;
        if (modal != nullptr) {
            QTest::keyClick(modal, Qt::Key_Escape);
        } else if (QWidget* menu = QApplication::activePopupWidget()) {
            menu->close();
        }
    });
    const QPoint middle(whole.width() / 2, whole.height() / 2);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(middle), QPointF(middle),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &release);
    EXPECT_TRUE(aboutOpen);
    EXPECT_TRUE(pointerShown);
    // With the dialog closed, the resting pointer hides again.
    EXPECT_TRUE(PumpUntil(
        [] {
            return QGuiApplication::overrideCursor() != nullptr &&
                   QGuiApplication::overrideCursor()->shape() == Qt::BlankCursor;
        },
        7s));
    host.Key(Qt::Key_Escape);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// A menu left open while the next clip loads lists the old clip's tracks and subtitle files: the
// load closes it, and nothing of it runs against the new clip.
TEST(MainWnd, MenuOpenWhenTheNextClipLoadsClosesUnchosen) {
    const std::wstring clip = TwoTrackClip();
    ASSERT_FALSE(clip.empty());
    CMainHost host;
    host.center.AddPaths({clip, clip}, false);
    ASSERT_TRUE(
        PumpUntil([&] { return host.window.PlayButton().GetPlayState() == EPlayState::Playing; }));
    bool menuShown = false;
    bool closedByTheLoad = false;
    QTimer::singleShot(300ms, [&] {
        menuShown = QApplication::activePopupWidget() != nullptr;
        host.center.Next();
        closedByTheLoad =
            PumpUntil([] { return QApplication::activePopupWidget() == nullptr; }, 5s);
        if (QWidget* menu = QApplication::activePopupWidget()) {
            menu->close();
        }
    });
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10),
                        QPointF(host.window.mapToGlobal(QPoint(10, 10))), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&host.window, &release);
    EXPECT_TRUE(menuShown);
    EXPECT_TRUE(closedByTheLoad);
    EXPECT_EQ(host.window.Playlist().GetActiveItem(), 1);
}
