#pragma once
// A text label: the text drawn into a back buffer in 12-pixel (or the given height) semibold
// type, vertically centred, cut with an ellipsis at the end when too long, and the buffer blitted
// on painting.
//
// The buffer always shows the current text when the label is shown: text set while hidden is
// drawn when it is shown again, and a change of the screen's pixel ratio (a move to another
// screen) rebuilds the buffer at the next paint.
//
// Who calls: the owning window (Create, SetText, SetHighlight). Threads: user-interface thread
// only. The label owns its buffer; it exists from the first resize on.
#include <memory>
#include <string>

#include "skin/SkinCtrl.h"

class CSkinString : public CSkinCtrl {
    Q_OBJECT
public:
    static constexpr int kDefaultFontHeight = 12;
    static constexpr QRgb kTextColour = qRgb(222, 222, 222);
    static constexpr QRgb kHighlightColour = qRgb(255, 255, 255);
    static constexpr QRgb kBackgroundColour = qRgb(65, 65, 65);

    // fontHeight in pixels; -1 takes kDefaultFontHeight. `spare` is kept for callers that pass
    // it and is not used.
    bool Create(QWidget* parent, int x, int y, int width, int height, int spare = -1,
                int fontHeight = -1);
    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return m_text; }
    // Draws the text in the highlight colour.
    void SetHighlight(bool highlight);

    // Blits the buffer into `painter` at the creation position and size (for owners that paint
    // the label into their own surface).
    virtual void PaintOnto(QPainter& painter);
    // Stores a new size; rebuilds and redraws the buffer when the label has a parent.
    virtual void SetSize(int width, int height);
    // Redraws the buffer when the label is not hidden and has one, then repaints.
    virtual void Redraw();
    virtual void CreateBuffer();
    virtual void FreeBuffer();
    // Makes the buffer width x height, keeping it when it already is.
    virtual void EnsureBuffer(int width, int height);
    virtual void PaintTextBackground(QPainter& painter);
    virtual void PaintText(QPainter& painter);

    void Paint(QPainter& painter) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Background and text into the buffer, which must exist.
    void DrawBuffer();

    std::unique_ptr<CMemDC2> m_buffer;
    int m_spare = -1;
    int m_fontHeight = kDefaultFontHeight;
    std::wstring m_text;
    bool m_highlight = false;
};
