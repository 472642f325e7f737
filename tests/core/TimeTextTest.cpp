#include "core/TimeText.h"
#include "core/MiscFunc.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeTextTest, ClockShowsHoursOnlyFromTheFirstHour) {
    EXPECT_EQ(FormatClock(0), L"00:00");
    EXPECT_EQ(FormatClock(59), L"00:59");
    EXPECT_EQ(FormatClock(3599), L"59:59");
    EXPECT_EQ(FormatClock(3600), L"01:00:00");
    EXPECT_EQ(FormatClock(3725), L"01:02:05");
    EXPECT_EQ(FormatClock(100 * 3600), L"100:00:00");
    EXPECT_EQ(FormatClock(-5), L"00:00");
}

TEST(TimeTextTest, ShortDurationRoundsMinutesUpAndHoursToTenths) {
    EXPECT_EQ(FormatDurationShort(0), L"0m");
    EXPECT_EQ(FormatDurationShort(1), L"1m");
    EXPECT_EQ(FormatDurationShort(60), L"1m");
    EXPECT_EQ(FormatDurationShort(61), L"2m");
    EXPECT_EQ(FormatDurationShort(3599), L"60m");
    EXPECT_EQ(FormatDurationShort(3600), L"1.0h");
    EXPECT_EQ(FormatDurationShort(5400), L"1.5h");
    EXPECT_EQ(FormatDurationShort(5459), L"1.5h"); // seconds past the minute do not count
    EXPECT_EQ(FormatDurationShort(-1), L"0m");
}

TEST(TimeTextTest, FreeSpaceFailsForAMissingFolder) {
    const auto text = FormatFreeSpace(L"/");
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->starts_with(L"Free Space: "));
    EXPECT_TRUE(text->ends_with(L" MB"));
    EXPECT_FALSE(FormatFreeSpace(L"/no/such/folder/").has_value());
}

TEST(MiscFuncTest, SplittingDropsEmptyPieces) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(CMiscFunc::SplitString("avi  mkv", ' '), (Pieces{"avi", "mkv"}));
    EXPECT_EQ(CMiscFunc::SplitString(" mpl ", ' '), (Pieces{"mpl"}));
    EXPECT_EQ(CMiscFunc::SplitString("", ' '), Pieces{});
    EXPECT_EQ(CMiscFunc::SplitString(L"a;b", L';'), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(MiscFuncTest, KeysReadAsUpWithoutAWindowSystem) {
    EXPECT_FALSE(CMiscFunc::IsCtrlDown());
    EXPECT_FALSE(CMiscFunc::IsShiftDown());
    EXPECT_FALSE(CMiscFunc::IsAltDown());
}

} // namespace
