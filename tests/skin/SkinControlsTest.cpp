// The skinned controls driven with Qt Test's synthetic mouse input on the offscreen platform.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "QtTestSupport.h"
#include "skin/SkinBitmaps.h"
#include "skin/SkinEvents.h"
#include "skin/SkinWnd.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinRadio.h"
#include "skin/controls/SkinSizer.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"

namespace {

using namespace SkinEvents;

const std::vector<std::wstring> kMouseEvents = {
    LeftDown, LeftUp, LeftClicked, LeftDoubleClicked, MouseMove, MouseDragging, MouseLeave};

class SkinControlsTest : public ::testing::Test, protected CTestApplicationUser {
protected:
    SkinControlsTest() {
        window.Create(QRect(50, 50, 600, 400));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A move with no button held, delivered to the control as the window system would.
    static void Hover(QWidget* widget, QPoint point) {
        QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    // What the control shows now, at 1x.
    static QImage Shown(QWidget* widget) {
        return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QImage Frame(int bitmapId, QRect source) {
        return SkinBitmap(bitmapId, 1.0)
            .toImage()
            .copy(source)
            .convertToFormat(QImage::Format_RGB32);
    }

    CSkinWnd window;
};

TEST_F(SkinControlsTest, PressDragOutReleaseOutsideIsNoClickAndEndsNormal) {
    CSkinButton button;
    button.Create(&window, 20, 20, 20, 20, window.GetSkinBitmap(SKIN_BITMAP_STOP), 0, 1, 2, 3);
    CEventLog log; // after the controls: it unsubscribes from them when it goes
    log.Watch(button, kMouseEvents);

    QTest::mousePress(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(button.State(), SKIN_STATE_PRESSED);
    QTest::mouseMove(&button, {15, 5});
    QTest::mouseMove(&button, {60, 5});
    EXPECT_EQ(button.State(), SKIN_STATE_NORMAL); // outside while pressed
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {60, 5});
    // Qt may report the pointer leaving once the press is over; nothing else may follow.
    std::vector<std::wstring> names = log.Names();
    std::erase(names, std::wstring(MouseLeave));
    EXPECT_EQ(names, (std::vector<std::wstring>{LeftDown, MouseDragging, MouseMove, MouseDragging,
                                                MouseMove, LeftUp}));
    EXPECT_EQ(log.events[3].arg1, 60);
    EXPECT_EQ(button.State(), SKIN_STATE_NORMAL);
    EXPECT_EQ(button.Tracking(), SKIN_TRACKING_IDLE);

    // A release that follows no press on the control raises nothing.
    log.Clear();
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_TRUE(log.events.empty());

    // Hover, then the pointer leaves.
    Hover(&button, {3, 3});
    EXPECT_EQ(button.State(), SKIN_STATE_HOVER);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.State(), SKIN_STATE_NORMAL);
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{MouseMove, MouseLeave}));
}

TEST_F(SkinControlsTest, DoubleClickSequence) {
    CSkinButton button;
    button.Create(&window, 20, 20, 20, 20, window.GetSkinBitmap(SKIN_BITMAP_STOP), 0, 1, 2, 3);
    CEventLog log; // after the controls: it unsubscribes from them when it goes
    log.Watch(button, kMouseEvents);
    QTest::mousePress(&button, Qt::LeftButton, {}, {5, 5});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {5, 5});
    QTest::mouseDClick(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(button.Tracking(), SKIN_TRACKING_DOUBLE_CLICK);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{LeftDown, LeftUp, LeftClicked,
                                                      LeftDoubleClicked, LeftUp, LeftClicked}));
    EXPECT_EQ(button.State(), SKIN_STATE_HOVER);
}

