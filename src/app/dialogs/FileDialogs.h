#pragma once
// The desktop's answers to the control center's questions: QFileDialog for files and folders,
// QMessageBox for messages. The application sets one on the center (SetDialogs) at start-up.
//
// Threads: user-interface thread only; each call runs a modal dialog over the question's owner
// (which may be null).
#include "playlist/CenterDialogs.h"

class CQtCenterDialogs : public ICenterDialogs {
public:
    std::vector<std::wstring> AskFiles(const CFileQuestion& question) override;
    // Folders only; the answer ends with '/'.
    std::optional<std::wstring> AskFolder(QWidget* owner) override;
    void ShowMessage(QWidget* owner, const std::wstring& text) override;
};
