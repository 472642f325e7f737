#include "support/FullScreenShot.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace {

QString Describe(const QWidget& widget) {
    const QLabel* label = qobject_cast<const QLabel*>(&widget);
    const QAbstractButton* button = qobject_cast<const QAbstractButton*>(&widget);
    const QString text = label != nullptr ? label->text() : button != nullptr ? button->text() : "";
    return QStringLiteral("%1 \"%2\"").arg(widget.metaObject()->className(), text);
}

// Room the text needs beyond the box, for the single-line texts of labels and buttons.
bool TextTooWide(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->text().isEmpty() || !label->pixmap().isNull()) {
            return false;
        }
        if (label->wordWrap()) {
            return label->heightForWidth(label->width()) > label->height();
        }
        const QSize needed = label->sizeHint();
        return needed.width() > label->width() || needed.height() > label->height();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        const QFontMetrics metrics(button->font());
        return metrics.horizontalAdvance(button->text()) > button->width() ||
               metrics.height() > button->height();
    }
    return false;
}

} // namespace

QStringList CutOffParts(const QWidget& window) {
    QStringList parts;
    const QRect area = window.rect();
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden() || child->isWindow()) {
            continue;
        }
        if (!area.contains(child->geometry())) {
            parts << Describe(*child) + QStringLiteral(" outside the window");
        }
        if (TextTooWide(*child)) {
            parts << Describe(*child) + QStringLiteral(" does not fit its box");
        }
    }
    return parts;
}

QString SaveScreenshot(QWidget& window, const QString& name) {
    const QString folder = qEnvironmentVariable("QOR_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        return {};
    }
    QDir().mkpath(folder);
    const QString path =
        QStringLiteral("%1/%2@%3x.png").arg(folder, name).arg(window.devicePixelRatioF());
    return window.grab().save(path) ? path : QString();
}
