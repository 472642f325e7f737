#pragma once
// The questions the control center's file commands ask the user, behind a small interface so that
// tests can answer them without a modal dialog. The application layer supplies the desktop's
// dialogs (app/dialogs/FileDialogs.h).
//
// Threads: user-interface thread only. Ownership: the owner widget is not owned and may be null.
#include <optional>
#include <string>
#include <vector>

class QWidget;

struct CFileQuestion {
    bool save = false;        // a save dialog that asks before overwriting; else an open dialog
    bool multiSelect = false; // open dialogs only
    std::wstring filter;      // stored form, see FileFilter.h
    // The dialog starts at the file name when it is not empty, else in the folder.
    std::wstring initialName;
    std::wstring initialFolder;
    std::wstring defaultExtension; // without the dot; save dialogs
    QWidget* owner = nullptr;
};

class ICenterDialogs {
public:
    // Full paths of the chosen files; empty when the user cancelled.
    virtual std::vector<std::wstring> AskFiles(const CFileQuestion& question) = 0;
    // The chosen folder ending with '/'; nothing when the user cancelled.
    virtual std::optional<std::wstring> AskFolder(QWidget* owner) = 0;
    // An information box with an OK button.
    virtual void ShowMessage(QWidget* owner, const std::wstring& text) = 0;
    virtual ~ICenterDialogs() = default;
};
