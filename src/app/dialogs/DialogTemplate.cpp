#include "app/dialogs/DialogTemplate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QStyle>
#include <QWidget>

namespace {

constexpr int kTemplatePointSize = 8;

// a * b / c rounded to nearest, halves away from zero, for the non-negative values of templates.
int ScaleRounded(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

} // namespace

QFont TemplateDialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(kTemplatePointSize);
    return font;
}

QPixmap TemplateDialogIcon(const QWidget& dialog) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = dialog.style()->standardIcon(QStyle::SP_MediaPlay);
    }
    return icon.pixmap(kTemplateIconSize, kTemplateIconSize);
}

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_charWidth = (letters / 26 + 1) / 2;
    m_charHeight = metrics.height();
}

int CDialogUnits::X(int units) const {
    return ScaleRounded(units, m_charWidth, 4);
}

int CDialogUnits::Y(int units) const {
    return ScaleRounded(units, m_charHeight, 8);
}

QRect CDialogUnits::Rect(int x, int y, int width, int height) const {
    return {X(x), Y(y), X(width), Y(height)};
}

QSize CDialogUnits::Size(int width, int height) const {
    return {X(width), Y(height)};
}
