#pragma once
// The player's own source filter: opens a file with FFmpeg, runs a worker thread that sorts its
// packets into the video, audio and subtitle queues, and exposes an audio pin and a video pin
// (pin 0 is audio when both exist) whose delivery threads decode from those queues.
//
// Threads: the engine thread calls Load (once), the state changes, Seek (through the primary
// pin's seeking) and destroys the filter. The worker thread ("qor-demux") runs the command loop
// of CWorkerThread with DoWork. The pins' delivery threads use the IDecoderSource side and the
// start accessors.
// Locks: the order of docs/architecture.md ("Locks"); queues notify the room signal after
// releasing their own lock.
//
// The worker's waits: while every fed queue is full, and while the queue of the packet in hand
// holds its hard limit, it waits on the room signal, which the queues notify as they lose records
// or are aborted and CallWorker notifies (OnRequestPosted) with every command. Pause and run are
// answered inside the wait; stop and exit end the work, and a packet read but not yet queued is
// kept for the next start (a seek drops it).
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "media/DecoderSource.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"
#include "media/Subtitle.h"
#include "platform/graph/Source.h"
#include "platform/graph/WorkerThread.h"

class CSeekableStream;
class CVeltoVideoStream;
class CVeltoAudioStream;

class CVeltoSource : public CSource,
                     public CWorkerThread,
                     public IDecoderSource,
                     public IAMMediaContent {
public:
    CVeltoSource() = default;
    // Stops, ends the worker, then frees the queues before the subtitles and the media.
    ~CVeltoSource() override;

    // Opens the file, makes the pins and queues, synchronises the first video and audio
    // packets and starts the worker. E_POINTER for a null name, the parse failure when nothing
    // is playable, E_UNEXPECTED when the first synchronisation fails or on a second call.
    HRESULT Load(const wchar_t* fileName);
    // E_POINTER for a null out.
    HRESULT GetCurFile(std::wstring* fileName) const;

    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    // Also drops the external subtitle track.
    HRESULT Stop() override;

    // Moves both pins to t (100-ns units). Only the primary pin may ask (else E_NOTIMPL).
    HRESULT Seek(REFERENCE_TIME t, CSeekableStream* caller);
    // Makes `index` the current stream of `kind` (STREAM_AUDIO or STREAM_SUBTITLE; a subtitle
    // index of -1 leaves the file without one). Stream indexes change only while the worker and
    // the pins are stopped: the switch is made inside the seek that `reposition` runs (the
    // engine seeks its graph to where playback is), so the new track starts at the current
    // position and no queued packet of the old one reaches the new decoder. Engine thread,
    // without the state lock. True when the stream opened; false, with nothing changed, when
    // the reposition did not reach the source.
    bool SelectStream(int kind, int index, const std::function<HRESULT()>& reposition);

    CVeltoVideoStream* VideoPin() const { return m_videoPin; }
    CVeltoAudioStream* AudioPin() const { return m_audioPin; }
    CSeekableStream* PrimaryPin() const { return m_primaryPin; }
    // Stamps of the first video and audio packets after the last synchronisation; output time
    // 0 is the audio start.
    REFERENCE_TIME VideoStart() const { return m_videoStart; }
    REFERENCE_TIME AudioStart() const { return m_audioStart; }
    // Where the last seek asked to start, as a queue stamp (the file's start after the load);
    // pictures before it are not shown.
    REFERENCE_TIME SeekTarget() const { return m_seekTarget; }
    // Pin delivery threads: a sample holding a picture or a sound is about to be delivered.
    void NoteSampleDelivered() { m_deliveredSample.store(true, std::memory_order_release); }
    // Any thread. Whether any picture or sound has left the pins since the load: a file whose
    // streams are found but yield nothing decodable ends at once without one.
    bool DeliveredAnySample() const { return m_deliveredSample.load(std::memory_order_acquire); }

    // The file's own tags ("title"; "artist", else "author"; "copyright"); E_FAIL without one.
    HRESULT get_Title(std::wstring* title) override;
    HRESULT get_AuthorName(std::wstring* author) override;
    HRESULT get_Copyright(std::wstring* copyright) override;

    CPlaybackInfo& Media() override { return m_media; }
    CPacketQueueVideo* VideoQueue() override { return m_videoQueue.get(); }
    CPacketQueue2* AudioQueue() override { return m_audioQueue.get(); }
    CPacketQueue2* SubtitleQueue() override { return m_subtitleQueue.get(); }
    CSubtitle* Subtitles() override { return &m_subtitles; }
    // The load of the subtitle file found beside the media file, which Load starts in the
    // background: ready once it has ended, true when the subtitle was loaded (false at once when
    // none was found, invalid before Load).
    const std::shared_future<bool>& FoundSubtitle() const { return m_foundSubtitle; }
    void WaitWhileVideoQueueLow() override;

protected:
    // Reads packets into the queues until the end of the file or a stop.
    HRESULT DoWork() override;
    // Only while the filter runs or is paused.
    bool WorkWanted() override;
    void OnWorkerNote(EWorkerNote note, int value) override;
    void OnRequestPosted() override;

private:
    // The queues the worker fills: those of pins whose tracks are open (null for the others).
    struct CFedQueues {
        CPacketQueue2* video;
        CPacketQueue2* audio;
    };
    CFedQueues FedQueues() const;
    // Every fed queue is full (true as well when no queue is fed).
    bool QueuesFull() const;
    // A fed queue is down to half its size (false when no queue is fed).
    bool QueuesWantMore() const;
    // Returns at once while a fed queue is not full; once all are, waits until one wants more.
    // False when a stop or exit came first.
    bool WaitForRoom(int videoPackets, int audioPackets);
    // Makes the pending stream switch, if any; the worker and the pins must be stopped.
    void ApplyStreamSwitch();
    // Queues a packet read by the worker by its stream, waiting while that queue is at its hard
    // limit; packets of other streams are dropped. False, with the packet left in place, when a
    // stop or exit came first.
    bool Dispatch(CAVPacketPtr& packet);
    void PutEndMarkers(bool subtitles);
    // Finds the first video packet from which the picture can be decoded and the first sound at
    // or after `target`; the pins count stream time from that sound, so the picture decoded
    // between the key frame and the target is skipped rather than shown late.
    bool Synchronise(REFERENCE_TIME target);
    REFERENCE_TIME SeekingVideoQueue();
    bool SeekingAudioQueue(REFERENCE_TIME videoStart, REFERENCE_TIME* audioStart);
    // Queues a packet of the current subtitle stream read during the synchronisation; drops any
    // other.
    void KeepSubtitle(CAVPacketPtr packet);
    // Stops or restarts both pins' deliveries (pins that exist).
    void StopPins();
    void StartPins();

    std::wstring m_fileName;
    CPlaybackInfo m_media;
    CSubtitle m_subtitles;
    std::shared_future<bool> m_foundSubtitle; // engine thread
    CVeltoVideoStream* m_videoPin = nullptr;  // owned by the base, like every pin
    CVeltoAudioStream* m_audioPin = nullptr;
    CSeekableStream* m_primaryPin = nullptr; // audio pin when there is one, else video pin
    CRoomSignal m_room; // the worker's waits; outlives the queues, which notify it
    std::unique_ptr<CPacketQueueVideo> m_videoQueue; // each null when the file lacks the kind
    std::unique_ptr<CPacketQueue2> m_audioQueue;
    std::unique_ptr<CPacketQueue2> m_subtitleQueue;
    std::atomic<REFERENCE_TIME> m_videoStart{0};
    std::atomic<REFERENCE_TIME> m_audioStart{0};
    std::atomic<REFERENCE_TIME> m_seekTarget{0};
    std::atomic<bool> m_deliveredSample{false};
    bool m_loaded = false; // engine thread only
    // Read by the worker but not queued when a stop came: the worker's while it works, the
    // engine thread's while the worker is stopped.
    CAVPacketPtr m_heldPacket;
    struct CStreamSwitch {
        int kind;
        int index;
    };
    std::optional<CStreamSwitch> m_pendingSwitch; // guarded by m_stateLock
    bool m_switchOpened = false;                  // guarded by m_stateLock
};
