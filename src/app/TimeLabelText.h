#pragma once
// The time label of the main window and of the full-screen toolbar: the position as a clock text
// and the duration as a short duration text, both in whole seconds ("00:05/2m", "01:02:05/1.5h").
// One function so that both windows always show the same text for the same moment (a hovered seek
// time included).
//
// Threads: any; pure.
#include <cstdint>
#include <string>

#include "core/TimeText.h"

inline std::wstring TimeLabelText(std::int64_t positionSeconds, double durationSeconds) {
    return FormatClock(positionSeconds) + L"/" +
           FormatDurationShort(static_cast<std::int64_t>(durationSeconds));
}
