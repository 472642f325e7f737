// The source filter's seek and the synchronisation that follows every seek (and the load): the
// first video packet with a trusted stamp and the first audio packet not before it.
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
    Synchronise();
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

bool CVeltoSource::Synchronise() {
    const REFERENCE_TIME videoStart = SeekingVideoQueue();
    REFERENCE_TIME audioStart = 0;
    if (!SeekingAudioQueue(videoStart, &audioStart)) {
        return false;
    }
    m_videoStart = videoStart;
    m_audioStart = audioStart;
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
        }
    }
}

bool CVeltoSource::SeekingAudioQueue(REFERENCE_TIME videoStart, REFERENCE_TIME* audioStart) {
    if (!m_audioQueue) {
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
        }
    }
}
