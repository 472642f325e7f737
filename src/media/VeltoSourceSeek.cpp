// The source filter's seek, the track switch made inside it, and the synchronisation that
// follows every seek (and the load): the first video packet with a trusted stamp and the first
// audio packet not before it, keeping the subtitle packets read on the way.
#include <algorithm>

#include "core/Log.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "media/VeltoVideoStream.h"

namespace {
int CountOrMissing(const CPacketQueue2* queue) {
    return queue ? queue->Count() : -1;
}
} // namespace

HRESULT CVeltoSource::Seek(REFERENCE_TIME t, CSeekableStream* caller) {
    if (caller == nullptr || caller != m_primaryPin) {
        return E_NOTIMPL;
    }
    std::lock_guard lock(m_stateLock);
    StopPins();
    CallWorker(CMD_STOP);
    m_heldPacket.reset();
    ApplyStreamSwitch();
    if (m_videoPin) {
        m_videoQueue->Flush();
        m_videoQueue->Reset();
        if (m_subtitleQueue) {
            m_subtitleQueue->Flush();
            m_subtitleQueue->Reset();
        }
    }
    if (m_audioPin) {
        m_audioQueue->Flush();
        m_audioQueue->Reset();
    }
    m_media.Seek(t);
    // A failed synchronisation leaves the queues without end markers; the restarted worker
    // then meets the end of the file at once and ends the streams.
    Synchronise(t);
    // Without a clock the graph keeps its stream time running from where it was.
    if (IReferenceClock* clock = GetSyncSource()) {
        SetStartTime(clock->GetTime());
    }
    if (m_videoPin) {
        m_videoPin->SetStartPosition(t);
    }
    if (m_audioPin) {
        m_audioPin->SetStartPosition(t);
    }
    CallWorker(CMD_RUN);
    StartPins();
    return S_OK;
}

bool CVeltoSource::SelectStream(int kind, int index, const std::function<HRESULT()>& reposition) {
    {
        std::lock_guard lock(m_stateLock);
        m_pendingSwitch = CStreamSwitch{kind, index};
        m_switchOpened = false;
    }
    const HRESULT hr = reposition ? reposition() : E_POINTER;
    std::lock_guard lock(m_stateLock);
    if (m_pendingSwitch) {
        // The only safe moment for the switch never came: nothing changes.
        Log({"CVeltoSource::SelectStream", LOG_LEVEL_INFO},
            "The seek for the switch did not reach the source (%08x); track kept.",
            static_cast<unsigned>(hr));
        m_pendingSwitch.reset();
    }
    return m_switchOpened;
}

void CVeltoSource::ApplyStreamSwitch() {
    if (!m_pendingSwitch) {
        return;
    }
    const CStreamSwitch change = *m_pendingSwitch;
    m_pendingSwitch.reset();
    if (change.kind == STREAM_SUBTITLE && change.index == -1) {
        m_media.CloseSubtitle();
        m_switchOpened = true;
        return;
    }
    if (change.kind != STREAM_AUDIO && change.kind != STREAM_SUBTITLE) {
        m_switchOpened = false; // the video stream is fixed by the pin made for it
        return;
    }
    m_switchOpened = m_media.OpenStream(change.kind, change.index);
}

void CVeltoSource::StopPins() {
    if (m_videoPin) {
        m_videoPin->StopDelivery();
    }
    if (m_audioPin) {
        m_audioPin->StopDelivery();
    }
}

void CVeltoSource::StartPins() {
    if (m_videoPin) {
        m_videoPin->StartDelivery();
    }
    if (m_audioPin) {
        m_audioPin->StartDelivery();
    }
}

bool CVeltoSource::Synchronise(REFERENCE_TIME target) {
    // The queues' stamps count from the file's own start time; the target from 0.
    const REFERENCE_TIME targetStamp = target + m_media.FileStart();
    const REFERENCE_TIME videoStart = SeekingVideoQueue();
    REFERENCE_TIME audioStart = 0;
    if (!SeekingAudioQueue(std::max(videoStart, targetStamp), &audioStart)) {
        return false;
    }
    m_videoStart = videoStart;
    m_audioStart = audioStart;
    m_seekTarget = targetStamp;
    return true;
}

REFERENCE_TIME CVeltoSource::SeekingVideoQueue() {
    if (!m_videoQueue) {
        return 0;
    }
    for (;;) {
        CAVPacketPtr packet(av_packet_alloc());
        if (!packet || m_media.ReadFrame(packet.get())) {
            Log({"CVeltoSource::SeekingVideoQueue", LOG_LEVEL_INFO},
                "Reach end of file. vc = %d, ac = %d", CountOrMissing(m_videoQueue.get()),
                CountOrMissing(m_audioQueue.get()));
            PutEndMarkers(false);
            return 0;
        }
        const int stream = packet->stream_index;
        if (stream == m_media.VideoIndex()) {
            // The queue stores 0 for a stamp it does not trust.
            if (m_videoQueue->Put(std::move(packet)) != 0) {
                return m_videoQueue->Restamp();
            }
        } else if (stream == m_media.AudioIndex() && m_audioQueue) {
            m_audioQueue->Put(std::move(packet));
        } else {
            KeepSubtitle(std::move(packet));
        }
    }
}

void CVeltoSource::KeepSubtitle(CAVPacketPtr packet) {
    // A demuxer seeks back far enough to read the cues still showing at the target, and they
    // come before the first video packet: dropped, the text would be missing after every seek.
    // Bounded like the worker's own queueing, for files whose cues come long before the video.
    if (packet && packet->stream_index == m_media.SubtitleIndex() && m_subtitleQueue &&
        m_subtitleQueue->Count() < CPacketQueue2::kHardLimit) {
        m_subtitleQueue->Put(std::move(packet));
    }
}

bool CVeltoSource::SeekingAudioQueue(REFERENCE_TIME videoStart, REFERENCE_TIME* audioStart) {
    // Without an audio stream (a track that failed to open) no audio packet would ever end
    // the search, which would read the rest of the file into the video queue.
    if (!m_audioQueue || !m_media.HasAudio()) {
        *audioStart = videoStart;
        return true;
    }
    if (m_audioQueue->TrimBefore(videoStart, audioStart)) {
        return true;
    }
    const int videoCount = CountOrMissing(m_videoQueue.get());
    const int audioCount = m_audioQueue->Count();
    for (;;) {
        CAVPacketPtr packet(av_packet_alloc());
        if (!packet || m_media.ReadFrame(packet.get())) {
            if (CountOrMissing(m_videoQueue.get()) == videoCount &&
                m_audioQueue->Count() == audioCount) {
                return false;
            }
            Log({"CVeltoSource::SeekingAudioQueue", LOG_LEVEL_INFO}, "Reach end of file.");
            PutEndMarkers(false);
            *audioStart = 0;
            return true;
        }
        const int stream = packet->stream_index;
        if (stream == m_media.VideoIndex() && m_videoQueue) {
            m_videoQueue->Put(std::move(packet));
        } else if (stream == m_media.AudioIndex()) {
            const REFERENCE_TIME stamp = m_audioQueue->ToStamp(*packet);
            if (stamp >= videoStart) {
                m_audioQueue->Put(std::move(packet));
                *audioStart = stamp;
                return true;
            }
        } else {
            KeepSubtitle(std::move(packet));
        }
    }
}
