#pragma once
// Radio buttons: a check that a single click, pressed and released inside, turns on (never off),
// and the group that keeps one member on.
//
// Who calls: the owning window creates the radios, adds them to a group and calls Select when it
// changes the choice (normally from a radio's "LeftClicked"). Threads: user-interface thread only.
#include <vector>

#include "skin/controls/SkinCheck.h"

class CSkinRadio : public CSkinCheck {
    Q_OBJECT
protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Not a window: an ordered list of radios, not owned; they must outlive the group or be removed
// with Clear first.
class CSkinRadioGroup {
public:
    void Add(CSkinRadio* radio);
    // Checks `radio` and clears every other member; all are repainted.
    void Select(CSkinRadio* radio);
    void Clear() { m_members.clear(); }

private:
    std::vector<CSkinRadio*> m_members;
};
