#pragma once

// Texts for times and free disk space shown in the main window, the full-screen toolbar and the
// playlist, and the whole seconds they count. Pure functions except FormatFreeSpace, which asks
// the file system; any thread. Numbers are written the same in every locale.

#include <cstdint>
#include <optional>
#include <string>

#include "core/WholeNumber.h"

// Seconds toward zero, held to the int range; NaN gives 0 (durations and positions come from
// files).
inline int WholeSeconds(double seconds) {
    return TruncateToInt(seconds);
}

// "mm:ss" under an hour, else "hh:mm:ss" with as many hour digits as needed ("100:00:00").
// Negative times count as 0.
std::wstring FormatClock(std::int64_t seconds);

// Under an hour, whole minutes rounded up ("2m" for 61 s); else hours with one decimal from the
// whole minutes ("1.5h" for 5400 s). Negative times count as 0.
std::wstring FormatDurationShort(std::int64_t seconds);

// "Free Space: <n> MB" with the whole MiB available to this user on the folder's file system;
// nothing when the file system cannot be asked.
std::optional<std::wstring> FormatFreeSpace(const std::wstring& folder);
