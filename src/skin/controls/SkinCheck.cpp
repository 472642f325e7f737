#include "skin/controls/SkinCheck.h"

#include <QMouseEvent>
#include <QPainter>

bool CSkinCheck::Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                        int normalFrame, int hoverFrame, int pressedFrame, int state3Frame,
                        int checkedNormalFrame, int checkedHoverFrame, int checkedPressedFrame,
                        int checkedState3Frame) {
    m_checkedNormal = checkedNormalFrame;
    m_checkedHover = checkedHoverFrame;
    m_checkedPressed = checkedPressedFrame;
    m_checkedState3 = checkedState3Frame;
    return CSkinButton::Create(parent, x, y, width, height, skin, normalFrame, hoverFrame,
                               pressedFrame, state3Frame);
}

void CSkinCheck::SetCheck(bool checked) {
    m_checked = checked;
    update();
}

void CSkinCheck::Paint(QPainter& painter) {
    CSkinButton::Paint(painter);
    if (!m_checked || Skin() == nullptr) {
        return;
    }
    int x = -1;
    int y = 0;
    if (State() == SKIN_STATE_3) {
        x = FrameX(m_checkedState3);
    } else if (State() == SKIN_STATE_PRESSED) {
        x = FrameX(m_checkedPressed);
    } else if (State() == SKIN_STATE_HOVER) {
        x = FrameX(m_checkedHover);
        AdjustHoverSource(x, y);
    }
    if (x == -1) {
        x = FrameX(m_checkedNormal);
    }
    if (x != -1) {
        Skin()->Blit(painter, QPoint(0, 0), QRect(x, y, FrameWidth(), FrameHeight()));
    }
}

void CSkinCheck::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && State() == SKIN_STATE_HOVER) {
        m_checked = !m_checked;
    }
    CSkinButton::mouseReleaseEvent(event);
}

void CSkinButtonPlay::SetPlayState(EPlayState state) {
    m_playState = state;
    SetCheck(state == EPlayState::Playing);
}
