// The screen's geometry rules without any window: window anchoring, aspect-ratio fitting and
// zoom, each as a table of cases.
#include "skin/layout/WindowExtender.h"
#include "skin/screen/AspectRatio.h"
#include "skin/screen/Zoom.h"
#include "support/PixelPrinters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CExtendCase {
    const wchar_t* anchor;
    CPixelRect current;
    CPixelSize wanted;
    CPixelRect bounds;
    CPixelRect expected;
};

const CPixelRect kNoBounds{};
const CPixelSize kDesktop{1920, 1080};

TEST(WindowExtender, PlacesTheWindowByItsAnchorAndKeepsItInTheBounds) {
    const CExtendCase cases[] = {
        {L"NOEXTEND", {10, 20, 110, 220}, {500, 500}, {0, 0, 50, 50}, {10, 20, 110, 220}},
        {L"TOPLEFT", {10, 20, 110, 220}, {300, 50}, kNoBounds, {10, 20, 310, 70}},
        {L"TOPMIDDLE", {100, 100, 501, 301}, {200, 100}, kNoBounds, {200, 100, 400, 200}},
        {L"TOPRIGHT", {0, 0, 640, 480}, {800, 600}, kNoBounds, {-160, 0, 640, 600}},
        {L"MIDDLELEFT", {100, 100, 501, 301}, {200, 100}, kNoBounds, {100, 150, 300, 250}},
        {L"MIDDLE", {100, 100, 501, 301}, {200, 100}, kNoBounds, {200, 150, 400, 250}},
        {L"MIDDLERIGHT", {100, 100, 501, 301}, {200, 100}, kNoBounds, {301, 150, 501, 250}},
        {L"BOTTOMLEFT", {0, 0, 640, 480}, {800, 600}, kNoBounds, {0, -120, 800, 480}},
        {L"BOTTOMMIDDLE", {0, 0, 640, 480}, {800, 600}, kNoBounds, {-80, -120, 720, 480}},
        {L"BOTTOMRIGHT", {0, 0, 640, 480}, {800, 600}, kNoBounds, {-160, -120, 640, 480}},
        {L"CENTERINDESKTOP", {0, 0, 640, 480}, {800, 600}, kNoBounds, {560, 240, 1360, 840}},
        // Bounds clamp from the origin: the bottom-right example pushed back inside 1024 x 768.
        {L"BOTTOMRIGHT", {0, 0, 640, 480}, {800, 600}, {0, 0, 1024, 768}, {0, 0, 800, 600}},
        // Past the far edge: moved back so that the far edge meets the bounds.
        {L"TOPLEFT", {900, 700, 1000, 760}, {200, 100}, {0, 0, 1024, 768}, {824, 668, 1024, 768}},
        // Wider than the bounds: ends at (bounds width - width), which is negative.
        {L"TOPLEFT", {10, 10, 20, 20}, {1200, 100}, {0, 0, 1024, 768}, {-176, 10, 1024, 110}},
        // Inside the bounds already: untouched.
        {L"MIDDLE", {100, 100, 501, 301}, {200, 100}, {0, 0, 1024, 768}, {200, 150, 400, 250}},
        // Lower case and unknown names are no anchor: the origin.
        {L"middle", {100, 100, 501, 301}, {200, 100}, kNoBounds, {0, 0, 200, 100}},
        {L"", {100, 100, 501, 301}, {200, 100}, kNoBounds, {0, 0, 200, 100}},
    };
    for (const CExtendCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.anchor)));
        SCOPED_TRACE(testing::PrintToString(c.expected));
        CWindowExtender extender([] { return kDesktop; });
        extender.SetAnchor(c.anchor);
        CPixelRect out{-1, -1, -1, -1};
        extender.ComputeRect(c.current, c.wanted, out, c.bounds);
        EXPECT_EQ(out, c.expected);
    }
}

TEST(WindowExtender, AsksForTheDesktopOnlyWhenCentringOnIt) {
    int asked = 0;
    CWindowExtender extender([&] {
        ++asked;
        return CPixelSize{1000, 800};
    });
    CPixelRect out;
    extender.SetAnchor(L"MIDDLE");
    extender.ComputeRect({0, 0, 100, 100}, {50, 50}, out, {});
    EXPECT_EQ(asked, 0);
    extender.SetAnchor(L"CENTERINDESKTOP");
    extender.ComputeRect({0, 0, 100, 100}, {301, 201}, out, {});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(out, (CPixelRect{349, 299, 650, 500}));
}

struct CAspectCase {
    const wchar_t* rule;
    CPixelSize source;
    CPixelSize area;
    CPixelRect fitRect;
    CPixelSize fitSize;
};

