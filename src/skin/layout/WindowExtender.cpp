#include "skin/layout/WindowExtender.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace {

constexpr wchar_t kNoExtend[] = L"NOEXTEND";
constexpr wchar_t kCenterInDesktop[] = L"CENTERINDESKTOP";

// Where the new rectangle's left (or top) edge goes along one axis, for an anchor part that
// names that axis's near edge, middle or far edge.
enum class EAxisAnchor { Near, Middle, Far };

struct CAnchorPlacement {
    const wchar_t* name;
    EAxisAnchor horizontal;
    EAxisAnchor vertical;
};

constexpr CAnchorPlacement kPlacements[] = {
    {L"TOPLEFT", EAxisAnchor::Near, EAxisAnchor::Near},
    {L"TOPMIDDLE", EAxisAnchor::Middle, EAxisAnchor::Near},
    {L"TOPRIGHT", EAxisAnchor::Far, EAxisAnchor::Near},
    {L"MIDDLELEFT", EAxisAnchor::Near, EAxisAnchor::Middle},
    {L"MIDDLE", EAxisAnchor::Middle, EAxisAnchor::Middle},
    {L"MIDDLERIGHT", EAxisAnchor::Far, EAxisAnchor::Middle},
    {L"BOTTOMLEFT", EAxisAnchor::Near, EAxisAnchor::Far},
    {L"BOTTOMMIDDLE", EAxisAnchor::Middle, EAxisAnchor::Far},
    {L"BOTTOMRIGHT", EAxisAnchor::Far, EAxisAnchor::Far},
};

int PlaceOnAxis(EAxisAnchor anchor, int nearEdge, int farEdge, int length) {
    switch (anchor) {
    case EAxisAnchor::Near:
        return nearEdge;
    case EAxisAnchor::Middle:
        return (nearEdge + farEdge) / 2 - length / 2;
    case EAxisAnchor::Far:
        break;
    }
    return farEdge - length;
}

// Moves a start position back inside [0, limit) along one axis; limit is the bounds' extent.
int ClampToBounds(int position, int length, int limit) {
    if (position < 0 || limit < length) {
        position = 0;
    }
    if (limit < position + length) {
        position = limit - length;
    }
    return position;
}

CPixelRect Union(const CPixelRect& a, const CPixelRect& b) {
    if (a.IsEmpty()) {
        return b;
    }
    if (b.IsEmpty()) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

} // namespace

CPixelRect ExtendWindowRect(const std::wstring& anchor, const CPixelRect& current,
                            CPixelSize wanted, const CPixelRect& bounds, CPixelSize desktop) {
    if (anchor == kNoExtend) {
        return current;
    }
    int x = 0;
    int y = 0;
    if (anchor == kCenterInDesktop) {
        x = (desktop.width - wanted.width) / 2;
        y = (desktop.height - wanted.height) / 2;
    } else {
        for (const CAnchorPlacement& placement : kPlacements) {
            if (anchor == placement.name) {
                x = PlaceOnAxis(placement.horizontal, current.left, current.right, wanted.width);
                y = PlaceOnAxis(placement.vertical, current.top, current.bottom, wanted.height);
                break;
            }
        }
    }

    if (!bounds.IsEmpty()) {
        const CPixelRect both = Union(bounds, {x, y, x + wanted.width, y + wanted.height});
        if (both.Width() > bounds.Width()) {
            x = ClampToBounds(x, wanted.width, bounds.Width());
        }
        if (both.Height() > bounds.Height()) {
            y = ClampToBounds(y, wanted.height, bounds.Height());
        }
    }
    return {x, y, x + wanted.width, y + wanted.height};
}

CPixelSize AvailableDesktopSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? CPixelSize::From(screen->availableGeometry().size()) : CPixelSize{};
}

CWindowExtender::CWindowExtender(DesktopSizeQuery desktopSize)
    : m_desktopSize(std::move(desktopSize)) {}

void CWindowExtender::ComputeRect(const CPixelRect& current, CPixelSize wanted, CPixelRect& out,
                                  const CPixelRect& bounds) {
    const CPixelSize desktop =
        m_anchor == kCenterInDesktop && m_desktopSize ? m_desktopSize() : CPixelSize{};
    out = ExtendWindowRect(m_anchor, current, wanted, bounds, desktop);
}