TEST_F(SkinControlsTest, ButtonsAndChecksShowTheFrameOfTheirState) {
    CSkinButton button;
    button.Create(&window, 20, 20, 36, 20, window.GetSkinBitmap(SKIN_BITMAP_NEXT), 0, 1, 2, 3);
    EXPECT_EQ(Shown(&button), Frame(SKIN_BITMAP_NEXT, {0, 0, 36, 20}));
    Hover(&button, {3, 3});
    EXPECT_EQ(Shown(&button), Frame(SKIN_BITMAP_NEXT, {36, 0, 36, 20}));
    QTest::mousePress(&button, Qt::LeftButton, {}, {3, 3});
    EXPECT_EQ(Shown(&button), Frame(SKIN_BITMAP_NEXT, {72, 0, 36, 20}));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {3, 3});

    // A click leaves a check's flag to its owner; the checked look has frames of its own.
    CSkinCheck mute;
    mute.Create(&window, 80, 20, 20, 20, window.GetSkinBitmap(SKIN_BITMAP_MUTE), 0, 1, 2, 3, 4, 5,
                6, 7);
    QTest::mouseClick(&mute, Qt::LeftButton, {}, {3, 3});
    EXPECT_FALSE(mute.GetCheck());
    mute.SetCheck(true);
    EXPECT_EQ(Shown(&mute), Frame(SKIN_BITMAP_MUTE, {100, 0, 20, 20})); // checked hover
    QTest::mousePress(&mute, Qt::LeftButton, {}, {3, 3});
    EXPECT_EQ(Shown(&mute), Frame(SKIN_BITMAP_MUTE, {120, 0, 20, 20})); // checked pressed
    QTest::mouseRelease(&mute, Qt::LeftButton, {}, {3, 3});

    CSkinButtonPlay play;
    play.Create(&window, 120, 20, 36, 20, window.GetSkinBitmap(SKIN_BITMAP_PLAY), 0, 1, 2, 3, 4, 5,
                6, 7);
    play.SetPlayState(EPlayState::Playing);
    EXPECT_EQ(Shown(&play), Frame(SKIN_BITMAP_PLAY, {144, 0, 36, 20}));
    play.SetPlayState(EPlayState::Paused);
    EXPECT_EQ(Shown(&play), Frame(SKIN_BITMAP_PLAY, {0, 0, 36, 20}));
}

TEST_F(SkinControlsTest, RadiosTurnOnByClickAndTheGroupKeepsOne) {
    CSkinRadio playlist;
    CSkinRadio video;
    playlist.Create(&window, 20, 20, 20, 20, window.GetSkinBitmap(SKIN_BITMAP_PLAYLIST_VIEW), 0, -1,
                    -1, -1, 1, -1, -1, -1);
    video.Create(&window, 50, 20, 20, 20, window.GetSkinBitmap(SKIN_BITMAP_VIDEO_VIEW), 0, -1, -1,
                 -1, 1, -1, -1, -1);
    CSkinRadioGroup group;
    group.Add(&playlist);
    group.Add(&video);
    group.Select(&playlist);
    CEventLog log; // after the controls: it unsubscribes from them when it goes
    log.Watch(video, {LeftClicked});

    // Released outside, the press is no click: the radio stays off, as the group says.
    QTest::mousePress(&video, Qt::LeftButton, {}, {3, 3});
    QTest::mouseMove(&video, {40, 3});
    QTest::mouseRelease(&video, Qt::LeftButton, {}, {40, 3});
    EXPECT_FALSE(video.GetCheck());
    EXPECT_TRUE(playlist.GetCheck());
    EXPECT_EQ(log.Count(LeftClicked), 0);

    QTest::mouseClick(&video, Qt::LeftButton, {}, {3, 3});
    EXPECT_TRUE(video.GetCheck());
    EXPECT_EQ(log.Count(LeftClicked), 1);
    QTest::mouseClick(&video, Qt::LeftButton, {}, {3, 3});
    EXPECT_TRUE(video.GetCheck()); // a radio never turns itself off
    group.Select(&video);
    EXPECT_FALSE(playlist.GetCheck());
    EXPECT_EQ(Shown(&video), Frame(SKIN_BITMAP_VIDEO_VIEW, {20, 0, 20, 20}));
}

