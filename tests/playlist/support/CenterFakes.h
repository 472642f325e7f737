#pragma once
// Stand-ins for what the control center asks the desktop: file dialogs answered from a list, and
// one DVD drive whose disc is a folder.
#include "playlist/CenterDialogs.h"
#include "playlist/DiscAccess.h"

#include <optional>
#include <string>
#include <vector>

class CFakeDvdAccess : public IDiscAccess {
public:
    explicit CFakeDvdAccess(std::wstring mountPoint) : m_mountPoint(std::move(mountPoint)) {}
    std::vector<CDiscDrive> OpticalDrives() override {
        return {{L"sr0", L"/dev/sr0", m_mountPoint}};
    }
    std::wstring VolumeLabel(const CDiscDrive&) override { return L"FILM"; }
    bool ReadToc(const CDiscDrive&, CDiscToc&) override { return false; }

private:
    std::wstring m_mountPoint;
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
