// The skin's pure rules: hit test, frame plan, child layout, slider geometry, sizer release.
#include <gtest/gtest.h>

#include <map>

#include "skin/rules/ChildLayout.h"
#include "skin/rules/FramePlan.h"
#include "skin/rules/HitTest.h"
#include "skin/rules/SizerRules.h"
#include "skin/rules/SliderGeometry.h"

namespace {

TEST(SkinRules, HitTestBordersCornersAndTheWiderGrip) {
    const QSize client(300, 200);
    const struct {
        QPoint point;
        EHitArea area;
    } cases[] = {
        {{150, 100}, EHitArea::Caption},
        {{5, 5}, EHitArea::Caption},
        {{0, 100}, EHitArea::Left},
        {{4, 100}, EHitArea::Left},
        {{295, 100}, EHitArea::Right},
        {{294, 100}, EHitArea::Caption},
        {{150, 0}, EHitArea::Top},
        {{150, 199}, EHitArea::Bottom},
        {{2, 2}, EHitArea::TopLeft},
        {{298, 3}, EHitArea::TopRight},
        {{1, 198}, EHitArea::BottomLeft},
        {{299, 199}, EHitArea::BottomRight},
        // The 8 x 8 grip reaches 3 pixels further in than the 5-pixel border.
        {{292, 192}, EHitArea::BottomRight},
        {{292, 150}, EHitArea::Caption},
        {{291, 192}, EHitArea::Caption},
        {{150, 192}, EHitArea::Caption},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x() << "," << c.point.y());
        EXPECT_EQ(SkinHitTest(client, c.point), c.area);
    }
}

TEST(SkinRules, ChildLayoutAnchorsNegativeValuesToTheFarEdges) {
    const struct {
        CLayoutRequest request;
        QSize client;
        QRect placed;
    } cases[] = {
        {{-150, 45, -5, -40}, {600, 400}, {450, 45, 145, 315}},
        {{10, 20, 30, 40}, {600, 400}, {10, 20, 30, 40}},
        {{5, -25, -5, 20}, {300, 200}, {5, 175, 290, 20}},
        {{-20, -20, 10, 10}, {300, 200}, {280, 180, 10, 10}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LayoutChildRect(c.request, c.client), c.placed);
    }
}

// The window frame's pieces with the sizes of bitmap 20026.
std::optional<QRect> MainFramePiece(int piece) {
    static const std::map<int, QRect> pieces = {
        {0, {0, 0, 58, 25}},    {1, {59, 0, 10, 25}},    {2, {70, 0, 10, 25}},
        {3, {81, 0, 10, 25}},   {4, {0, 26, 58, 25}},    {5, {59, 26, 10, 25}},
        {6, {70, 26, 10, 25}},  {7, {81, 26, 10, 25}},   {8, {92, 0, 10, 30}},
        {9, {103, 0, 10, 30}},  {10, {114, 0, 10, 30}},  {11, {125, 0, 5, 10}},
        {12, {125, 11, 5, 10}}, {13, {125, 22, 10, 10}},
    };
    const auto found = pieces.find(piece);
    return found == pieces.end() ? std::nullopt : std::optional<QRect>(found->second);
}

TEST(SkinRules, FramePlanOrderTileCountsAndExclusions) {
    const std::vector<CFrameStep> steps = PlanFrame({200, 100}, true, MainFramePiece);
    std::vector<int> order;
    std::map<int, std::vector<QPoint>> blits;
    for (const CFrameStep& step : steps) {
        if (step.piece >= 0) {
            if (order.empty() || order.back() != step.piece) {
                order.push_back(step.piece);
            }
            blits[step.piece].push_back(step.dest);
        }
    }
    EXPECT_EQ(order, (std::vector<int>{0, 3, 1, 2, 8, 10, 9, 11, 12, 13}));
    // A 10-pixel tile across 200 pixels: x = 0, 10, ..., 200.
    ASSERT_EQ(blits[2].size(), 21u);
    EXPECT_EQ(blits[2].back(), QPoint(200, 0));
    EXPECT_EQ(blits[3], std::vector<QPoint>{QPoint(190, 0)});
    EXPECT_EQ(blits[1], std::vector<QPoint>{QPoint(95, 0)});
    EXPECT_EQ(blits[10], std::vector<QPoint>{QPoint(190, 70)});
    EXPECT_EQ(blits[11].size(), 11u); // y = 0 ... 100 in steps of 10
    EXPECT_EQ(blits[12].front(), QPoint(195, 0));
    EXPECT_EQ(blits[13].size(), 21u * 11u);

    // Each corner is excluded right after it is drawn, so the tiles never overdraw it; the top
    // band goes after its tiles.
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[1].piece, -1);
    EXPECT_EQ(steps[1].exclude, QRect(0, 0, 58, 25));
    const auto band = std::find_if(steps.begin(), steps.end(), [](const CFrameStep& step) {
        return step.piece == -1 && step.exclude == QRect(0, 0, 200, 25);
    });
    ASSERT_NE(band, steps.end());
    EXPECT_EQ((band - 1)->piece, 2);

    // Unfocused: the top row comes from pieces 4 to 7; missing pieces are skipped.
    const std::vector<CFrameStep> unfocused = PlanFrame({200, 100}, false, MainFramePiece);
    EXPECT_EQ(unfocused.front().piece, 4);
    const std::vector<CFrameStep> bare =
        PlanFrame({200, 100}, true, [](int) -> std::optional<QRect> { return std::nullopt; });
    EXPECT_TRUE(bare.empty());
}

