#pragma once

// A text file read and written line by line in one of three encodings:
// - wide: UTF-16LE, chosen by the kModeWide open flag, and when reading also by a leading FF FE;
// - UTF-8 (code page 65001), with its mark EF BB BF;
// - the "ANSI" code page (-1, the default): each line is taken as UTF-8 where its bytes are valid
//   UTF-8, else in the legacy encoding detected once for the whole file; written as UTF-8.
// Other Windows code page numbers are read and written through iconv.
//
// Lines end with a line feed; ReadString removes it and one carriage return before it, and
// WriteString writes exactly the text it is given. One object serves one caller on one thread.

#include "core/LegacyText.h"

#include <cstdio>
#include <string>

class CStdioFileEx {
public:
    // Open flags. Without kModeWrite or kModeCreate the file is opened for reading only; files are
    // never opened for reading and writing at once.
    static constexpr unsigned kModeWrite = 0x0001;
    // Creates the file for writing, emptying an existing one unless kModeNoTruncate is given too.
    static constexpr unsigned kModeCreate = 0x1000;
    static constexpr unsigned kModeNoTruncate = 0x2000;
    // Text is UTF-16LE.
    static constexpr unsigned kModeWide = 0x200000;
    // Reading only: lines are file paths, so UTF-16LE lines keep their escaped file-name bytes
    // (lone surrogates U+DC80..U+DCFF, see WideText.h) instead of replacing them. 8-bit lines are
    // read as any other: a legacy encoding is how the systems that write them name files.
    static constexpr unsigned kModePaths = 0x400000;

    CStdioFileEx() = default;
    ~CStdioFileEx() { Close(); }
    CStdioFileEx(const CStdioFileEx&) = delete;
    CStdioFileEx& operator=(const CStdioFileEx&) = delete;

    // Closes any file open before. A file opened for writing and not emptied is written at its
    // end, so that text already in it is kept. False when the file cannot be opened.
    bool Open(const std::wstring& path, unsigned flags);
    // False when text written before could not be stored.
    bool Close();

    // The next line without its line feed and one trailing CR; a last line without a line feed
    // counts too. A byte-order mark at the start of the file is skipped. False at end of file.
    bool ReadString(std::wstring& line);
    // Before the first text of an empty file writes the mark (FF FE when wide, EF BB BF for code
    // page 65001). False when the write fails.
    bool WriteString(const std::wstring& text);

    void SetCodePage(int codePage) { m_codePage = codePage; }

    // Whether the file starts with FF FE (UTF-16LE), or with EF BB BF (UTF-8).
    static bool IsFileUnicode(const std::wstring& path);
    static bool IsFileUtf8(const std::wstring& path);

private:
    void SkipMarkAtStart();
    bool ReadWideLine(std::wstring& line);
    bool ReadNarrowLine(std::wstring& line);
    std::wstring DecodeAnsi(const std::string& bytes);

    std::FILE* m_file = nullptr;
    bool m_wide = false;
    bool m_paths = false;
    int m_codePage = kCodePageAnsi;
    bool m_atStart = true;
    // The legacy encoding of this file's non-UTF-8 lines, detected at the first such line.
    std::string m_legacyEncoding;
};
