#pragma once
// The dialog that tells the user a new release has been downloaded. "Install" accepts it; any
// other close rejects it. It places itself near the lower right corner of its screen.
//
// Threads: the user-interface thread only (the upgrade check asks that thread to run it).
#include <QDialog>

#include <string>

class CDlgUpgrading : public QDialog {
    Q_OBJECT
public:
    // installerName: the downloaded installer's file name; runningVersion: the version string.
    CDlgUpgrading(const std::wstring& installerName, const std::wstring& runningVersion,
                  QWidget* parent = nullptr);

    // The vendor's change-log page for the running version, which "What's New" opens.
    static QUrl ChangeLogUrl(const std::wstring& runningVersion);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::wstring m_runningVersion;
};
