#pragma once
// A skinned top-level window: frameless, painting its own frame from bitmap pieces, moved by a
// drag on any point that is not a child control, resized from a 5-pixel border (8 x 8 at the
// bottom-right corner), and laying its children out by edge-relative rectangles.
//
// Who calls: the windows of the application derive from it, override GetFramePiece (and, when
// they paint more, PaintBackground), create their controls as children, AddChild them and then
// call Create. Threads: user-interface thread only.
//
// Ownership: the window owns the skin bitmaps it hands out (GetSkinBitmap); they live until the
// window is destroyed, so controls may keep the pointers. The child list does not own the
// controls; they are the deriving window's members or Qt children and live as long as it.
#include <map>
#include <memory>
#include <vector>

#include <QRect>
#include <QWidget>

#include "skin/MemDC2.h"

class CSkinCtrl;
class QPainter;

class CSkinWnd : public QWidget {
    Q_OBJECT
public:
    // Minimum size answered by the base GetMinTrackSize.
    static constexpr QSize kDefaultMinTrackSize{200, 150};

    explicit CSkinWnd(QWidget* parent = nullptr);
    ~CSkinWnd() override;

    // Places the window at `rect` (screen coordinates), applies GetMinTrackSize and shows it.
    // Always succeeds; the result is kept for callers written against a failing creation.
    virtual bool Create(const QRect& rect);

    // The frame piece `index` (see rules/FramePlan.h): the bitmap it is cut from and its source
    // rectangle. The base has no pieces; a painted window answers for every piece it shows.
    virtual bool GetFramePiece(int index, const CMemDC2*& skin, QRect& source) const;
    virtual QSize GetMinTrackSize() const { return kDefaultMinTrackSize; }
    // Positions every child of the child list from its creation rectangle (rules/ChildLayout.h);
    // runs on every resize.
    virtual void LayoutChildren();

    // The window's copy of a skin bitmap, loaded on the first request at the window's device
    // pixel ratio and reloaded in place when that ratio changes. Never null (a missing bitmap
    // gives a null surface).
    CMemDC2* GetSkinBitmap(int bitmapId);
    // Appends a control to the child list (not owned).
    void AddChild(CSkinCtrl* control);
    const std::vector<CSkinCtrl*>& Children() const { return m_children; }

protected:
    // Hook painted before the frame; empty here.
    virtual void PaintBackground(QPainter& painter);
    // Paints the frame pieces in the order of PlanFrame, each clipped by those before it.
    virtual void PaintFrame(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Reloads the cached bitmaps when the window now shows on a screen of another ratio.
    void FollowDevicePixelRatio();

    std::map<int, std::unique_ptr<CMemDC2>> m_skinBitmaps; // by bitmap id; owned
    qreal m_skinRatio = 0;                                 // ratio the cache was loaded at
    std::vector<CSkinCtrl*> m_children;                    // layout order; not owned
};
