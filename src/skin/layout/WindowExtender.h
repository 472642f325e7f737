#pragma once
// Where a window goes when the picture it holds asks for a different size: the new window
// rectangle keeps a named anchor point of the current one (a corner, an edge's middle, the
// centre) or is centred on the desktop, and is then pushed back inside optional bounds.
//
// Anchor names (upper case, exact): NOEXTEND (the rectangle stays as it is), TOPLEFT, TOPMIDDLE,
// TOPRIGHT, MIDDLELEFT, MIDDLE, MIDDLERIGHT, BOTTOMLEFT, BOTTOMMIDDLE, BOTTOMRIGHT,
// CENTERINDESKTOP. Any other name places the new rectangle at the origin.
//
// Threads: user-interface thread only (the desktop size is asked of the screen).
#include "skin/layout/PixelGeometry.h"

#include <functional>
#include <string>

class IWindowExtender {
public:
    virtual void SetAnchor(const std::wstring& name) = 0;
    // The rectangle of a window of size wanted placed against current by the anchor, within
    // bounds unless they are empty.
    virtual void ComputeRect(const CPixelRect& current, CPixelSize wanted, CPixelRect& out,
                             const CPixelRect& bounds) = 0;
    virtual ~IWindowExtender() = default;
};

// The rule itself. Bounds are taken to start at the origin: a rectangle that does not fit them
// is moved to 0, then back so that its far edge meets the bounds' width or height (which leaves
// it at a negative position when it is larger than the bounds).
CPixelRect ExtendWindowRect(const std::wstring& anchor, const CPixelRect& current,
                            CPixelSize wanted, const CPixelRect& bounds, CPixelSize desktop);

// The size of the primary screen's area that windows may use; 0 x 0 when there is no screen.
CPixelSize AvailableDesktopSize();

class CWindowExtender : public IWindowExtender {
public:
    using DesktopSizeQuery = std::function<CPixelSize()>;

    // The query is asked only for the CENTERINDESKTOP anchor.
    explicit CWindowExtender(DesktopSizeQuery desktopSize = AvailableDesktopSize);

    void SetAnchor(const std::wstring& name) override { m_anchor = name; }
    const std::wstring& GetAnchor() const { return m_anchor; }
    void ComputeRect(const CPixelRect& current, CPixelSize wanted, CPixelRect& out,
                     const CPixelRect& bounds) override;

private:
    std::wstring m_anchor; // empty until set
    DesktopSizeQuery m_desktopSize;
};
