#pragma once

// The look every subtitle track gets from the renderer: the default style written over a track's
// first style, the temporary tracks that carry one piece of stream text, and the font file libass
// falls back to. Callers hold the renderer's lock while they touch a track.

#include "media/AssPtr.h"

#include <string>

// Font size as a share of the script's vertical resolution, then the size mode's enlargement:
// big enough to read on a TV-sized frame.
constexpr double kFontSizePercent = 3.5;
constexpr double kFontSizeModeScale = 1.4;

// Vertical resolution libass assumes for a script that names none.
constexpr int kDefaultPlayResY = 288;
constexpr int kDefaultPlayResX = 384;

// Default style font size for a script of that vertical resolution (28.224 for 576 lines).
double DefaultFontSize(int playResY);

// Writes the default style over the track's first style, making one first when it has none.
// False when no style could be made.
bool ApplyDefaultStyle(ASS_Track* track);

// An empty ASS track at the video's size (384 x 288 when a size is unknown) with the default
// style; null when libass cannot make one.
CAssTrackPtr NewTemporaryTrack(ASS_Library* library, int videoWidth, int videoHeight);

// The font file fontconfig matches for "Arial", else for "Tahoma", as a UTF-8 path; empty when
// neither match names an existing file. Looked up once per process. Any thread.
const std::string& DefaultFontFile();