TEST_F(SkinControlsTest, SliderPressSnapsDragThresholdAndHover) {
    CSkinSlider seek;
    seek.Create(&window, true, 40, 300, 200, 12, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK), 12,
                12, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB));
    seek.SetRange(100);
    seek.SetPos(50);
    EXPECT_EQ(seek.ThumbOffset(), 94);
    CEventLog log; // after the controls: it unsubscribes from them when it goes
    log.Watch(seek, {SliderPosChanged, SliderPosHovered});

    QTest::mousePress(&seek, Qt::LeftButton, {}, {100, 6}); // p = 100 - grab 6 = 94
    ASSERT_EQ(log.Count(SliderPosChanged), 1);
    EXPECT_EQ(log.events[0].arg1, 50);
    EXPECT_EQ(log.events[0].arg2, 188);
    EXPECT_EQ(seek.ThumbOffset(), 94);
    QTest::mouseRelease(&seek, Qt::LeftButton, {}, {100, 6});

    log.Clear();
    QTest::mousePress(&seek, Qt::LeftButton, {}, {8, 6}); // p = 2 snaps to trunc(1.88)
    EXPECT_EQ(seek.ThumbOffset(), 1);
    ASSERT_EQ(log.Count(SliderPosChanged), 1);
    EXPECT_EQ(log.events[0].arg1, 1);
    EXPECT_EQ(seek.GetPos(), 1);
    // Under 3 pixels from the press the thumb stays; from 3 on it follows.
    log.Clear();
    QTest::mouseMove(&seek, {10, 6});
    EXPECT_EQ(seek.ThumbOffset(), 1);
    EXPECT_EQ(log.Count(SliderPosChanged), 0);
    QTest::mouseMove(&seek, {60, 6});
    EXPECT_EQ(seek.ThumbOffset(), 52); // p = 54: trunc(1.88 * 28)
    EXPECT_EQ(log.Count(SliderPosChanged), 1);
    EXPECT_EQ(log.Count(SliderPosHovered), 2);
    QTest::mouseRelease(&seek, Qt::LeftButton, {}, {60, 6});

    // A press on the offset whose number equals the value set last still reports.
    seek.SetPos(50);
    log.Clear();
    QTest::mousePress(&seek, Qt::LeftButton, {}, {57, 6}); // p = 51 snaps to 50, value 27
    ASSERT_EQ(log.Count(SliderPosChanged), 1);
    EXPECT_EQ(log.events[log.Find(SliderPosChanged)].arg1, 27);
    QTest::mouseRelease(&seek, Qt::LeftButton, {}, {57, 6});

    log.Clear();
    Hover(&seek, {100, 6});
    ASSERT_EQ(log.Names(), std::vector<std::wstring>{SliderPosHovered});
    EXPECT_EQ(log.events[0].arg1, 50);

    // A vertical slider follows every drag, without snapping.
    CSkinSlider volume;
    volume.Create(&window, false, 500, 100, 12, 112, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK),
                  12, 12, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB));
    volume.SetRange(30); // r = 100 / 30
    QTest::mousePress(&volume, Qt::LeftButton, {}, {6, 16});
    EXPECT_EQ(volume.ThumbOffset(), 10);
    QTest::mouseMove(&volume, {6, 17});
    EXPECT_EQ(volume.ThumbOffset(), 11);
    QTest::mouseRelease(&volume, Qt::LeftButton, {}, {6, 17});
}

// Qt delivers no release to a disabled or hidden control, and a release over another window
// goes there. Each loss ends the press: later plain moves are hovers, not drags, and seek nothing.
TEST_F(SkinControlsTest, PressLostMidDragEndsTheDrag) {
    struct CLoss {
        const char* name;
        void (*lose)(QWidget&);
        void (*restore)(QWidget&);
    };
    const CLoss losses[] = {
        {"disabled", [](QWidget& c) { c.setEnabled(false); },
         [](QWidget& c) { c.setEnabled(true); }},
        {"hidden", [](QWidget& c) { c.hide(); }, [](QWidget& c) { c.show(); }},
        {"released elsewhere", [](QWidget&) {}, [](QWidget&) {}},
    };
    for (const CLoss& loss : losses) {
        SCOPED_TRACE(loss.name);
        CSkinSlider seek;
        seek.Create(&window, true, 40, 300, 200, 12, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK),
                    12, 12, window.GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB));
        seek.SetRange(100);
        CEventLog log; // after the controls: it unsubscribes from them when it goes
        log.Watch(seek, {LeftDown, LeftUp, LeftClicked, MouseDragging, SliderPosChanged});

        QTest::mousePress(&seek, Qt::LeftButton, {}, {20, 6});
        QTest::mouseMove(&seek, {150, 6});
        ASSERT_EQ(log.Count(SliderPosChanged), 2);
        loss.lose(seek);
        // The release reaches the window, not the slider.
        QTest::mouseRelease(&window, Qt::LeftButton, {}, seek.mapTo(&window, QPoint(150, 6)));
        loss.restore(seek);
        EXPECT_EQ(seek.Tracking(), loss.name == std::string("released elsewhere")
                                       ? SKIN_TRACKING_CLICK
                                       : SKIN_TRACKING_IDLE);

        log.Clear();
        const int thumb = seek.ThumbOffset();
        Hover(&seek, {60, 6});
        Hover(&seek, {190, 6});
        EXPECT_TRUE(log.events.empty()) << testing::PrintToString(log.Names());
        EXPECT_EQ(seek.ThumbOffset(), thumb);
        EXPECT_EQ(seek.Tracking(), SKIN_TRACKING_IDLE);
        EXPECT_EQ(seek.State(), SKIN_STATE_HOVER);

        // The next press is tracked afresh.
        QTest::mouseClick(&seek, Qt::LeftButton, {}, {100, 6});
        EXPECT_EQ(log.Names(),
                  (std::vector<std::wstring>{LeftDown, SliderPosChanged, LeftUp, LeftClicked}));
    }

    // A drag of the splitter disabled halfway takes its line away and reports no position.
    CSkinSizer sizer;
    sizer.Create(&window, 300, 30, 10, 300, 150);
    CEventLog log;
    log.Watch(sizer, {SkinSizerPosChanged, MouseDragging});
    QTest::mousePress(&sizer, Qt::LeftButton, {}, {4, 20});
    QTest::mouseMove(&sizer, {-50, 20});
    ASSERT_NE(sizer.DragLine(), nullptr);
    sizer.setEnabled(false);
    EXPECT_EQ(sizer.DragLine(), nullptr);
    QTest::mouseRelease(&sizer, Qt::LeftButton, {}, {-50, 20});
    sizer.setEnabled(true);
    log.Clear();
    Hover(&sizer, {5, 20});
    EXPECT_EQ(sizer.DragLine(), nullptr);
    EXPECT_TRUE(log.events.empty());
}

