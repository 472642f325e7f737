// Building the graph for one file, reading what it offers into the item, and the source's
// facts, track and subtitle operations.
#include "engine/EngineDS.h"

#include <filesystem>
#include <system_error>

#include "core/Log.h"
#include "core/WideText.h"
#include "engine/ClipInfo.h"
#include "media/CoverArt.h"
#include "media/MediaFacts.h"
#include "media/PlaybackInfo.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "media/VeltoVideoStream.h"
#include "platform/graph/SoundRenderer.h"
#include "platform/graph/VideoRenderer.h"

namespace {

bool IsExistingFile(const std::wstring& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(PathToBytes(path), error);
}

} // namespace

int CEngineDS::Load(CClipInfo* item) {
    if (item == nullptr) {
        return 0;
    }
    ResetGraph();
    if (!IsExistingFile(item->path)) {
        Log({"CEngineDS::Load", LOG_LEVEL_INFO}, "no such file: %s",
            WideToUtf8(item->path).c_str());
        return LoadFailed(item);
    }
    m_graph = CreateFilterGraph();
    if (!m_graph) {
        Log({"CEngineDS::Load", LOG_LEVEL_ERROR}, "cannot create a filter graph");
        return LoadFailed(item);
    }
    m_seeking = QueryInterface<IMediaSeeking>(m_graph);
    m_control = QueryInterface<IMediaControl>(m_graph);
    m_events = QueryInterface<IMediaEventEx>(m_graph);
    m_videoWindow = QueryInterface<IVideoWindow>(m_graph);
    m_basicVideo = QueryInterface<IBasicVideo>(m_graph);
    m_basicAudio = QueryInterface<IBasicAudio>(m_graph);
    m_frameStep = QueryInterface<IVideoFrameStep>(m_graph);

    m_graph->SetDefaultSyncSource();
    if (!m_events || FAILED(m_events->SetNotifyWindow(this, kGraphEventMessage, 0))) {
        Log({"CEngineDS::Load", LOG_LEVEL_ERROR}, "the graph cannot notify the engine");
        return LoadFailed(item);
    }

    m_source = std::make_shared<CVeltoSource>();
    HRESULT hr = m_source->Load(item->path.c_str());
    if (FAILED(hr)) {
        Log({"CEngineDS::Load", LOG_LEVEL_INFO}, "the source cannot load %s: 0x%08x",
            WideToUtf8(item->path).c_str(), static_cast<unsigned>(hr));
        return LoadFailed(item);
    }
    m_graph->AddFilter(m_source, L"");

    if (m_source->VideoPin() != nullptr) {
        hr = AddRenderer(CreateVideoRenderer(), L"Video Renderer", m_source->VideoPin());
        if (FAILED(hr)) {
            return LoadFailed(item);
        }
    }
    if (m_source->AudioPin() != nullptr) {
        hr = AddRenderer(CreateSoundRenderer(), L"Audio Renderer", m_source->AudioPin());
        if (FAILED(hr)) {
            return LoadFailed(item);
        }
    }

    FillClipInfo(item);
    item->ReadFileAttributes();
    if (item->noVideo != 0) {
        setGeometry(0, 0, 0, 0);
    } else if (m_videoWindow) {
        m_videoWindow->put_Visible(false);
        m_videoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        m_videoWindow->put_Owner(this);
        m_videoWindow->SetWindowPosition(0, 0, width(), height());
        m_videoWindow->put_Visible(true);
    }
    m_loaded = 1;
    ApplyVolume(m_volume);
    item->loadFailed = 0;
    ReportState(EngineEvents::Loaded, reinterpret_cast<EventArg>(item));
    return 1;
}

int CEngineDS::LoadFailed(CClipInfo* item) {
    item->loadFailed = 1;
    // Every interface goes, not the builder alone: a half-built graph left to the other
    // interfaces would let Play run it and report "Playing" for a file that did not load.
    ReleaseGraph();
    ReportState(EngineEvents::LoadFailed, reinterpret_cast<EventArg>(item));
    return 0;
}

HRESULT CEngineDS::AddRenderer(std::shared_ptr<IBaseFilter> renderer, const wchar_t* name,
                               CSourceStream* pin) {
    if (!renderer) {
        Log({"CEngineDS::Load", LOG_LEVEL_ERROR}, "cannot create the %s", WideToUtf8(name).c_str());
        return E_FAIL;
    }
    m_graph->AddFilter(renderer, name);
    IInputPin* input = renderer->InputPin(0);
    if (input == nullptr) {
        Log({"CEngineDS::Load", LOG_LEVEL_ERROR}, "the %s has no input pin",
            WideToUtf8(name).c_str());
        return E_FAIL;
    }
    const HRESULT hr = m_graph->Connect(pin, input);
    if (FAILED(hr)) {
        Log({"CEngineDS::Load", LOG_LEVEL_ERROR}, "cannot connect the %s: 0x%08x",
            WideToUtf8(name).c_str(), static_cast<unsigned>(hr));
    }
    return hr;
}

