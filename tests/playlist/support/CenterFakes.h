#pragma once
// Stand-ins for what the control center asks the desktop: file dialogs answered from a list, and
// one DVD drive whose disc is a folder.
#include "core/WideText.h"
#include "platform/DiscAccess.h"
#include "playlist/CenterDialogs.h"

#include <optional>
#include <string>
#include <vector>

class CFakeDvdAccess : public IDiscAccess {
public:
    explicit CFakeDvdAccess(const std::wstring& mountPoint)
        : m_mountPoint(PathToBytes(mountPoint)) {}
    std::vector<CDiscDrive> OpticalDrives() override { return {{"sr0", "/dev/sr0", m_mountPoint}}; }
    std::string VolumeLabel(const CDiscDrive&) override { return "FILM"; }
    bool ReadToc(const CDiscDrive&, CDiscToc&) override { return false; }

private:
    std::string m_mountPoint;
};

// Answers every file question with `answer` and the folder question with `folder`, and keeps
// what was asked and shown.
class CAnsweringDialogs : public ICenterDialogs {
public:
    std::vector<std::wstring> AskFiles(const CFileQuestion& question) override {
        questions.push_back(question);
        return answer;
    }
    std::optional<std::wstring> AskFolder(QWidget*) override { return folder; }
    void ShowMessage(QWidget*, const std::wstring& text) override { messages.push_back(text); }

    std::vector<std::wstring> answer;
    std::optional<std::wstring> folder;
    std::vector<CFileQuestion> questions;
    std::vector<std::wstring> messages;
};