TEST_F(SkinControlsTest, SizerDragShowsALineAndReleaseReportsTheClampedPosition) {
    CSkinSizer sizer;
    sizer.Create(&window, 300, 30, 10, 300, 150);
    CSkinSizer nearMinimum;
    nearMinimum.Create(&window, 148, 30, 10, 300, 150);
    CEventLog log; // after the controls: it unsubscribes from them when it goes
    log.Watch(sizer, {SkinSizerPosChanged, SkinSizerBoxChecked});
    EXPECT_EQ(sizer.Box().geometry(), QRect(0, 125, 10, 50)); // centred by the resize

    QTest::mousePress(&sizer, Qt::LeftButton, {}, {4, 20});
    ASSERT_NE(sizer.DragLine(), nullptr);
    EXPECT_EQ(sizer.DragLine()->geometry(), QRect(300, 30, 10, 300)); // centred on offset 5
    QTest::mouseMove(&sizer, {-50, 20});
    EXPECT_EQ(sizer.DragLine()->geometry().x(), 245);
    QTest::mouseMove(&sizer, {-200, 20}); // left of the minimum: the line stays
    EXPECT_EQ(sizer.DragLine()->geometry().x(), 245);
    QTest::mouseRelease(&sizer, Qt::LeftButton, {}, {-200, 20});
    EXPECT_EQ(sizer.DragLine(), nullptr);
    ASSERT_EQ(log.Count(SkinSizerPosChanged), 1);
    EXPECT_EQ(log.events[0].arg1, 250);
    EXPECT_EQ(log.events[0].arg2, 4);

    // The line cannot reach past the minimum, but a press near it can release below it.
    log.Watch(nearMinimum, {SkinSizerPosChanged});
    log.Clear();
    QTest::mousePress(&nearMinimum, Qt::LeftButton, {}, {0, 20});
    QTest::mouseRelease(&nearMinimum, Qt::LeftButton, {}, {0, 20});
    ASSERT_EQ(log.Count(SkinSizerPosChanged), 1);
    EXPECT_EQ(log.events[0].arg1, 153);

    log.Clear();
    QTest::mouseClick(&sizer.Box(), Qt::LeftButton, {}, {3, 3});
    EXPECT_TRUE(sizer.IsBoxChecked());
    ASSERT_EQ(log.Count(SkinSizerBoxChecked), 1);
    EXPECT_EQ(log.events[0].arg1, 1);
}

// The main window hides its title label on stop and sets the next clip's title while it is
// hidden; shown again, the label must show that title, not the last one it drew.
TEST_F(SkinControlsTest, LabelShowsTheTextSetWhileItWasHidden) {
    CSkinString label;
    label.Create(&window, 20, 100, 200, 19, -1, 12);
    CSkinString expected;
    expected.Create(&window, 20, 140, 200, 19, -1, 12);
    expected.SetText(L"second clip.mkv");

    label.SetText(L"first clip.mkv");
    const QImage first = Shown(&label);
    EXPECT_NE(first, Shown(&expected));
    label.Show(false);
    label.SetText(L"second clip.mkv");
    label.Show(true);
    EXPECT_EQ(Shown(&label), Shown(&expected));
}

TEST_F(SkinControlsTest, WindowLaysOutChildrenFromTheirEdges) {
    CSkinString label;
    label.Create(&window, -150, 45, -5, -40, -1, 12);
    window.AddChild(&label);
    window.resize(600, 400);
    window.LayoutChildren();
    EXPECT_EQ(label.geometry(), QRect(450, 45, 145, 315));
    window.resize(700, 300);
    EXPECT_EQ(label.geometry(), QRect(550, 45, 145, 215));
}

} // namespace
