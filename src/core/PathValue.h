#pragma once

// A file or folder path split into its parts, built from a full path or from one of the places
// the platform knows (SpecialFolder). A plain value: copy it freely, use it on any thread.
//
// "/a/b/c.d.mkv" splits into directory "/a/b/", name "c.d" and extension ".mkv". A leading dot
// starts a hidden file's name, not an extension: ".x" has the name ".x" and no extension, while
// ".x.srt" has the name ".x" and the extension ".srt". Paths carry no drive on this system, so
// the drive part is always empty; it is kept so that Folder() and FullPath() read as everywhere.

#include <string>

enum class SpecialFolder {
    ExecutablePath = 1,
    ExecutableFolder = 2,
    // There is no Windows folder on Linux. The closest is /usr/, the tree the system is installed
    // in; the system-library folder that lies within the Windows folder maps, keeping that
    // nesting, to /usr/lib/, where the shared libraries live.
    WindowsFolder = 3,
    SystemFolder = 4,
    TempFolder = 5,
    Desktop = 6,
    // Browser favourites have no folder on Linux desktops: always empty.
    Favorites = 7,
    Personal = 8,
    MyMusic = 9,
    // A new empty file "~XXXXXX" in the temporary-files folder; the caller removes it.
    UniqueTempFile = 10,
};

class CPathValue {
public:
    CPathValue() = default;
    explicit CPathValue(const std::wstring& fullPath);
    // A kind outside the enumeration, or a place this system lacks, gives the empty path.
    explicit CPathValue(SpecialFolder kind);

    const std::wstring& Drive() const { return m_drive; }
    const std::wstring& Directory() const { return m_directory; }
    std::wstring FullPath() const { return m_drive + m_directory + m_name + m_extension; }
    std::wstring Folder() const { return m_drive + m_directory; }
    std::wstring FileName() const { return m_name + m_extension; }
    const std::wstring& Title() const { return m_name; }
    const std::wstring& Extension() const { return m_extension; }

    // Whether the path names an existing file or folder.
    bool Exists() const;

private:
    void Split(const std::wstring& fullPath);

    std::wstring m_drive;
    std::wstring m_directory;
    std::wstring m_name;
    std::wstring m_extension;
};
