#pragma once
// Dialogs laid out from templates written in dialog units: one horizontal unit is a quarter of the
// dialog font's average character width, one vertical unit an eighth of its height, the way the
// templates' original platform converts them. A dialog set in a larger font (a desktop setting, a
// scale factor) therefore grows with its text, and the text keeps fitting its boxes.
//
// Threads: user-interface thread (fonts belong to it).
#include <QFont>
#include <QPixmap>
#include <QRect>

class QFontMetrics;
class QString;
class QWidget;

// The font the templates ask for ("MS Shell Dlg", 8 points): the desktop's general font at that
// size.
QFont TemplateDialogFont();
// The program's icon for a template's icon control, at the size the templates' platform gives
// it; a standard media icon while the program has none.
QPixmap TemplateDialogIcon(const QWidget& dialog);
// That size in pixels.
inline constexpr int kTemplateIconSize = 32;

// A name or path set into a box `width` pixels wide and `lines` lines high: broken into lines
// that fit, preferably after a separator ("/", "_", "-", ".", " ") near the end of a line, else
// between any two characters (a file name has no spaces to wrap at); what does not fit the last
// line is elided in its middle. Never cut off at the box's edge.
QString WrapToBox(const QString& text, const QFontMetrics& metrics, int width, int lines);

class CDialogUnits {
public:
    // From the font's metrics: the average width of the 52 Latin letters, rounded, and the height.
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int averageCharWidth, int charHeight)
        : m_charWidth(averageCharWidth), m_charHeight(charHeight) {}

    // Pixels of a template rectangle (x, y, width, height), each value rounded to nearest.
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;
    QPoint Point(int x, int y) const { return {X(x), Y(y)}; }
    int X(int units) const;
    int Y(int units) const;

private:
    int m_charWidth;
    int m_charHeight;
};
