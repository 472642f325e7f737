#pragma once
// The splitter bar between the video and the playlist: a vertical bar dragged sideways, with a
// check box in its middle. While dragging, a grey line shows where the bar will go; on release
// the bar reports its new position (rules/SizerRules.h) and the owner moves it.
//
// Events: "SkinSizerPosChanged"(position in the parent, press x or 0) on every release of a
// press on the bar; "SkinSizerBoxChecked"(flag, 0) when the box was clicked; the base events.
//
// Who calls: the owning window. Threads: user-interface thread only. The sizer owns its box, its
// bitmap and the drag line (a widget on the parent, above the other children, present only
// during a drag).
#include <QPointer>

#include "skin/SkinCtrl.h"
#include "skin/controls/SkinCheck.h"

class CSkinSizer : public CSkinCtrl {
    Q_OBJECT
public:
    // Width of the drag line and its colour; the bar's own colour.
    static constexpr int kLineWidth = 10;
    static constexpr QRgb kLineColour = qRgb(164, 164, 164);
    static constexpr QRgb kBarColour = qRgb(72, 72, 64);

    CSkinSizer();
    ~CSkinSizer() override;

    bool Create(QWidget* parent, int x, int y, int width, int height, int minimum);

    bool IsBoxChecked() const { return m_box.GetCheck(); }
    void SetBoxChecked(bool checked) { m_box.SetCheck(checked); }
    // The drag line while a drag is in progress, else null.
    const QWidget* DragLine() const { return m_line.data(); }
    CSkinCheck& Box() { return m_box; }

    void Paint(QPainter& painter) override;
    void SetHoverCursor() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void PressLost() override;

private:
    void OnBoxClicked(ISubject* sender, EventArg x, EventArg y);
    // Centres the box vertically.
    void PlaceBox();
    void ShowLine();
    void RemoveLine();

    CMemDC2 m_skin; // bitmap 136, the box's strip
    CSkinCheck m_box;
    int m_lineOffset = -1; // x of the line within the bar
    int m_pressX = 0;
    int m_minimum = 0;
    QPointer<QWidget> m_line; // owned; a child of the parent window during a drag
};
