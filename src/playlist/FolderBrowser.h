#pragma once

#include <optional>
#include <string>

class QWidget;

// Asks the user for a folder ("Add Folder"); folders only, starting at initial when it is given.
// User-interface thread; modal over owner (which may be null). Returns the chosen folder ending
// with '/', or nothing when the user cancels.
std::optional<std::wstring> BrowseForFolder(QWidget* owner, const std::wstring& title,
                                            const std::wstring& initial);
