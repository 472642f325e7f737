#include "media/VeltoSource.h"

#include <chrono>

#include "core/Log.h"
#include "core/WideText.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoVideoStream.h"

namespace {
// A wait for room at least this long is logged as "nobody consumes" when it ends.
constexpr auto kBlockedReport = std::chrono::seconds(10);
// A video queue holding this many records or fewer (but some) is too close to empty.
constexpr int kVideoQueueLow = 4;
// Records beyond which a queue is full: the worker holds back once every fed queue is. Ten
// packets keep the decoders busy while leaving the worker's reads spread out.
constexpr int kVideoQueueSize = 10;
constexpr int kAudioQueueSize = 10;
// The subtitle queue does not hold the worker back; only its hard limit counts.
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
        m_audioQueue = std::make_unique<CPacketQueue2>(m_media, "A", kAudioQueueSize, &m_room);
        m_primaryPin = m_audioPin;
    }
    if (m_media.HasVideo()) {
        auto pin = std::make_unique<CVeltoVideoStream>(this);
        m_videoPin = pin.get();
        AddPin(std::move(pin));
        m_videoQueue = std::make_unique<CPacketQueueVideo>(m_media, "V", kVideoQueueSize, &m_room);
        if (m_primaryPin == nullptr) {
            m_primaryPin = m_videoPin;
        }
        m_videoQueue->Reset();
    }
    if (m_media.HasSubtitle()) {
        m_subtitleQueue =
            std::make_unique<CPacketQueue2>(m_media, "S", kSubtitleQueueSize, &m_room);
    }
    m_primaryPin->SetTimeFormat(ETimeFormat::MediaTime);
    Log({"CVeltoSource::Load", LOG_LEVEL_INFO}, "File loaded successfully.");
    m_fileName = fileName;

    if (!Synchronise(0)) {
        Log({"CVeltoSource::Load", LOG_LEVEL_INFO}, "Faild to seek file.");
        return E_UNEXPECTED;
    }
    if (!Create("qor-demux")) {
        return E_FAIL;
    }
    CallWorker(CMD_INIT);
    m_subtitles.Initial(m_media.Width(), m_media.Height());
    m_foundSubtitle = m_subtitles.FindSubtitle(m_fileName);
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

void CVeltoSource::WaitWhileVideoQueueLow() {
    if (m_videoQueue) {
        m_videoQueue->WaitWhileLow(kVideoQueueLow);
    }
}

bool CVeltoSource::WorkWanted() {
    return GetState() != EFilterState::Stopped;
}

void CVeltoSource::OnRequestPosted() {
    m_room.Notify();
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
    int videoPackets = 0, audioPackets = 0;
    for (;;) {
        if (!m_heldPacket) {
            if (!WaitForRoom(videoPackets, audioPackets)) {
                return S_OK; // answered by the command loop
            }
            m_heldPacket = NewPacket();
            if (!m_heldPacket || m_media.ReadFrame(m_heldPacket.get())) {
                m_heldPacket.reset();
                PutEndMarkers(true);
                return S_OK;
            }
            const int stream = m_heldPacket->stream_index;
            videoPackets += stream == m_media.VideoIndex() && m_videoQueue;
            audioPackets += stream == m_media.AudioIndex() && m_audioQueue;
        }
        if (!Dispatch(m_heldPacket)) {
            return S_OK;
        }
    }
}

bool CVeltoSource::WaitForRoom(int videoPackets, int audioPackets) {
    bool stop = false;
    const auto since = std::chrono::steady_clock::now();
    // Once every fed queue is full the worker rests until one of them is down to half, and then
    // reads until all are full again: a burst of reads every few frames rather than a wake-up
    // at each packet the pins take.
    const bool full = QueuesFull();
    m_room.WaitUntil([&] {
        stop = StopRequestedWhileWorking();
        return stop || !full || QueuesWantMore();
    });
    if (std::chrono::steady_clock::now() - since >= kBlockedReport) {
        Log({"CVeltoSource::DoParsingLoop", LOG_LEVEL_INFO},
            "No stream consume our data, blocking...VideoFrames: %d, AudioFrames: %d", videoPackets,
            audioPackets);
    }
    return !stop;
}

CVeltoSource::CFedQueues CVeltoSource::FedQueues() const {
    // A pin whose track failed to open gets no packets: waiting for its queue to fill would let
    // the other queue grow to its hard limit. The indexes change only while the worker is
    // stopped (SelectStream), so reading them here needs no lock.
    return {m_videoPin && m_media.HasVideo() ? m_videoQueue.get() : nullptr,
            m_audioPin && m_media.HasAudio() ? m_audioQueue.get() : nullptr};
}

bool CVeltoSource::QueuesFull() const {
    const CFedQueues fed = FedQueues();
    if (fed.video == nullptr && fed.audio == nullptr) {
        return true;
    }
    return (fed.video == nullptr || fed.video->Full()) &&
           (fed.audio == nullptr || fed.audio->Full());
}

bool CVeltoSource::QueuesWantMore() const {
    const CFedQueues fed = FedQueues();
    return (fed.video != nullptr && fed.video->WantsMore()) ||
           (fed.audio != nullptr && fed.audio->WantsMore());
}

bool CVeltoSource::Dispatch(CAVPacketPtr& packet) {
    const int stream = packet->stream_index;
    CPacketQueue2* queue = nullptr;
    if (stream == m_media.VideoIndex() && m_videoQueue) {
        queue = m_videoQueue.get();
    } else if (stream == m_media.AudioIndex() && m_audioQueue) {
        queue = m_audioQueue.get();
    } else if (stream == m_media.SubtitleIndex() && m_subtitleQueue) {
        queue = m_subtitleQueue.get();
    }
    if (queue == nullptr) {
        packet.reset();
        return true;
    }
    return queue->PutBounded(packet, [this] { return StopRequestedWhileWorking(); });
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
