#pragma once

// 8-bit text in encodings other than UTF-8: Windows code pages named by number, and files whose
// encoding is unknown and has to be guessed from their bytes. Pure functions, safe on any thread.

#include <string>
#include <string_view>

// The platform's "ANSI" code page: text in it is UTF-8 where its bytes are valid UTF-8 and in a
// detected legacy encoding elsewhere.
constexpr int kCodePageAnsi = -1;
constexpr int kCodePageUtf8 = 65001;

// The iconv name of a Windows code page number ("CP1251" for 1251); "UTF-8" for kCodePageUtf8 and
// for kCodePageAnsi, which is UTF-8 whenever we write.
std::string CodePageEncoding(int codePage);

// The legacy 8-bit encoding that uchardet sees in the bytes, as an iconv name. Windows-1252 when
// it cannot tell, when it names an encoding iconv does not know, or when it answers with an
// encoding that is no legacy 8-bit one (ASCII, UTF-8, UTF-16...).
std::string DetectLegacyEncoding(std::string_view sample);

// Bytes in the named encoding to wide text. Bytes the encoding does not define become U+FFFD; an
// unknown encoding name falls back to reading each byte as the code point of the same value.
std::wstring DecodeFromEncoding(std::string_view bytes, const std::string& encoding);

// Wide text to the named encoding. Characters the encoding lacks become '?'; an unknown encoding
// name gives UTF-8.
std::string EncodeToEncoding(std::wstring_view text, const std::string& encoding);
