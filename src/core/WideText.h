#pragma once

// Conversions between the program's wide strings (UTF-32 code points in std::wstring on Linux)
// and the byte forms found on disk and handed to libraries. Pure functions, safe on any thread.
//
// Text (the log, subtitles, tags, text files): UTF-8 and UTF-16LE. None of these fails: an
// invalid byte sequence, a lone surrogate or a value beyond U+10FFFF becomes U+FFFD, so text
// damaged on disk still shows up instead of vanishing.
//
// File names are bytes on Linux, mostly UTF-8 but not always (a Latin-1 name copied from an old
// disc, say), and must come back byte for byte whatever they hold. The path forms decode each
// byte that is not part of well-formed UTF-8 to the lone surrogate U+DC00 + byte (U+DC80..U+DCFF,
// since bytes below 0x80 always decode) and encode exactly those surrogates back to their byte;
// the same escape as Python's "surrogateescape" file-name handling. So PathToBytes(PathFromBytes
// (b)) == b for any bytes b, and a valid UTF-8 name decodes to the same text as with Utf8ToWide.
// Every path that reaches the file system, FFmpeg, libass or a playlist file goes through them.
// Any other surrogate, and a value beyond U+10FFFF, still becomes U+FFFD: decoding never makes
// one, so no name that came from the disk is affected.

#include <string>
#include <string_view>

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// Whether lone surrogates U+DC80..U+DCFF stand for file-name bytes (Keep, for paths) or are damage
// to be shown as U+FFFD (Replace, for text).
enum class EEscapes { Replace, Keep };

// Characters beyond the Basic Multilingual Plane become surrogate pairs and back; an odd trailing
// byte becomes one U+FFFD. Paths in UTF-16LE files (playlists) go with Keep: an escaped byte is
// written as its own lone surrogate unit and read back as one, so that a name the disk gave
// survives the file; a path without escaped bytes is written as valid UTF-16, as text is.
std::string WideToUtf16Le(std::wstring_view text, EEscapes escapes = EEscapes::Replace);
std::wstring Utf16LeToWide(std::string_view bytes, EEscapes escapes = EEscapes::Replace);

// The bytes the file system knows the path by, and back; see above.
std::string PathToBytes(std::wstring_view path);
std::wstring PathFromBytes(std::string_view bytes);