TEST(SkinRules, SliderValueOffsetAndPointerTargets) {
    // 200 pixels, thumb 12, range 100: r = 188 / 100 = 1.88.
    const CSliderGeometry slider(200, 12, 100);
    EXPECT_EQ(slider.Span(), 188);
    const struct {
        int value;
        int offset;
    } values[] = {{0, 0}, {1, 2}, {50, 94}, {99, 186}, {100, 188}, {27, 51}};
    for (const auto& v : values) {
        EXPECT_EQ(slider.ValueToOffset(v.value), v.offset) << v.value;
    }
    const struct {
        int offset;
        int value;
    } offsets[] = {{0, 0}, {1, 1}, {2, 1}, {94, 50}, {95, 51}, {188, 100}};
    for (const auto& o : offsets) {
        EXPECT_EQ(slider.OffsetToValue(o.offset), o.value) << o.offset;
    }

    const struct {
        int position;
        bool horizontal;
        int offset;
    } targets[] = {
        {94, true, 94},                                     // a whole value stays where it is
        {2, true, 1},                                       // trunc(1.88 * trunc(2 / 1.88))
        {3, true, 1},     {4, true, 3},      {3, false, 3}, // vertical sliders do not snap
        {-6, true, 0},    {-6, false, 0},                   // clamped to the start
        {250, true, 188}, {250, false, 188},
    };
    for (const auto& t : targets) {
        const CSliderTarget target = slider.Target(t.position, t.horizontal);
        EXPECT_EQ(target.offset, t.offset) << t.position << (t.horizontal ? " h" : " v");
        EXPECT_EQ(target.hi - target.lo, 188);
    }

    // No travel (empty range, or a thumb as long as the slider): the thumb stays at 0 and every
    // offset stands for 0, instead of dividing by zero.
    for (const CSliderGeometry& stuck :
         {CSliderGeometry(200, 12, 0), CSliderGeometry(12, 12, 100)}) {
        EXPECT_EQ(stuck.ValueToOffset(50), 0);
        EXPECT_EQ(stuck.OffsetToValue(40), 0);
        EXPECT_EQ(stuck.Target(40, true).offset, 0);
        EXPECT_EQ(stuck.Target(40, false).offset, 0);
    }

    EXPECT_FALSE(SliderDragMoves(true, 2));
    EXPECT_FALSE(SliderDragMoves(true, -2));
    EXPECT_TRUE(SliderDragMoves(true, -3));
    EXPECT_TRUE(SliderDragMoves(false, 0));
}

TEST(SkinRules, SizerReleaseClampsToTheMinimumAndTheRightEdge) {
    const struct {
        int sizerLeft, lineOffset, pressX, minimum, parentWidth, sizerWidth;
        CSizerRelease release;
    } cases[] = {
        {300, 8, 4, 100, 800, 10, {308, 4}},
        {120, -40, 4, 100, 800, 10, {100, 0}}, // left of the minimum
        {780, 5, 4, 100, 800, 10, {795, 0}},   // past the parent's width less two bars
        {770, 10, 4, 100, 800, 10, {780, 4}},  // exactly at that limit: kept
    };
    for (const auto& c : cases) {
        const CSizerRelease release = SizerReleasePosition(c.sizerLeft, c.lineOffset, c.pressX,
                                                           c.minimum, c.parentWidth, c.sizerWidth);
        EXPECT_EQ(release.position, c.release.position) << c.sizerLeft + c.lineOffset;
        EXPECT_EQ(release.pressX, c.release.pressX) << c.sizerLeft + c.lineOffset;
    }
    EXPECT_TRUE(SizerLineFollows(120, -10, 0, 100));
    EXPECT_FALSE(SizerLineFollows(120, -20, 0, 100));
}

} // namespace