HRESULT CEngineDS::FillClipInfo(CClipInfo* item) {
    long width = 0;
    long height = 0;
    if (m_basicVideo && SUCCEEDED(m_basicVideo->GetVideoSize(&width, &height))) {
        item->videoWidth = static_cast<std::int32_t>(width);
        item->videoHeight = static_cast<std::int32_t>(height);
    }
    if (!m_basicVideo || item->videoWidth == 0 || item->videoHeight == 0) {
        item->noVideo = 1;
    }
    if (m_seeking) {
        REFERENCE_TIME duration = 0;
        if (SUCCEEDED(m_seeking->GetDuration(&duration))) {
            item->duration = static_cast<double>(duration) / static_cast<double>(UNITS);
        }
        std::uint32_t capabilities = 0;
        const HRESULT hr = m_seeking->GetCapabilities(&capabilities);
        if (FAILED(hr)) {
            item->canSeekAbsolute = item->canSeekForward = item->canSeekBackward = 0;
        } else if (hr == S_OK) {
            item->canSeekAbsolute = item->canSeekForward = item->canSeekBackward = 1;
        } else if (hr == S_FALSE) {
            item->canSeekAbsolute = (capabilities & SEEKING_CAN_SEEK_ABSOLUTE) != 0 ? 1 : 0;
            item->canSeekForward = (capabilities & SEEKING_CAN_SEEK_FORWARDS) != 0 ? 1 : 0;
            item->canSeekBackward = (capabilities & SEEKING_CAN_SEEK_BACKWARDS) != 0 ? 1 : 0;
        }
    }
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    const HRESULT hr = m_graph->EnumFilters(&filters);
    if (FAILED(hr)) {
        return hr;
    }
    for (const auto& filter : filters) {
        const auto content = QueryInterface<IAMMediaContent>(filter);
        if (!content) {
            continue;
        }
        std::wstring text;
        if (SUCCEEDED(content->get_AuthorName(&text))) {
            item->author = text;
        }
        if (SUCCEEDED(content->get_Title(&text))) {
            item->title = text;
        }
        if (SUCCEEDED(content->get_Copyright(&text))) {
            item->copyright = text;
        }
    }
    return S_OK;
}

bool CEngineDS::DeliveredAnySample() const {
    return m_source && m_source->DeliveredAnySample();
}

bool CEngineDS::GetAudioStreams(std::vector<int>& streams, int& current) {
    if (!m_source) {
        return false;
    }
    current = m_source->Media().GetAudioStreams(streams);
    return true;
}

bool CEngineDS::GetSubtitleStreams(std::vector<int>& streams, int& current) {
    if (!m_source) {
        return false;
    }
    current = m_source->Media().GetSubtitleStreams(streams);
    return true;
}

bool CEngineDS::GetMediaFacts(CMediaFacts& facts) const {
    if (!m_source) {
        return false;
    }
    facts = ReadMediaFacts(m_source->Media());
    return true;
}

bool CEngineDS::GetCoverArt(CCoverArt& art) const {
    if (!m_source) {
        return false;
    }
    std::optional<CCoverArt> cover = ReadCoverArt(m_source->Media());
    if (!cover) {
        return false;
    }
    art = std::move(*cover);
    return true;
}

bool CEngineDS::GetSubtitleFiles(std::vector<std::wstring>& files, std::wstring& current) {
    if (!m_source) {
        return false;
    }
    m_source->Subtitles()->ListSubtitles(m_source->Media().FileName(), files, current);
    return true;
}

bool CEngineDS::SelectAudioStream(int index) {
    return index >= 0 && SwitchStream(STREAM_AUDIO, index);
}

bool CEngineDS::SelectSubtitleStream(int index) {
    return index >= 0 && SwitchStream(STREAM_SUBTITLE, index);
}

void CEngineDS::DisableInternalSubtitle() {
    SwitchStream(STREAM_SUBTITLE, -1);
}

bool CEngineDS::SwitchStream(int kind, int index) {
    if (!m_source) {
        return false;
    }
    // The source switches inside a seek to where playback is: the graph holds the renderers
    // while the pins and the worker are stopped, and the new track starts at this position.
    return m_source->SelectStream(kind, index, [this] {
        if (!m_seeking) {
            return E_UNEXPECTED;
        }
        REFERENCE_TIME position = 0;
        const HRESULT hr = m_seeking->GetCurrentPosition(&position);
        if (FAILED(hr)) {
            return hr;
        }
        return m_seeking->SetPositions(&position, SEEKING_ABSOLUTE_POSITIONING, nullptr,
                                       SEEKING_NO_POSITIONING);
    });
}

void CEngineDS::UnloadExternalSubtitle() {
    if (m_source) {
        m_source->Subtitles()->DropExternal();
    }
}

bool CEngineDS::LoadExternalSubtitle(const std::wstring& path) {
    if (!m_source || !IsExistingFile(path)) {
        return false;
    }
    // Converting and parsing a long file takes a second; neither this thread nor playback waits.
    m_source->Subtitles()->LoadSubtitleInBackground(path);
    return true;
}
