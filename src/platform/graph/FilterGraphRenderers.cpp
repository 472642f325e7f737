// What the graph forwards to its renderers: the first filter offering the interface answers.
#include "platform/graph/FilterGraphImpl.h"

namespace {
constexpr long kSilentVolume = -10000; // hundredths of a decibel
constexpr long kFullVolume = 0;
} // namespace

template <class T> std::shared_ptr<T> CFilterGraph::FindFilter() const {
    for (const CEntry& entry : m_entries) {
        if (auto found = QueryInterface<T>(entry.filter)) {
            return found;
        }
    }
    return nullptr;
}

HRESULT CFilterGraph::put_Volume(long volume) {
    if (volume < kSilentVolume || volume > kFullVolume) {
        return E_INVALIDARG;
    }
    auto audio = FindFilter<IBasicAudio>();
    return audio ? audio->put_Volume(volume) : E_NOTIMPL;
}

HRESULT CFilterGraph::get_Volume(long* volume) {
    if (volume == nullptr) {
        return E_POINTER;
    }
    auto audio = FindFilter<IBasicAudio>();
    return audio ? audio->get_Volume(volume) : E_NOTIMPL;
}

HRESULT CFilterGraph::GetVideoSize(long* width, long* height) {
    if (width == nullptr || height == nullptr) {
        return E_POINTER;
    }
    auto video = FindFilter<IBasicVideo>();
    return video ? video->GetVideoSize(width, height) : E_NOTIMPL;
}

HRESULT CFilterGraph::get_FramesDrawn(int* frames) {
    if (frames == nullptr) {
        return E_POINTER;
    }
    auto quality = FindFilter<IQualProp>();
    return quality ? quality->get_FramesDrawn(frames) : E_NOTIMPL;
}

HRESULT CFilterGraph::get_FramesDroppedInRenderer(int* frames) {
    if (frames == nullptr) {
        return E_POINTER;
    }
    auto quality = FindFilter<IQualProp>();
    return quality ? quality->get_FramesDroppedInRenderer(frames) : E_NOTIMPL;
}

HRESULT CFilterGraph::put_Owner(QWidget* owner) {
    auto window = FindFilter<IVideoWindow>();
    return window ? window->put_Owner(owner) : E_NOTIMPL;
}

HRESULT CFilterGraph::put_WindowStyle(long style) {
    auto window = FindFilter<IVideoWindow>();
    return window ? window->put_WindowStyle(style) : E_NOTIMPL;
}

HRESULT CFilterGraph::SetWindowPosition(long left, long top, long width, long height) {
    auto window = FindFilter<IVideoWindow>();
    return window ? window->SetWindowPosition(left, top, width, height) : E_NOTIMPL;
}

HRESULT CFilterGraph::put_Visible(bool visible) {
    auto window = FindFilter<IVideoWindow>();
    return window ? window->put_Visible(visible) : E_NOTIMPL;
}
