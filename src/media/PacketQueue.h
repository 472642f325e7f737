#pragma once

// Packet queues between the demux worker and the decoders: "V" (video), "A" (audio) and "S"
// (subtitles). A packet's queue stamp (100-ns media time, 0 = no stamp) is kept in the record,
// beside FFmpeg's own pts/dts, which the decoders still see unchanged.
//
// Threads: the demux worker puts (Put, PutEnd) and trims during seek synchronisation; one pin
// delivery thread gets (video pin: "V" and "S"; audio pin: "A"); the engine thread flushes,
// resets, aborts and resumes while the pins are stopped. Each queue has its own mutex, never
// held while waiting and never held together with another queue's. A waiting Get or WaitWhileLow
// is woken by Put, PutEnd, Flush and Abort. The producer's waits for room (PutBounded, and the
// worker's own wait for any of its queues to want more) are on a CRoomSignal that the queues share:
// it is notified when a Get leaves a queue wanting more (WantsMore) or leaves room under the hard
// limit, whenever a queue is flushed, trimmed or aborted, and by whoever else the producer must
// answer. A Get that leaves a queue fuller than that notifies no one, so that the producer, once
// every queue is full, is woken once to refill them rather than at each packet taken (each wake
// is a thread switch, about 30 us of CPU). Lock order: docs/architecture.md ("Locks").

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "media/FFmpegPtr.h"
#include "platform/graph/Result.h"

class CPlaybackInfo;

// One queued record. Owns its payload; a record without packet is the end marker.
struct CPacket {
    CAVPacketPtr packet;
    REFERENCE_TIME stamp = 0; // 100-ns units; 0 = no stamp

    bool IsEnd() const { return !packet || (packet->data == nullptr && packet->size == 0); }
};

// Where a producer waits for room in any of several queues.
class CRoomSignal {
public:
    // Wakes every WaitUntil. Takes the signal's lock briefly, so call it without a queue lock.
    void Notify();
    // How often Notify was called.
    std::uint64_t Notifications();
    // Blocks until ready() holds; ready is evaluated with the signal's lock held, at the start
    // and after every Notify. Lock order: it may take queue locks, never the other way round.
    void WaitUntil(const std::function<bool()>& ready);

private:
    std::mutex m_lock;
    std::condition_variable m_notified; // signalled by Notify
    std::uint64_t m_notifications = 0;  // guarded by m_lock
};

class CPacketQueue2 {
public:
    // No queue holds more records than this, whatever the others hold: enough for the few
    // seconds by which a file's tracks may lie apart (about 10 s of 50 fps video), while a track
    // that stops early, or whose pin does not consume, cannot make the worker read the rest of
    // the file into memory.
    static constexpr int kHardLimit = 500;

    // owner: the file's streams, for time bases; it must outlive the queue. name: "V", "A" or
    // "S", used in log lines. size: the queue is Full beyond that many records. room: the signal
    // that the producer waits on, shared with its other queues; it must outlive the queue
    // (null: the queue's own).
    CPacketQueue2(CPlaybackInfo& owner, std::string name, int size, CRoomSignal* room = nullptr);
    virtual ~CPacketQueue2();
    CPacketQueue2(const CPacketQueue2&) = delete;
    CPacketQueue2& operator=(const CPacketQueue2&) = delete;

    // Takes ownership, converts the packet's time stamp to the record's stamp and appends it.
    // Returns the stamp stored (0: none, which the video queue fills in on Get). A null packet
    // is ignored and returns 0 (use PutEnd for the end marker).
    virtual REFERENCE_TIME Put(CAVPacketPtr packet);
    // Put for the producer that must not overfill the queue: waits on the room signal while the
    // queue holds kHardLimit records, and returns false, leaving the packet with the caller,
    // when giveUp() (evaluated under the room signal's lock, after each notification) becomes
    // true first. True when queued (a null packet counts as queued and is dropped).
    bool PutBounded(CAVPacketPtr& packet, const std::function<bool()>& giveUp);
    // Waits until the queue is not empty or aborted, then moves the head into out. True for a
    // real packet; false for the end marker (consumed) and, without consuming anything, while
    // the queue is aborted. Logs "%s: Queue blocking......" about every 100 ms of waiting.
    virtual bool Get(CPacket& out);
    // Forgets stamp history; called right after creation and after a flush for a seek.
    virtual void Reset() {}
    void PutEnd();
    int Count() const;
    // More than `size` records: the producer may hold back.
    bool Full() const;
    // Half of `size` records or fewer: a producer holding back should refill the queue.
    bool WantsMore() const;
    // Returns once the queue holds no record or more than `low`, ends with the end marker, or is
    // aborted. Woken by Put, PutEnd, Flush and Abort.
    void WaitWhileLow(int low);
    // False when empty; else the head's stamp (0 for the end marker) and whether it is the end
    // marker. Either pointer may be null. The head stays queued.
    bool Peek(REFERENCE_TIME* stamp = nullptr, bool* isEnd = nullptr) const;
    // The tail record is the end marker.
    bool LastIsEnd() const;
    // Frees every queued record.
    void Flush();
    // Releases a record taken with Get (its payload is freed; the record becomes empty).
    void FreePacket(CPacket& packet);

