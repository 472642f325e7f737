#include "skin/controls/SkinButton.h"

#include <cstdlib>

#include <QPainter>

bool CSkinButton::Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                         int normalFrame, int hoverFrame, int pressedFrame, int state3Frame) {
    const int frameWidth = std::abs(width);
    const auto frameX = [frameWidth](int index) { return index < 0 ? -1 : frameWidth * index; };
    const auto frameY = [](int index) { return index < 0 ? -1 : 0; };
    m_pressedSource = {frameX(pressedFrame), frameY(pressedFrame)};
    return CSkinCtrl::Create(parent, x, y, width, height, skin, frameX(normalFrame),
                             frameY(normalFrame), frameX(hoverFrame), frameY(hoverFrame),
                             frameX(state3Frame), frameY(state3Frame));
}

void CSkinButton::Paint(QPainter& painter) {
    CSkinCtrl::Paint(painter);
    if (State() == SKIN_STATE_PRESSED && m_pressedSource.x() != -1 && Skin() != nullptr) {
        Skin()->Blit(painter, QPoint(0, 0),
                     QRect(m_pressedSource, QSize(FrameWidth(), FrameHeight())));
    }
}
