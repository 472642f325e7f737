#pragma once
// A push button drawn from a horizontal strip of frames as wide as the button: frame i sits at
// x = width * i. Pressed shows its own frame over the normal painting.
//
// Who calls: the owning window (Create, then subscribes to "LeftClicked"). Threads: user-interface
// thread only. The strip is borrowed, as for every CSkinCtrl.
#include "skin/SkinCtrl.h"

class CSkinButton : public CSkinCtrl {
    Q_OBJECT
public:
    // Frame indices into the strip; -1 for a look the strip does not have.
    bool Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                int normalFrame, int hoverFrame, int pressedFrame, int state3Frame);

    void Paint(QPainter& painter) override;

protected:
    // Source x of frame `index` of the strip, -1 for -1.
    int FrameX(int index) const { return index < 0 ? -1 : FrameWidth() * index; }

private:
    QPoint m_pressedSource{-1, -1};
};
