#include "skin/screen/Zoom.h"

#include "skin/screen/AspectRatio.h"
#include "skin/screen/RuleInstance.h"

void CZoom::ComputeDisplayRect(CPixelSize source, CPixelSize area, CPixelRect& out) {
    CurrentAspectRatio().FitRect(source, area, out);
}

void CZoomFitWindow::ComputeScreen(CPixelSize /*minimum*/, CPixelSize source, CPixelSize& screen,
                                   CPixelRect& out) {
    CurrentAspectRatio().FitRect(source, screen, out);
}

void CZoomVariant::ComputeScreen(CPixelSize minimum, CPixelSize source, CPixelSize& screen,
                                 CPixelRect& out) {
    CPixelSize natural;
    CurrentAspectRatio().FitSize(source, natural);
    const double factor = GetFactor();
    const int width = TruncatePixels(factor * natural.width);
    const int height = TruncatePixels(factor * natural.height);
    screen = {width, height};
    int left = 0;
    int top = 0;
    if (width < minimum.width) {
        screen.width = minimum.width;
        left = (minimum.width - width) / 2;
    }
    if (height < minimum.height) {
        screen.height = minimum.height;
        top = (minimum.height - height) / 2;
    }
    out = {left, top, left + width, top + height};
}

IZoom& FindZoom(const std::wstring& name) {
    const std::wstring upper = RuleNameUpper(name);
    if (upper == L"ZOOM50") {
        return RuleInstance<CZoom50>();
    }
    if (upper == L"ZOOM75") {
        return RuleInstance<CZoom75>();
    }
    if (upper == L"ZOOM100") {
        return RuleInstance<CZoom100>();
    }
    if (upper == L"ZOOM125") {
        return RuleInstance<CZoom125>();
    }
    if (upper == L"ZOOM150") {
        return RuleInstance<CZoom150>();
    }
    if (upper == L"ZOOM200") {
        return RuleInstance<CZoom200>();
    }
    return RuleInstance<CZoomFitWindow>();
}
