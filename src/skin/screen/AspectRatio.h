#pragma once
// Aspect-ratio rules: what shape the picture takes. Each rule fits a source frame size into an
// area (the display rectangle, centred along the axis with room to spare) and gives the frame's
// natural size under the rule. Rules hold no state that outlives a call, exist once per process
// (made on first request, never destroyed), and one of them is the current rule that every
// screen and every zoom rule uses.
//
// Threads: user-interface thread only; the current rule is changed and read there.
#include "skin/layout/PixelGeometry.h"

#include <string>

class IAspectRatio {
public:
    // The display rectangle inside an area of the given size; empty for a source without area.
    virtual void FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) = 0;
    // The source's size under the rule (one side kept, the other stretched); 0 x 0 for a source
    // without area.
    virtual void FitSize(CPixelSize source, CPixelSize& out) = 0;
    virtual ~IAspectRatio() = default;
};

// A fixed width : height ratio; the longer side of the area or source that the ratio allows is
// kept and the other is rounded to the nearest pixel.
class CAspectRatioFit : public IAspectRatio {
public:
    void FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) override;
    void FitSize(CPixelSize source, CPixelSize& out) override;

protected:
    virtual double GetRatio() = 0;
};

// The source's own ratio, taken from the source of each call.
class CAspectRatioFitSource : public CAspectRatioFit {
public:
    void FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) override;
    void FitSize(CPixelSize source, CPixelSize& out) override;

protected:
    double GetRatio() override { return m_ratio; }

private:
    double m_ratio = 1.0; // of the last source with area
};

class CAspectRatioFit4_3 : public CAspectRatioFit {
protected:
    double GetRatio() override { return 4.0 / 3.0; }
};

class CAspectRatioFit16_9 : public CAspectRatioFit {
protected:
    double GetRatio() override { return 16.0 / 9.0; }
};

// Reachable only by name; nothing sets its ratio, so it keeps the television shape.
class CAspectRatioFitCustom : public CAspectRatioFit {
protected:
    double GetRatio() override { return m_ratio; }

private:
    double m_ratio = 4.0 / 3.0;
};

// Stretches the picture over the whole area.
class CAspectRatioDistort : public IAspectRatio {
public:
    void FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) override;
    void FitSize(CPixelSize source, CPixelSize& out) override;
};

// The rule of a name, compared in upper case: FITDISTORT, FITSOURCE, FIT4_3, FIT16_9,
// FITCUSTOM; any other name gives FITSOURCE.
IAspectRatio& FindAspectRatio(const std::wstring& name);

// The process's current rule; FITSOURCE until set.
IAspectRatio& CurrentAspectRatio();
void SetCurrentAspectRatio(IAspectRatio& rule);

// Rounds toward zero into the int range (a picture size cannot exceed it; a cast of a larger
// double would be undefined).
int TruncatePixels(double value);

// Upper case of a rule name, for the case-blind name lookups of the screen's rules.
std::wstring RuleNameUpper(const std::wstring& name);
