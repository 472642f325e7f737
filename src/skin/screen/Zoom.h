#pragma once
// Zoom rules: how big the screen wants to be for a picture, and where the picture goes in it.
// FITWINDOW keeps the screen's size and fits the picture into it; the ZOOMnn rules ask for a
// screen of nn % of the picture's natural size (under the current aspect-ratio rule), never
// smaller than the screen's minimum, with the picture centred in any spare room. Each rule exists
// once per process (made on first request, never destroyed); every screen keeps its own current
// rule.
//
// Threads: user-interface thread only (the rules read the current aspect-ratio rule).
#include "skin/layout/PixelGeometry.h"

#include <string>

class IZoom {
public:
    // The display rectangle for a source inside an area of the given size.
    virtual void ComputeDisplayRect(CPixelSize source, CPixelSize area, CPixelRect& out) = 0;
    // screen holds the current screen size on entry and the size the rule wants on return; out
    // is the display rectangle inside that screen.
    virtual void ComputeScreen(CPixelSize minimum, CPixelSize source, CPixelSize& screen,
                               CPixelRect& out) = 0;
    virtual ~IZoom() = default;
};

class CZoom : public IZoom {
public:
    void ComputeDisplayRect(CPixelSize source, CPixelSize area, CPixelRect& out) override;
};

class CZoomFitWindow : public CZoom {
public:
    void ComputeScreen(CPixelSize minimum, CPixelSize source, CPixelSize& screen,
                       CPixelRect& out) override;
};

// A fixed scale of the picture's natural size. A picture larger than the screen keeps its
// top-left corner at the screen's and is clipped by it.
class CZoomVariant : public CZoom {
public:
    void ComputeScreen(CPixelSize minimum, CPixelSize source, CPixelSize& screen,
                       CPixelRect& out) override;

protected:
    virtual double GetFactor() = 0;
};

class CZoom50 : public CZoomVariant {
protected:
    double GetFactor() override { return 0.5; }
};
class CZoom75 : public CZoomVariant {
protected:
    double GetFactor() override { return 0.75; }
};
class CZoom100 : public CZoomVariant {
protected:
    double GetFactor() override { return 1.0; }
};
class CZoom125 : public CZoomVariant {
protected:
    double GetFactor() override { return 1.25; }
};
class CZoom150 : public CZoomVariant {
protected:
    double GetFactor() override { return 1.5; }
};
class CZoom200 : public CZoomVariant {
protected:
    double GetFactor() override { return 2.0; }
};

// The rule of a name, compared in upper case: FITWINDOW, ZOOM50, ZOOM75, ZOOM100, ZOOM125,
// ZOOM150, ZOOM200; any other name gives FITWINDOW.
IZoom& FindZoom(const std::wstring& name);
