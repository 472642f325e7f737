#pragma once
// Under the address sanitizer a long subtitle conversion takes minutes and the allocator's own
// locks stall other threads: the long loads run with fewer cues there, and their time bounds are
// printed rather than checked.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kTimeBoundsChecked = false;
#else
inline constexpr bool kTimeBoundsChecked = true;
#endif
inline constexpr int kLongSubtitleCues = kTimeBoundsChecked ? 100000 : 10000;
