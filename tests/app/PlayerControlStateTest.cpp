// The player controls' state through a clip's life, step by step: what each media event and a
// hovered seek time change, and which controls a window has to set again.
#include "app/PlayerControlState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/ClipInfo.h"

namespace {

namespace Changes = PlayerControlChanges;

unsigned LoadClip(CPlayerControlState& state, double duration) {
    CClipInfo clip;
    clip.duration = duration;
    return state.Load(&clip);
}

} // namespace

TEST(PlayerControlState, EventsAndHoverHoldThroughAClipsLife) {
    constexpr int kMaxSeconds = std::numeric_limits<int>::max();
    const struct {
        const char* step;
        unsigned (*apply)(CPlayerControlState&);
        unsigned changes;
        EPlayState play;
        const wchar_t* tooltip;
        bool seekable;
        int position;
        int duration;
        bool timeShown;
        const wchar_t* timeText;
        bool held;
    } steps[] = {
        {"a load that reports no clip", [](auto& s) { return s.Load(nullptr); }, Changes::Play,
         EPlayState::Stopped, L"Play", false, 0, 0, false, L"", false},
        {"a 90.9 s clip loads", [](auto& s) { return LoadClip(s, 90.9); },
         Changes::Play | Changes::Seek | Changes::Time, EPlayState::Stopped, L"Play", true, 0, 90,
         true, L"00:00/01:30", false},
        {"playing", [](auto& s) { return s.SetPlayState(EPlayState::Playing); }, Changes::Play,
         EPlayState::Playing, L"Pause", true, 0, 90, true, L"00:00/01:30", false},
        {"a position", [](auto& s) { return s.MoveTo(5, 90); }, Changes::Seek | Changes::Time,
         EPlayState::Playing, L"Pause", true, 5, 90, true, L"00:05/01:30", false},
        {"a hover takes the label", [](auto& s) { return s.Hover(60); }, Changes::Time,
         EPlayState::Playing, L"Pause", true, 5, 90, true, L"01:00/01:30", true},
        {"a held position moves only the slider", [](auto& s) { return s.MoveTo(6, 90); },
         Changes::Seek, EPlayState::Playing, L"Pause", true, 6, 90, true, L"01:00/01:30", true},
        {"the hold ends", [](auto& s) { return s.EndHoverHold(); }, 0U, EPlayState::Playing,
         L"Pause", true, 6, 90, true, L"01:00/01:30", false},
        {"the next position shows", [](auto& s) { return s.MoveTo(7, 91); },
         Changes::Seek | Changes::Time, EPlayState::Playing, L"Pause", true, 7, 91, true,
         L"00:07/01:31", false},
        {"paused", [](auto& s) { return s.SetPlayState(EPlayState::Paused); }, Changes::Play,
         EPlayState::Paused, L"Play", true, 7, 91, true, L"00:07/01:31", false},
        {"stopped, the clip still loaded", [](auto& s) { return s.Stop(true); },
         Changes::Play | Changes::Seek | Changes::Time, EPlayState::Stopped, L"Play", true, 0, 91,
         false, L"00:07/01:31", false},
        {"a clip of unknown (NaN) length", [](auto& s) { return LoadClip(s, std::nan("")); },
         Changes::Play | Changes::Seek | Changes::Time, EPlayState::Stopped, L"Play", true, 0, 0,
         true, L"00:00/00:00", false},
        {"a clip longer than int seconds", [](auto& s) { return LoadClip(s, 1e300); },
         Changes::Play | Changes::Seek | Changes::Time, EPlayState::Stopped, L"Play", true, 0,
         kMaxSeconds, true, L"00:00/596523:14:07", false},
        {"completed", [](auto& s) { return s.End(); }, Changes::Play | Changes::Seek,
         EPlayState::Stopped, L"Play", false, 0, kMaxSeconds, true, L"00:00/596523:14:07", false},
        {"stopped with nothing loaded", [](auto& s) { return s.Stop(false); },
         Changes::Play | Changes::Seek | Changes::Time, EPlayState::Stopped, L"Play", false, 0,
         kMaxSeconds, false, L"00:00/596523:14:07", false},
    };
    CPlayerControlState state;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        EXPECT_EQ(step.apply(state), step.changes);
        EXPECT_EQ(state.PlayState(), step.play);
        EXPECT_STREQ(state.PlayTooltip(), step.tooltip);
        EXPECT_EQ(state.IsSeekable(), step.seekable);
        EXPECT_EQ(state.Position(), step.position);
        EXPECT_EQ(state.Duration(), step.duration);
        EXPECT_EQ(state.IsTimeShown(), step.timeShown);
        EXPECT_EQ(state.TimeText(), step.timeText);
        EXPECT_EQ(state.IsHoverHeld(), step.held);
    }

    // Volume and mute are changes of their own: a position never sets them.
    EXPECT_EQ(state.SetVolume(35), Changes::Volume);
    EXPECT_EQ(state.SetMute(true), Changes::Mute);
    EXPECT_EQ(state.MoveTo(1, 2) & (Changes::Volume | Changes::Mute), 0U);
    EXPECT_EQ(state.Volume(), 35);
    EXPECT_TRUE(state.IsMuted());
}