    // Seek synchronisation: drops every record before the first whose stamp is >= start (all of
    // them when there is none). True with that record's stamp in first when one remains.
    bool TrimBefore(REFERENCE_TIME start, REFERENCE_TIME* first);
    // The queue stamp a packet would get from this queue's conversion, without queueing it
    // (the general queue's rule; the video queue's Put additionally zeroes close stamps).
    REFERENCE_TIME ToStamp(const AVPacket& packet) const;

    // Makes every waiting and later Get return false at once without consuming, until Resume.
    // Called before a pin's delivery is stopped, so that no stop or seek waits on a queue.
    void Abort();
    void Resume();
    bool IsAborted() const;

    const std::string& Name() const { return m_name; }

protected:
    // WantsMore's mark: half the queue's size, so that a producer woken there refills it in one
    // burst while the consumer still has half a queue to go on.
    int RefillMark() const { return m_size / 2; }
    // Both called with m_lock held.
    virtual REFERENCE_TIME ConvertStamp(const AVPacket& packet) { return ToStamp(packet); }
    virtual void OnTaken(CPacket&) {}

    // The Get wait and removal, with the caller's log names and texts.
    bool Take(CPacket& out, const char* function, const char* blockingFormat,
              const char* eofFormat);
    // Converts t in the time base of the packet's own stream to 100-ns units; 0 when t has no
    // value or the stream is unknown.
    REFERENCE_TIME Rescale(const AVPacket& packet, std::int64_t t) const;

    CPlaybackInfo& m_owner;
    const std::string m_name;
    const int m_size;
    CRoomSignal m_ownRoom;
    CRoomSignal* const m_room; // m_ownRoom or the producer's shared signal
    mutable std::mutex m_lock;
    std::condition_variable m_changed; // signalled by Put, PutEnd, Flush and Abort
    std::deque<CPacket> m_list;        // guarded by m_lock
    bool m_aborted = false;            // guarded by m_lock
};

// The video queue: stamps within 3 ms of their predecessor count as none, as does a stamp more
// than 10 s after it unless the next stamp follows on from it; Get fills missing stamps in from
// the last known one by the frame duration.
class CPacketQueueVideo : public CPacketQueue2 {
public:
    // Stamps closer than this to the previous one (or earlier) are not trusted: 3 ms.
    static constexpr REFERENCE_TIME kMinStampStep = 30000;
    // Further ahead of the previous stamp than this is a damaged stamp (or a jump in the
    // recording, which the next stamp confirms): 10 s, far beyond any frame's duration.
    static constexpr REFERENCE_TIME kMaxStampJump = 10 * UNITS;

    CPacketQueueVideo(CPlaybackInfo& owner, std::string name, int size,
                      CRoomSignal* room = nullptr);

    bool Get(CPacket& out) override;
    void Reset() override;
    // Gives the records before the tail stamps spaced by the frame duration back from the
    // tail's, and returns the head's stamp afterwards (0 for an empty queue).
    REFERENCE_TIME Restamp();

protected:
    REFERENCE_TIME ConvertStamp(const AVPacket& packet) override;
    void OnTaken(CPacket& packet) override;

private:
    REFERENCE_TIME m_previousStamp = 0;  // guarded by m_lock
    REFERENCE_TIME m_jumpedStamp = 0;    // the last stamp too far ahead; guarded by m_lock
    REFERENCE_TIME m_lastKnownStamp = 0; // guarded by m_lock
    int m_filledIn = 0;                  // guarded by m_lock
};
