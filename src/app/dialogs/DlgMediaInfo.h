#pragma once
// "Media Infomation" (spelled so): the name and folder of the loaded file, and a two-column list
// of its properties (DlgMediaInfoRows.h), made from the facts the engine read from the file. Laid
// out from its template in dialog units (DialogTemplate.h).
//
// Who calls: the main window's "Media &Info" command, only while a file is loaded; it constructs
// the dialog on its stack and runs exec(). Threads: user-interface thread only.
//
// Ownership: the facts are a copy, turned into texts in the constructor and not kept.
#include <QDialog>

#include "app/dialogs/DlgMediaInfoRows.h"

class QLabel;
class QTreeWidget;

class CDlgMediaInfo : public QDialog {
    Q_OBJECT
public:
    explicit CDlgMediaInfo(const CMediaFacts& facts, QWidget* parent = nullptr);

    // The list's rows as shown, label and value.
    std::vector<CMediaInfoRow> ShownRows() const;
    // The name with its extension, and the folder (ending in "/"), as read; the boxes show them
    // wrapped to fit.
    QString FileNameText() const;
    QString FolderText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SizeColumns();

    QString m_fileNameText;
    QString m_folderText;
    QLabel* m_fileName;  // static 1001; owned by the dialog, as every child below
    QLabel* m_folder;    // static 1002
    QTreeWidget* m_list; // list 1003
};
