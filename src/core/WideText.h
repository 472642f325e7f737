#pragma once

// Conversions between the program's wide strings (UTF-32 code points in std::wstring on Linux)
// and the byte forms found on disk and handed to libraries: UTF-8 (file names, FFmpeg, libass,
// the log) and UTF-16LE (text files). Pure functions, safe on any thread.
//
// None of them fails: an invalid byte sequence, a lone surrogate or a value beyond U+10FFFF
// becomes U+FFFD, so text damaged on disk still shows up instead of vanishing.

#include <string>
#include <string_view>

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// Characters beyond the Basic Multilingual Plane become surrogate pairs and back.
std::string WideToUtf16Le(std::wstring_view text);
// An odd trailing byte becomes one U+FFFD.
std::wstring Utf16LeToWide(std::string_view bytes);
