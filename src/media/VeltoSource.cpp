#include "media/VeltoSource.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/Log.h"
#include "core/WideText.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoVideoStream.h"

namespace {
// The worker reads at most one packet per pause, which leaves the decoders the CPU.
constexpr auto kParsingPause = std::chrono::milliseconds(1);
// Queues with more records than this hold the worker back once every fed queue has them.
constexpr int kQueueFull = 10;
// No queue grows past this many records, whatever the others hold: enough for the few seconds
// by which a file's tracks may lie apart (about 10 s of 50 fps video), while a track that stops
// early, or whose pin does not consume, cannot make the worker read the rest of the file into
// memory.
constexpr int kQueueLimit = 500;
// Blocked rounds of the parsing loop between two "nobody consumes" lines.
constexpr int kBlockedReport = 10000;
// A video queue holding this many records or fewer (but some) is too close to empty.
constexpr int kVideoQueueLow = 4;
constexpr int kVideoQueueSize = 10;
constexpr int kAudioQueueSize = 10;
constexpr int kSubtitleQueueSize = 5;

CAVPacketPtr NewPacket() {
    return CAVPacketPtr(av_packet_alloc());
}
} // namespace

CVeltoSource::~CVeltoSource() {
    if (GetState() != EFilterState::Stopped) {
        Stop();
    }
    CallWorker(CMD_EXIT);
    Close();
    m_videoQueue.reset();
    m_audioQueue.reset();
    m_subtitleQueue.reset();
}

HRESULT CVeltoSource::Load(const wchar_t* fileName) {
    if (fileName == nullptr) {
        return E_POINTER;
    }
    if (m_loaded) {
        return E_UNEXPECTED;
    }
    m_loaded = true;
    av_log_set_level(AV_LOG_WARNING);
    const std::string name = PathToBytes(fileName);
    Log({"CVeltoSource::Load", LOG_LEVEL_INFO}, "Try loading file: %s", name.c_str());
    HRESULT hr = m_media.ParseMediaContext(fileName);
    if (!m_media.HasVideo() && !m_media.HasAudio()) {
        // Nothing to play is a failure even when the parse itself went through.
        const HRESULT result = FAILED(hr) ? hr : E_FAIL;
        Log({"CVeltoSource::Load", LOG_LEVEL_INFO},
            "Faild to load file: %s - No Video & No Audio. Error no: %x", name.c_str(),
            static_cast<unsigned>(result));
        return result;
    }

    if (m_media.HasAudio()) {
        auto pin = std::make_unique<CVeltoAudioStream>(this);
        m_audioPin = pin.get();
        AddPin(std::move(pin));
        m_audioQueue = std::make_unique<CPacketQueue2>(m_media, "A", kAudioQueueSize);
        m_primaryPin = m_audioPin;
    }
    if (m_media.HasVideo()) {
        auto pin = std::make_unique<CVeltoVideoStream>(this);
        m_videoPin = pin.get();
        AddPin(std::move(pin));
        m_videoQueue = std::make_unique<CPacketQueueVideo>(m_media, "V", kVideoQueueSize);
        if (m_primaryPin == nullptr) {
            m_primaryPin = m_videoPin;
        }
        m_videoQueue->Reset();
    }
    if (m_media.HasSubtitle()) {
        m_subtitleQueue = std::make_unique<CPacketQueue2>(m_media, "S", kSubtitleQueueSize);
    }
    m_primaryPin->SetTimeFormat(ETimeFormat::MediaTime);
    Log({"CVeltoSource::Load", LOG_LEVEL_INFO}, "File loaded successfully.");
    m_fileName = fileName;

    if (!Synchronise()) {
        Log({"CVeltoSource::Load", LOG_LEVEL_INFO}, "Faild to seek file.");
        return E_UNEXPECTED;
    }
    if (!Create("qor-demux")) {
        return E_FAIL;
    }
    CallWorker(CMD_INIT);
    m_subtitles.Initial(m_media.Width(), m_media.Height());
    m_subtitles.FindSubtitle(m_fileName);
    return hr;
}

HRESULT CVeltoSource::GetCurFile(std::wstring* fileName) const {
    if (fileName == nullptr) {
        return E_POINTER;
    }
    *fileName = m_fileName;
    return S_OK;
}

HRESULT CVeltoSource::Pause() {
    std::lock_guard lock(m_stateLock);
    HRESULT hr = CSource::Pause();
    if (FAILED(hr)) {
        return hr;
    }
    CallWorker(CMD_PAUSE);
    return hr;
}

HRESULT CVeltoSource::Run(REFERENCE_TIME start) {
    std::lock_guard lock(m_stateLock);
    HRESULT hr = CSource::Run(start);
    if (FAILED(hr)) {
        return hr;
    }
    CallWorker(CMD_RUN);
    return hr;
}

