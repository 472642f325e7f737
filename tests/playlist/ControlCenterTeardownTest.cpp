// The control center and the window its video is shown in go away in either order, with or
// without Close, while a clip with video plays: nothing is freed twice (the sanitizer build checks
// the memory), and the window keeps nothing of the center's.
#include "support/CenterHost.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

struct CTeardownCase {
    const char* name;
    bool windowFirst;
    bool close;
};

void PrintTo(const CTeardownCase& teardown, std::ostream* out) {
    *out << teardown.name;
}

class ControlCenterTeardown : public ::testing::TestWithParam<CTeardownCase> {};

TEST_P(ControlCenterTeardown, WhileAClipPlays) {
    const CTeardownCase& teardown = GetParam();
    EnsureTestApplication();
    CMemoryPlaylist list;
    auto window = std::make_unique<QWidget>();
    window->resize(320, 240);
    window->show();
    auto center = std::make_unique<CControlCenter>();
    ASSERT_TRUE(center->Initialise(window.get(), &list, CControlCenter::kDefaultDelayMs));
    CEngineDS& engine = center->GetController().GetEngine();
    center->AddFile(ShortClip());
    center->Play();
    ASSERT_TRUE(PumpUntil([&] { return engine.StateName() == L"Playing"; }, 5s));
    ASSERT_FALSE(engine.children().isEmpty()) << "the video widget lives in the engine window";

    if (teardown.windowFirst) {
        window.reset();
        EXPECT_EQ(engine.parentWidget(), nullptr);
        EXPECT_FALSE(engine.isVisible());
        // Without a window the clip goes on until the center's owner ends it.
        PumpFor(300ms);
        EXPECT_EQ(engine.StateName(), L"Playing");
    }
    if (teardown.close) {
        center->Reset();
        center->Close();
    }
    center.reset();
    PumpFor(100ms);
    if (window) {
        EXPECT_TRUE(window->children().isEmpty());
    }
    window.reset();
}

INSTANTIATE_TEST_SUITE_P(Orders, ControlCenterTeardown,
                         ::testing::Values(CTeardownCase{"WindowFirstThenClose", true, true},
                                           CTeardownCase{"WindowFirstNoClose", true, false},
                                           CTeardownCase{"CenterFirstAfterClose", false, true},
                                           CTeardownCase{"CenterFirstNoClose", false, false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
