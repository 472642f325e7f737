#pragma once
// For the tests of the full-screen toolbar and the dialogs: what of a window would be cut off, and
// its picture saved for a person to look at.
#include <QString>
#include <QStringList>

class QWidget;

// One line per visible child that reaches outside the window, and per label or button whose text
// needs more room than its box, across or down (a wrapped label: more lines than fit its height).
QStringList CutOffParts(const QWidget& window);

// Saves window.grab() as <QOR_SCREENSHOT_DIR>/<name>@<ratio>x.png when that variable is set;
// returns the file written, empty when none.
QString SaveScreenshot(QWidget& window, const QString& name);
