#include "app/startup/AppQuit.h"

#include "core/Log.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

CAppQuit::~CAppQuit() {
    if (m_quitting && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void CAppQuit::Quit() {
    if (m_quitting) {
        return;
    }
    m_quitting = true;
    Log({"CAppQuit::Quit", LOG_LEVEL_INFO}, "closing the open dialogs and the main window");
    QCoreApplication::instance()->installEventFilter(this);
    // Rejecting hides a dialog and tells whoever waits for its answer (its exec, its finished
    // signal) that it was cancelled; a modal dialog's loop unwinds once this call returns, after
    // the main window's close has saved what the exit saves.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window);
            dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
    if (m_mainWindow != nullptr) {
        m_mainWindow->close();
    }
    // exit() rather than quit(): quit() goes through the windows' close handling, which a window
    // may refuse; the program ends whatever its windows say.
    QCoreApplication::exit(0);
}

bool CAppQuit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        // Queued: rejected inside its own show, the dialog would hide before exec starts its
        // loop, and that loop would then wait for an answer that never comes.
        if (dialog != nullptr && dialog->isWindow()) {
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
