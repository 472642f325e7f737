#include "skin/controls/SkinRadio.h"

#include <QMouseEvent>

void CSkinRadio::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && Tracking() == SKIN_TRACKING_CLICK && !GetCheck()) {
        SetCheck(true);
    }
    CSkinCheck::mouseReleaseEvent(event);
}

void CSkinRadioGroup::Add(CSkinRadio* radio) {
    m_members.push_back(radio);
}

void CSkinRadioGroup::Select(CSkinRadio* radio) {
    for (CSkinRadio* member : m_members) {
        member->SetCheck(member == radio);
    }
}