TEST(AspectRatio, FitsTheSourceIntoTheAreaAndGivesItsNaturalSize) {
    const CAspectCase cases[] = {
        {L"FIT16_9", {720, 576}, {800, 600}, {0, 75, 800, 525}, {1024, 576}},
        {L"FITSOURCE", {1920, 800}, {640, 480}, {0, 106, 640, 373}, {1920, 800}},
        {L"FIT4_3", {720, 576}, {1000, 500}, {166, 0, 833, 500}, {768, 576}},
        // A source wider than the ratio keeps its width and grows in height.
        {L"FIT4_3", {1920, 800}, {640, 480}, {0, 0, 640, 480}, {1920, 1440}},
        {L"fit16_9", {640, 480}, {1280, 720}, {0, 0, 1280, 720}, {853, 480}},
        {L"FITDISTORT", {720, 576}, {800, 600}, {0, 0, 800, 600}, {720, 576}},
        {L"FITCUSTOM", {720, 576}, {1000, 500}, {166, 0, 833, 500}, {768, 576}},
        // Unknown names fit the source.
        {L"SQUARE", {1920, 800}, {640, 480}, {0, 106, 640, 373}, {1920, 800}},
        // No picture: nothing to show, whatever the rule.
        {L"FITSOURCE", {0, 576}, {800, 600}, {}, {}},
        {L"FIT16_9", {720, 0}, {800, 600}, {}, {}},
        {L"FITDISTORT", {0, 0}, {800, 600}, {}, {}},
    };
    for (const CAspectCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.fitRect));
        IAspectRatio& rule = FindAspectRatio(c.rule);
        CPixelRect rect{-1, -1, -1, -1};
        rule.FitRect(c.source, c.area, rect);
        EXPECT_EQ(rect, c.fitRect);
        CPixelSize size{-1, -1};
        rule.FitSize(c.source, size);
        EXPECT_EQ(size, c.fitSize);
    }
}

TEST(AspectRatio, EachNameIsOneProcessWideRule) {
    EXPECT_EQ(&FindAspectRatio(L"fitsource"), &FindAspectRatio(L"FITSOURCE"));
    EXPECT_EQ(&FindAspectRatio(L"nonsense"), &FindAspectRatio(L"FITSOURCE"));
    EXPECT_NE(&FindAspectRatio(L"FIT4_3"), &FindAspectRatio(L"FITCUSTOM"));
    EXPECT_EQ(&FindZoom(L"zoom150"), &FindZoom(L"ZOOM150"));
    EXPECT_EQ(&FindZoom(L"ZOOM300"), &FindZoom(L"FITWINDOW"));
}

struct CZoomCase {
    const wchar_t* zoom;
    const wchar_t* aspect;
    CPixelSize minimum;
    CPixelSize source;
    CPixelSize screen; // on entry
    CPixelSize wantedScreen;
    CPixelRect display;
};

TEST(Zoom, GivesTheScreenSizeAndTheDisplayRectangle) {
    const CZoomCase cases[] = {
        {L"ZOOM50", L"FITSOURCE", {300, 200}, {640, 480}, {900, 900}, {320, 240}, {0, 0, 320, 240}},
        {L"ZOOM50",
         L"FITSOURCE",
         {400, 300},
         {640, 480},
         {900, 900},
         {400, 300},
         {40, 30, 360, 270}},
        // Larger than the screen: anchored at the corner, the screen clips the picture.
        {L"ZOOM200", L"FITSOURCE", {0, 0}, {640, 480}, {800, 600}, {1280, 960}, {0, 0, 1280, 960}},
        {L"zoom150", L"FITSOURCE", {0, 0}, {640, 480}, {1, 1}, {960, 720}, {0, 0, 960, 720}},
        {L"ZOOM75", L"FITSOURCE", {0, 0}, {640, 480}, {1, 1}, {480, 360}, {0, 0, 480, 360}},
        {L"ZOOM125", L"FITSOURCE", {0, 0}, {640, 480}, {1, 1}, {800, 600}, {0, 0, 800, 600}},
        {L"ZOOM100", L"FIT16_9", {0, 0}, {720, 576}, {1, 1}, {1024, 576}, {0, 0, 1024, 576}},
        // Fit-window keeps the screen and fits the picture in it.
        {L"FITWINDOW", L"FIT16_9", {0, 0}, {720, 576}, {800, 600}, {800, 600}, {0, 75, 800, 525}},
        {L"ANYTHING",
         L"FITSOURCE",
         {0, 0},
         {1920, 800},
         {640, 480},
         {640, 480},
         {0, 106, 640, 373}},
        // No picture: the minimum screen and an empty picture centred in it.
        {L"ZOOM100", L"FITSOURCE", {200, 100}, {0, 0}, {1, 1}, {200, 100}, {100, 50, 100, 50}},
    };
    for (const CZoomCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.display));
        SetCurrentAspectRatio(FindAspectRatio(c.aspect));
        IZoom& zoom = FindZoom(c.zoom);
        CPixelSize screen = c.screen;
        CPixelRect display{-1, -1, -1, -1};
        zoom.ComputeScreen(c.minimum, c.source, screen, display);
        EXPECT_EQ(screen, c.wantedScreen);
        EXPECT_EQ(display, c.display);
    }
    SetCurrentAspectRatio(FindAspectRatio(L"FITSOURCE"));
}

TEST(Zoom, DisplayRectangleFollowsTheCurrentAspectRule) {
    CPixelRect display;
    SetCurrentAspectRatio(FindAspectRatio(L"FIT4_3"));
    FindZoom(L"ZOOM200").ComputeDisplayRect({720, 576}, {1000, 500}, display);
    EXPECT_EQ(display, (CPixelRect{166, 0, 833, 500}));
    SetCurrentAspectRatio(FindAspectRatio(L"FITDISTORT"));
    FindZoom(L"ZOOM200").ComputeDisplayRect({720, 576}, {1000, 500}, display);
    EXPECT_EQ(display, (CPixelRect{0, 0, 1000, 500}));
    SetCurrentAspectRatio(FindAspectRatio(L"FITSOURCE"));
}

} // namespace
