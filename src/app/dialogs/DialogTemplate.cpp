#include "app/dialogs/DialogTemplate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QStringList>
#include <QStyle>
#include <QWidget>

namespace {

constexpr int kTemplatePointSize = 8;
// Where a long name may break best: after one of these, if one lies in the line's last third.
constexpr QStringView kBreakAfter = u"/_-. ";

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

QString WrapToBox(const QString& text, const QFontMetrics& metrics, int width, int lines) {
    QStringList result;
    QString rest = text;
    while (!rest.isEmpty() && result.size() + 1 < lines &&
           metrics.horizontalAdvance(rest) > width) {
        qsizetype fit = 1; // at least one character per line, however narrow the box
        while (fit < rest.size() && metrics.horizontalAdvance(rest.left(fit + 1)) <= width) {
            ++fit;
        }
        for (qsizetype at = fit; at > fit * 2 / 3; --at) {
            if (kBreakAfter.contains(rest.at(at - 1))) {
                fit = at;
                break;
            }
        }
        result << rest.left(fit);
        rest.remove(0, fit);
    }
    if (!rest.isEmpty()) {
        result << metrics.elidedText(rest, Qt::ElideMiddle, width);
    }
    return result.join(QLatin1Char('\n'));
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
