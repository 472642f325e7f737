#pragma once
// "About": the product name and version ("Zelia Media Player 1.2.3", also the title) and a
// "ChangeLog" link that opens the vendor's change-log page for that version in the browser.
// Laid out from its template in dialog units (DialogTemplate.h).
//
// Who calls: the main window's "About Q&OR" command, with the version read afresh from the
// version file; it constructs the dialog on its stack and runs exec(). Threads: user-interface
// thread only.
#include <string>

#include <QDialog>
#include <QUrl>

class QLabel;

class CDlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit CDlgAbout(std::wstring version, QWidget* parent = nullptr);

    QString VersionText() const;
    // The link control; a click on its link opens ChangeLogUrl.
    QLabel* ChangeLogLink() const { return m_link; }

private:
    std::wstring m_version;
    QLabel* m_versionText; // static 1000; owned by the dialog, as every child
    QLabel* m_link;        // control 1004
};

// "https://<vendor host>/media-player/changelog.htm?v=<version>", the version percent-encoded
// (a version may end in " beta").
QUrl ChangeLogUrl(const std::wstring& version);
