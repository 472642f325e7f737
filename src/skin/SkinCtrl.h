#pragma once
// Base of every skinned child control: blits one rectangle of a skin bitmap chosen by its visual
// state, tracks the mouse (hover, press, drag, leave) and announces what the mouse did as named
// events on its subject side (SkinEvents.h), in this order:
//   move:          "MouseDragging" (only while a press is tracked), then "MouseMove"
//   left press:    "LeftDown"
//   double click:  "LeftDoubleClicked" (in place of the second press)
//   left release:  "LeftUp", then "LeftClicked" when released inside; nothing without a press
//   pointer left:  "MouseLeave"
// so a double click reads LeftDown, LeftUp, LeftClicked, LeftDoubleClicked, LeftUp, LeftClicked.
// A press whose release cannot come (the control is disabled or hidden, or a move arrives with
// the left button up because the release went to another window) ends without events, back in
// the Normal state: Qt delivers no release to a disabled or hidden widget, and a press left
// tracked would turn every later plain move into "MouseDragging".
//
// Who calls: the owning window constructs the control (empty), then Create; owners subscribe to
// its events; subclasses may subscribe to their own events through the CObserver side (handlers
// registered with CSkinCtrl::RegisterHandler). Threads: user-interface thread only; events are
// raised synchronously from Qt's event handlers.
//
// Ownership: the skin surface is borrowed (normally an entry of the owning window's bitmap cache,
// which outlives the control). The control is a Qt child of its parent widget.
#include <string>

#include <QWidget>

#include "core/EventBus.h"
#include "skin/MemDC2.h"
#include "skin/rules/ChildLayout.h"

class QPainter;

enum ESkinState : int {
    SKIN_STATE_NORMAL = 0,
    SKIN_STATE_HOVER = 1,
    SKIN_STATE_PRESSED = 2,
    SKIN_STATE_3 = 3, // selects the state-3 source; nothing in the player sets it
};

enum ESkinTracking : int {
    SKIN_TRACKING_IDLE = 0,
    SKIN_TRACKING_CLICK = 1,        // pressed by a single click
    SKIN_TRACKING_DOUBLE_CLICK = 2, // pressed by the second click of a double click
};

class CSkinCtrl : public QWidget, public ISubject, public CObserver<CSkinCtrl> {
    Q_OBJECT
public:
    CSkinCtrl();
    ~CSkinCtrl() override;

    // Makes this a visible child of `parent` at (x, y) with size (|width|, |height|); negative
    // values are edge-relative and resolved by the owning window's LayoutChildren. Frames are
    // blitted from `skin` at the normal, hover and state-3 source positions; -1 for a source
    // means none given (a state-3 of -1 takes the normal position). Always succeeds.
    bool Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                int normalX, int normalY, int hoverX, int hoverY, int state3X = -1,
                int state3Y = -1);

    // Blits the frame of the current state (Normal, Hover through AdjustHoverSource, state 3);
    // nothing without a skin or a normal source.
    virtual void Paint(QPainter& painter);
    // Called while painting the Hover state with the hover position; subclasses may move it.
    virtual void AdjustHoverSource(int& x, int& y);
    // Called on every mouse move not during a press; the base sets the arrow.
    virtual void SetHoverCursor();

    void SetTooltipText(const std::wstring& text);
    const std::wstring& GetTooltipText() const { return m_tooltip; }
    void Show(bool visible) { setVisible(visible); }

    // The rectangle given to Create (negative values edge-relative).
    const CLayoutRequest& LayoutRequest() const { return m_layout; }
    int GetX() const { return m_layout.x; }
    int GetY() const { return m_layout.y; }
    int GetWidth() const { return m_layout.width; }
    int GetHeight() const { return m_layout.height; }

    int State() const { return m_state; }
    int Tracking() const { return m_tracking; }

protected:
    // Width and height of the frames, the absolute creation size.
    int FrameWidth() const;
    int FrameHeight() const;
    const CMemDC2* Skin() const { return m_skin; }
    void SetState(int state) { m_state = state; }
    // True from a left press (or double click) until its release or its loss.
    bool HasCapture() const { return m_tracking != SKIN_TRACKING_IDLE; }
    // Ends a tracked press that gets no release; subclasses undo what their press started and
    // then call this.
    virtual void PressLost();

    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    const CMemDC2* m_skin = nullptr; // borrowed
    CLayoutRequest m_layout;
    QPoint m_normalSource{-1, -1};
    QPoint m_state3Source{-1, -1};
    QPoint m_hoverSource{-1, -1};
    int m_state = SKIN_STATE_NORMAL;
    int m_tracking = SKIN_TRACKING_IDLE;
    std::wstring m_tooltip;
};
