#pragma once
// The time label of the main window and of the full-screen toolbar: position and duration, both
// as clock texts ("01:05/03:20"), whole seconds. One function so that both windows always show the
// same text for the same moment (a hovered seek time included).
//
// Threads: any; pure.
#include <cstdint>
#include <string>

#include "core/TimeText.h"

inline std::wstring TimeLabelText(std::int64_t positionSeconds, std::int64_t durationSeconds) {
    return FormatClock(positionSeconds) + L"/" + FormatClock(durationSeconds);
}