HRESULT CVeltoSource::Stop() {
    std::lock_guard lock(m_stateLock);
    m_subtitles.DropExternal();
    // A pin waiting on an empty queue must not hold the stop up.
    for (CSeekableStream* pin :
         {static_cast<CSeekableStream*>(m_videoPin), static_cast<CSeekableStream*>(m_audioPin)}) {
        if (pin) {
            pin->RequestStop(true);
        }
    }
    HRESULT hr = CSource::Stop();
    CallWorker(CMD_STOP);
    for (CSeekableStream* pin :
         {static_cast<CSeekableStream*>(m_videoPin), static_cast<CSeekableStream*>(m_audioPin)}) {
        if (pin) {
            pin->RequestStop(false);
        }
    }
    return hr;
}

bool CVeltoSource::VideoQueueLow() {
    if (!m_videoQueue) {
        return false;
    }
    const int count = m_videoQueue->Count();
    return count >= 1 && count <= kVideoQueueLow && !m_videoQueue->LastIsEnd();
}

bool CVeltoSource::WorkWanted() {
    return GetState() != EFilterState::Stopped;
}

void CVeltoSource::OnWorkerNote(EWorkerNote note, int value) {
    constexpr char kThreadProc[] = "CVeltoSource::ThreadProc";
    switch (note) {
    case EWorkerNote::NotInit:
        Log({kThreadProc, LOG_LEVEL_ERROR}, "Worker thread expected init command!!");
        break;
    case EWorkerNote::Initialising:
        Log({kThreadProc, LOG_LEVEL_INFO}, "Worker thread initializing...");
        break;
    case EWorkerNote::CreateFailed:
        Log({kThreadProc, LOG_LEVEL_ERROR}, "Can not create worker thread!!");
        break;
    case EWorkerNote::UnknownCommand:
        Log({kThreadProc, LOG_LEVEL_INFO}, "Command %d received!", value);
        break;
    case EWorkerNote::UnexpectedCommand:
        Log({"CVeltoSource::DoParsingLoop", LOG_LEVEL_ERROR}, "Unexpected command!!!");
        break;
    case EWorkerNote::DestroyFailed:
        Log({kThreadProc, LOG_LEVEL_ERROR}, "Can not exit thread properly!!");
        break;
    }
}

HRESULT CVeltoSource::DoWork() {
    int blocked = 0;
    int videoPackets = 0, audioPackets = 0;
    for (;;) {
        if (StopRequestedWhileWorking()) {
            return S_OK; // answered by the command loop
        }
        if (QueuesFull()) {
            if (++blocked > kBlockedReport) {
                Log({"CVeltoSource::DoParsingLoop", LOG_LEVEL_INFO},
                    "No stream consume our data, blocking...VideoFrames: %d, AudioFrames: %d",
                    videoPackets, audioPackets);
                blocked = 0;
            }
        } else {
            CAVPacketPtr packet = NewPacket();
            if (!packet || m_media.ReadFrame(packet.get())) {
                PutEndMarkers(true);
                return S_OK;
            }
            videoPackets += packet->stream_index == m_media.VideoIndex() && m_videoQueue;
            audioPackets += packet->stream_index == m_media.AudioIndex() && m_audioQueue;
            Dispatch(std::move(packet));
        }
        std::this_thread::sleep_for(kParsingPause);
    }
}

bool CVeltoSource::QueuesFull() const {
    const int videoCount = m_videoQueue ? m_videoQueue->Count() : 0;
    const int audioCount = m_audioQueue ? m_audioQueue->Count() : 0;
    const int subtitleCount = m_subtitleQueue ? m_subtitleQueue->Count() : 0;
    if (std::max({videoCount, audioCount, subtitleCount}) > kQueueLimit) {
        return true;
    }
    // A pin whose track failed to open gets no packets: waiting for its queue to fill would let
    // the other queue grow until the end of the file. The indexes change only while the worker
    // is stopped (SelectStream), so reading them here needs no lock.
    const bool videoFed = m_videoPin && m_media.HasVideo();
    const bool audioFed = m_audioPin && m_media.HasAudio();
    if (!videoFed && !audioFed) {
        return true;
    }
    return (!videoFed || videoCount > kQueueFull) && (!audioFed || audioCount > kQueueFull);
}

void CVeltoSource::Dispatch(CAVPacketPtr packet) {
    const int stream = packet->stream_index;
    if (stream == m_media.VideoIndex() && m_videoQueue) {
        m_videoQueue->Put(std::move(packet));
    } else if (stream == m_media.AudioIndex() && m_audioQueue) {
        m_audioQueue->Put(std::move(packet));
    } else if (stream == m_media.SubtitleIndex() && m_subtitleQueue) {
        m_subtitleQueue->Put(std::move(packet));
    }
}

void CVeltoSource::PutEndMarkers(bool subtitles) {
    if (m_videoQueue) {
        m_videoQueue->PutEnd();
    }
    if (m_audioQueue) {
        m_audioQueue->PutEnd();
    }
    if (subtitles && m_subtitleQueue) {
        m_subtitleQueue->PutEnd();
    }
}
