#include "skin/controls/SkinRadio.h"

#include <QMouseEvent>

void CSkinRadio::mouseReleaseEvent(QMouseEvent* event) {
    // Only a release inside: one outside is no click, and the owner, who keeps the group to one
    // radio on "LeftClicked", would not hear of it.
    if (event->button() == Qt::LeftButton && Tracking() == SKIN_TRACKING_CLICK && !GetCheck() &&
        rect().contains(event->position().toPoint())) {
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
