#include "skin/screen/AspectRatio.h"

#include "core/WholeNumber.h"
#include "engine/AspectRatioNames.h"
#include "skin/screen/RuleInstance.h"

#include <algorithm>
#include <cwctype>

namespace {

bool HasArea(CPixelSize size) {
    return size.width != 0 && size.height != 0;
}

double Quotient(int a, int b) {
    return static_cast<double>(a) / static_cast<double>(b);
}

IAspectRatio* g_current = nullptr; // user-interface thread only

} // namespace

int TruncatePixels(double value) {
    return TruncateToInt(value);
}

std::wstring RuleNameUpper(const std::wstring& name) {
    std::wstring upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return upper;
}

void CAspectRatioFit::FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) {
    if (!HasArea(source)) {
        out = {};
        return;
    }
    const double ratio = GetRatio();
    if (ratio < Quotient(area.width, area.height)) {
        const int width = TruncatePixels(ratio * area.height + 0.5);
        const int left = (area.width - width) / 2;
        out = {left, 0, left + width, area.height};
    } else {
        const int height = TruncatePixels(area.width / ratio + 0.5);
        const int top = (area.height - height) / 2;
        out = {0, top, area.width, top + height};
    }
}

void CAspectRatioFit::FitSize(CPixelSize source, CPixelSize& out) {
    if (!HasArea(source)) {
        out = {};
        return;
    }
    const double ratio = GetRatio();
    if (ratio < Quotient(source.width, source.height)) {
        out = {source.width, TruncatePixels(source.width / ratio + 0.5)};
    } else {
        out = {TruncatePixels(ratio * source.height + 0.5), source.height};
    }
}

void CAspectRatioFitSource::FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) {
    if (HasArea(source)) {
        m_ratio = Quotient(source.width, source.height);
    }
    CAspectRatioFit::FitRect(source, area, out);
}

void CAspectRatioFitSource::FitSize(CPixelSize source, CPixelSize& out) {
    if (HasArea(source)) {
        m_ratio = Quotient(source.width, source.height);
    }
    CAspectRatioFit::FitSize(source, out);
}

void CAspectRatioDistort::FitRect(CPixelSize source, CPixelSize area, CPixelRect& out) {
    out = HasArea(source) ? CPixelRect{0, 0, area.width, area.height} : CPixelRect{};
}

void CAspectRatioDistort::FitSize(CPixelSize source, CPixelSize& out) {
    out = HasArea(source) ? source : CPixelSize{};
}

IAspectRatio& FindAspectRatio(const std::wstring& name) {
    const std::wstring upper = RuleNameUpper(name);
    if (upper == AspectRatioNames::FitDistort) {
        return RuleInstance<CAspectRatioDistort>();
    }
    if (upper == AspectRatioNames::Fit4To3) {
        return RuleInstance<CAspectRatioFit4_3>();
    }
    if (upper == AspectRatioNames::Fit16To9) {
        return RuleInstance<CAspectRatioFit16_9>();
    }
    if (upper == AspectRatioNames::FitCustom) {
        return RuleInstance<CAspectRatioFitCustom>();
    }
    return RuleInstance<CAspectRatioFitSource>();
}

IAspectRatio& CurrentAspectRatio() {
    if (g_current == nullptr) {
        g_current = &RuleInstance<CAspectRatioFitSource>();
    }
    return *g_current;
}

void SetCurrentAspectRatio(IAspectRatio& rule) {
    g_current = &rule;
}
