#pragma once
// The version file "qor.ini" beside the program: an INI-like text of 8-bit lines, read afresh
// wherever the version is shown or sent (log, about dialog, upgrade check, crash report).
//
// Line rules, after leading blanks/tabs and the trailing CR/LF are removed and empty lines are
// skipped, in this order: "[name]" (the last non-blank character is "]") opens a section named by
// the text between the brackets; a line with "=" after its first character is a key and value of
// the current section (the key is the text before the first "=", nothing removed; lines before
// the first section are ignored); anything else (comments starting with "#", a line starting with
// "=") is ignored. Names are case-sensitive.
//
// Threads: any; the object is a value.
#include <map>
#include <optional>
#include <string>

class CVersionFile {
public:
    // Replaces whatever was read before.
    void Parse(const std::string& text);
    // False when the file cannot be read; what was read before is dropped then too.
    bool Load(const std::wstring& path);

    bool HasSection(const std::string& section) const;
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;

    // "Major.Minor.Build" of section "Version", each value trimmed of blanks, with " beta"
    // appended when Beta is "1"; empty without the section.
    std::string VersionString() const;

private:
    std::map<std::string, std::map<std::string, std::string>> m_sections;
};

// The version string of the "qor.ini" in the program's folder; empty when it is missing.
std::wstring ReadProgramVersion();
