#include "app/dialogs/FileDialogs.h"

#include "core/SystemFolders.h"
#include "playlist/FileFilter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

constexpr char kMessageCaption[] = "QOR";
constexpr char kFolderCaption[] = "Add Folder";

} // namespace

std::vector<std::wstring> CQtCenterDialogs::AskFiles(const CFileQuestion& question) {
    const QString start = QString::fromStdWString(
        question.initialName.empty() ? question.initialFolder : question.initialName);
    QFileDialog dialog(question.owner, QString(), start, ToFileDialogFilter(question.filter));
    if (question.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QString::fromStdWString(question.defaultExtension));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(question.multiSelect ? QFileDialog::ExistingFiles
                                                : QFileDialog::ExistingFile);
    }
    std::vector<std::wstring> chosen;
    if (dialog.exec() != QDialog::Accepted) {
        return chosen;
    }
    for (const QString& file : dialog.selectedFiles()) {
        chosen.push_back(file.toStdWString());
    }
    return chosen;
}

std::optional<std::wstring> CQtCenterDialogs::AskFolder(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QString::fromLatin1(kFolderCaption), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return WithTrailingSlash(folder.toStdWString());
}

void CQtCenterDialogs::ShowMessage(QWidget* owner, const std::wstring& text) {
    QMessageBox::information(owner, QString::fromLatin1(kMessageCaption),
                             QString::fromStdWString(text), QMessageBox::Ok);
}
