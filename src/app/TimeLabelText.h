#pragma once
// The time label of the main window and of the full-screen toolbar: the position and the duration
// as clock texts in whole seconds ("00:04/00:10", "01:02:05/01:30:00"). The short duration text
// ("1m") is the playlist row's; on the label it would read as a much longer clip. One function so
// that both windows always show the same text for the same moment (a hovered seek time included).
//
// Threads: any; pure.
#include <cstdint>
#include <string>

#include "core/TimeText.h"

inline std::wstring TimeLabelText(std::int64_t positionSeconds, double durationSeconds) {
    return FormatClock(positionSeconds) + L"/" + FormatClock(WholeSeconds(durationSeconds));
}
