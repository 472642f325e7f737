#pragma once

// Making an external subtitle file loadable by libass: SRT files are converted to ASS, and ASS
// files not in UTF-8 are copied as UTF-8, both into the Temp folder. The source file is never
// written. Called on the loading thread or a background load's thread, without the renderer's
// lock (these are file jobs that may take a while for long files).

#include <cstdint>
#include <stop_token>
#include <string>

// Starts every converted file: an SSA script whose events carry only their times and text.
extern const wchar_t* const kConvertedAssHeader;

// The ASS file to load for an .ass or .srt file (extension compared regardless of case); empty
// for any other extension or when the SRT file cannot be read. An SRT file becomes
// <tempFolder><title>.ass with one "Dialogue: 0,start,end,text" line per cue; cues without a
// readable time line are left out. An error while writing keeps the lines written so far. Once
// stop is requested the conversion ends (between two cues) with the empty path.
std::wstring ConvertToAss(const std::wstring& path, const std::wstring& tempFolder,
                          const std::stop_token& stop = {});

// The path itself when the file starts with the UTF-8 mark; else a UTF-8 copy under the same
// name in tempFolder (lines ending CR LF); empty when the file cannot be read.
std::wstring EnsureUtf8(const std::wstring& assPath, const std::wstring& tempFolder);

// The text before the first "</font>" and CR LF when the text holds that tag, else the text.
std::wstring CutAtClosingFontTag(const std::wstring& text);

// "H:MM:SS.cc", the time form of ASS events; negative times count as 0.
std::string AssTime(std::int64_t ms);

// Start and end in milliseconds from "00:01:02,345 --> 00:01:04,000" (a '.' may stand for the
// comma; anything after the end time, such as a position, is ignored).
bool ParseSrtTiming(const std::string& line, std::int64_t& startMs, std::int64_t& endMs);
