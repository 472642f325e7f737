// The video screen with a stand-in video window: the display rectangle it publishes and where it
// puts the video window as the video size, aspect rule, zoom and screen size change; the window
// rectangle a zoom asks for; its black background; the pointer events it adds.
#include "QtTestSupport.h"

#include "skin/SkinEvents.h"
#include "skin/screen/AspectRatio.h"
#include "skin/screen/ScreenEvents.h"
#include "skin/screen/SkinScreen.h"
#include "support/PixelPrinters.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

namespace {

// Remembers the window rectangles offered to the placement hook.
class CRecordingScreen : public CSkinScreen {
public:
    std::vector<CPixelRect> placements;

protected:
    void PlaceWindow(const CPixelRect& windowRect) override { placements.push_back(windowRect); }
};

class SkinScreenTest : public ::testing::Test, public CTestApplicationUser {
protected:
    SkinScreenTest() {
        host.resize(1000, 700);
        screen.Create(&host, 0, 0, 640, 480);
        video = new QWidget(&screen);
        video->setAutoFillBackground(true);
        QPalette white = video->palette();
        white.setColor(QPalette::Window, Qt::white);
        video->setPalette(white);
        screen.SetVideoWindow(video);
        host.show();
        PumpUntil([&] { return host.isVisible(); });
        rects.Watch(screen, {ScreenEvents::DisplayRectChanged});
        rects.onEvent = [&](const CRecordedEvent& event) {
            published.push_back(*reinterpret_cast<const CPixelRect*>(event.arg1));
        };
    }

    ~SkinScreenTest() override { SetCurrentAspectRatio(FindAspectRatio(L"FITSOURCE")); }

    QWidget host;
    CRecordingScreen screen;
    QWidget* video; // a Qt child of the screen
    CEventLog rects;
    std::vector<CPixelRect> published;
};

struct CScreenStep {
    const char* what;
    std::function<void(CSkinScreen&)> apply;
    std::optional<CPixelRect> published; // none: nothing published
};

TEST_F(SkinScreenTest, PublishesTheDisplayRectangleAndMovesTheVideoWindowThere) {
    const CScreenStep steps[] = {
        {"no video yet",
         [](CSkinScreen& s) {
             s.SetVideoSize({0, 480});
         },
         std::nullopt},
        {"wide film in 4:3 screen",
         [](CSkinScreen& s) {
             s.SetVideoSize({1920, 800});
         },
         CPixelRect{0, 106, 640, 373}},
        {"forced 4:3", [](CSkinScreen& s) { s.SetAspectRatio(L"FIT4_3"); },
         CPixelRect{0, 0, 640, 480}},
        {"bigger screen, 16:9",
         [](CSkinScreen& s) {
             SetCurrentAspectRatio(FindAspectRatio(L"FIT16_9"));
             s.ResizeScreen({800, 600});
         },
         CPixelRect{0, 75, 800, 525}},
        {"stretched", [](CSkinScreen& s) { s.SetAspectRatio(L"fitdistort"); },
         CPixelRect{0, 0, 800, 600}},
        {"double size clipped by the screen",
         [](CSkinScreen& s) {
             SetCurrentAspectRatio(FindAspectRatio(L"FITSOURCE"));
             s.SetZoom(L"ZOOM200");
         },
         CPixelRect{0, 0, 3840, 1600}},
        {"back to the window", [](CSkinScreen& s) { s.SetZoom(L"nonsense"); },
         CPixelRect{0, 133, 800, 466}},
    };
    for (const CScreenStep& step : steps) {
        SCOPED_TRACE(step.what);
        published.clear();
        step.apply(screen);
        if (!step.published) {
            EXPECT_TRUE(published.empty());
            continue;
        }
        ASSERT_EQ(published.size(), 1U);
        EXPECT_EQ(published[0], *step.published);
        EXPECT_EQ(screen.DisplayRect(), *step.published);
        EXPECT_EQ(video->geometry(), step.published->ToQRect());
    }
    EXPECT_EQ(screen.size(), QSize(800, 600));

    // Without a video size the picture is gone, and a resize still says so.
    screen.SetVideoSize({0, 0});
    published.clear();
    screen.resize(700, 500);
    ASSERT_EQ(published.size(), 1U);
    EXPECT_EQ(published[0], CPixelRect{});
    EXPECT_EQ(video->geometry(), QRect(0, 0, 0, 0));
}

TEST_F(SkinScreenTest, ZoomOffersTheWindowThatWouldHoldTheScreenItWants) {
    screen.SetAnchor(L"TOPLEFT");
    screen.SetMargins({5, 25, 5, 30});
    screen.SetMinScreenSize({400, 300});
    screen.SetVideoSize({640, 480});
    EXPECT_TRUE(screen.placements.empty()); // fit-window keeps the screen's size

    screen.SetZoom(L"ZOOM50");
    CPixelRect screenRect;
    screen.GetScreenRect(screenRect);
    ASSERT_EQ(screen.placements.size(), 1U);
    EXPECT_EQ(screen.placements[0], (CPixelRect{screenRect.left, screenRect.top,
                                                screenRect.left + 410, screenRect.top + 355}));
    EXPECT_EQ(published.back(), (CPixelRect{40, 30, 360, 270}));
    // The screen itself stays as it was; only the owner could follow the offer.
    EXPECT_EQ(screen.size(), QSize(640, 480));

    screen.SetAnchor(L"NOEXTEND");
    screen.SetZoom(L"ZOOM200");
    ASSERT_EQ(screen.placements.size(), 2U);
    EXPECT_EQ(screen.placements[1], screenRect);
}

TEST_F(SkinScreenTest, BackgroundIsBlackAroundThePicture) {
    screen.SetVideoSize({1920, 800}); // (0, 106, 640, 373)
    const QImage image = screen.grab().toImage();
    EXPECT_EQ(image.pixelColor(320, 20), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(320, 460), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(320, 240), QColor(Qt::white));
}

TEST_F(SkinScreenTest, PointerEventsFollowTheControlsOwn) {
    CEventLog log;
    log.Watch(screen,
              {SkinEvents::LeftDown, SkinEvents::LeftUp, SkinEvents::LeftClicked,
               SkinEvents::MouseMove, ScreenEvents::LButtonDown, ScreenEvents::LButtonUp,
               ScreenEvents::LButtonDblClk, ScreenEvents::RButtonDown, ScreenEvents::RButtonUp});
    QTest::mouseMove(&screen, {10, 12});
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"MouseMove", L"MouseMove"}));
    EXPECT_EQ(log.events[1].arg1, 10);
    EXPECT_EQ(log.events[1].arg2, 12);

    log.Clear();
    QTest::mouseClick(&screen, Qt::LeftButton, {}, {30, 40});
    QTest::mouseClick(&screen, Qt::RightButton, {}, {50, 60});
    EXPECT_EQ(log.Names(),
              (std::vector<std::wstring>{L"LeftDown", L"LButtonDown", L"LeftUp", L"LeftClicked",
                                         L"LButtonUp", L"RButtonDown", L"RButtonUp"}));
    EXPECT_EQ(log.events[6].arg1, 50);
    EXPECT_EQ(log.events[6].arg2, 60);

    log.Clear();
    QTest::mouseDClick(&screen, Qt::LeftButton, {}, {30, 40});
    EXPECT_EQ(log.Count(ScreenEvents::LButtonDblClk), 1);
}

} // namespace
