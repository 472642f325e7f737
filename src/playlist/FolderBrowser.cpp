#include "playlist/FolderBrowser.h"

#include "core/SystemFolders.h"

#include <QFileDialog>

std::optional<std::wstring> BrowseForFolder(QWidget* owner, const std::wstring& title,
                                            const std::wstring& initial) {
    const QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdWString(title),
                                                             QString::fromStdWString(initial),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return WithTrailingSlash(folder.toStdWString());
}
