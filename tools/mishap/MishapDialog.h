#pragma once
// The window of the crash-report program: what faulted, the error log "ERRORLOG.TXT" of the
// report folder (UTF-16LE) to read, and buttons to copy the log, to open the folder (where the
// log and the minidump "CRASH.DMP" lie, to be sent on by the user) and to close.
//
// Threads: the user-interface thread.
#include <QDialog>
#include <QString>
#include <string>

class CMishapDialog : public QDialog {
public:
    // folder is the report folder as the player gave it (bytes, ending with "/").
    CMishapDialog(const QString& program, const QString& version, std::string folder);

private:
    void CopyReport();
    void OpenFolder();

    std::string m_folder;
    QString m_report;
};

// The error log of the folder as text; empty when it cannot be read.
QString ReadErrorLog(const std::string& folder);
