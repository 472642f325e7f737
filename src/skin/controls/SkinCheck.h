#pragma once
// Check buttons: a button strip followed by the same looks in the checked state. The owner
// decides the checked flag (SetCheck); a click alone does not change it, because the state is
// Pressed, not Hover, when a press is released inside.
//
// Who calls: the owning window. Threads: user-interface thread only.
#include "skin/controls/SkinButton.h"

class CSkinCheck : public CSkinButton {
    Q_OBJECT
public:
    // The button's four frames, then the checked look's normal, hover, pressed and state-3 frames.
    bool Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                int normalFrame, int hoverFrame, int pressedFrame, int state3Frame,
                int checkedNormalFrame, int checkedHoverFrame, int checkedPressedFrame,
                int checkedState3Frame);

    void SetCheck(bool checked);
    bool GetCheck() const { return m_checked; }

    void Paint(QPainter& painter) override;

protected:
    // Inverts the flag when the release finds the state Hover, then the base release.
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_checked = false;
    int m_checkedNormal = -1;
    int m_checkedHover = -1;
    int m_checkedPressed = -1;
    int m_checkedState3 = -1;
};

// Where playback stands, as the play button shows it.
enum class EPlayState { Stopped, Paused, Playing };

// The play button: the play look while stopped or paused, the pause look (checked) while playing.
class CSkinButtonPlay : public CSkinCheck {
    Q_OBJECT
public:
    void SetPlayState(EPlayState state);
    EPlayState GetPlayState() const { return m_playState; }

private:
    EPlayState m_playState = EPlayState::Stopped;
};
