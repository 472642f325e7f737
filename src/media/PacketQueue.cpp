#include "media/PacketQueue.h"

#include <chrono>

#include "core/Log.h"
#include "media/PlaybackInfo.h"

namespace {

// A consumer that waits this long without data logs that its queue is starved.
constexpr auto kBlockingLogInterval = std::chrono::milliseconds(100);

} // namespace

void CRoomSignal::Notify() {
    // Taking the lock orders this after a waiter's check of its condition, so no wake is lost.
    {
        std::lock_guard lock(m_lock);
        ++m_notifications;
    }
    m_notified.notify_all();
}

std::uint64_t CRoomSignal::Notifications() {
    std::lock_guard lock(m_lock);
    return m_notifications;
}

void CRoomSignal::WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(m_lock);
    m_notified.wait(lock, ready);
}

CPacketQueue2::CPacketQueue2(CPlaybackInfo& owner, std::string name, int size, CRoomSignal* room)
    : m_owner(owner), m_name(std::move(name)), m_size(size),
      m_room(room != nullptr ? room : &m_ownRoom) {}

CPacketQueue2::~CPacketQueue2() = default;

REFERENCE_TIME CPacketQueue2::Rescale(const AVPacket& packet, std::int64_t t) const {
    const AVStream* stream = m_owner.Stream(packet.stream_index);
    if (stream == nullptr || t == AV_NOPTS_VALUE) {
        return 0;
    }
    return av_rescale_q(t, stream->time_base, AVRational{1, static_cast<int>(UNITS)});
}

REFERENCE_TIME CPacketQueue2::ToStamp(const AVPacket& packet) const {
    // Packets without a decoding stamp still have their presentation stamp to go by.
    return Rescale(packet, packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts);
}

REFERENCE_TIME CPacketQueue2::Put(CAVPacketPtr packet) {
    if (!packet) {
        return 0;
    }
    REFERENCE_TIME stamp = 0;
    {
        std::lock_guard lock(m_lock);
        stamp = ConvertStamp(*packet);
        m_list.push_back(CPacket{std::move(packet), stamp});
    }
    m_changed.notify_all();
    return stamp;
}

bool CPacketQueue2::PutBounded(CAVPacketPtr& packet, const std::function<bool()>& giveUp) {
    bool hasRoom = false;
    // The producer is the only one to add records, so room seen here is still there below.
    m_room->WaitUntil([&] {
        hasRoom = Count() < kHardLimit;
        return hasRoom || giveUp();
    });
    if (!hasRoom) {
        return false;
    }
    Put(std::move(packet));
    return true;
}

void CPacketQueue2::PutEnd() {
    {
        std::lock_guard lock(m_lock);
        m_list.push_back(CPacket{});
    }
    m_changed.notify_all();
}

bool CPacketQueue2::Get(CPacket& out) {
    return Take(out, "CPacketQueue2::Get", "%s: Queue blocking......", "%s: EOF!");
}

bool CPacketQueue2::Take(CPacket& out, const char* function, const char* blockingFormat,
                         const char* eofFormat) {
    bool taken = false;
    bool wantsMore = false;
    {
        std::unique_lock lock(m_lock);
        while (m_list.empty() && !m_aborted) {
            if (!m_changed.wait_for(lock, kBlockingLogInterval,
                                    [this] { return !m_list.empty() || m_aborted; })) {
                Log({function, LOG_LEVEL_INFO}, blockingFormat, m_name.c_str());
            }
        }
        if (m_aborted) {
            return false;
        }
        const auto left = static_cast<int>(m_list.size()) - 1;
        wantsMore = left <= RefillMark() || left == kHardLimit - 1;
        out = std::move(m_list.front());
        m_list.pop_front();
        if (out.IsEnd()) {
            Log({function, LOG_LEVEL_INFO}, eofFormat, m_name.c_str());
            out.packet.reset();
        } else {
            OnTaken(out);
            taken = true;
        }
    }
    if (wantsMore) {
        m_room->Notify();
    }
    return taken;
}

int CPacketQueue2::Count() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_list.size());
}

bool CPacketQueue2::Full() const {
    return Count() > m_size;
}

bool CPacketQueue2::WantsMore() const {
    return Count() <= RefillMark();
}

void CPacketQueue2::WaitWhileLow(int low) {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] {
        const auto count = static_cast<int>(m_list.size());
        return count == 0 || count > low || m_list.back().IsEnd() || m_aborted;
    });
}

bool CPacketQueue2::Peek(REFERENCE_TIME* stamp, bool* isEnd) const {
    std::lock_guard lock(m_lock);
    if (m_list.empty()) {
        return false;
    }
    if (stamp != nullptr) {
        *stamp = m_list.front().stamp;
    }
    if (isEnd != nullptr) {
        *isEnd = m_list.front().IsEnd();
    }
    return true;
}

bool CPacketQueue2::LastIsEnd() const {
    std::lock_guard lock(m_lock);
    return !m_list.empty() && m_list.back().IsEnd();
}

void CPacketQueue2::Flush() {
    std::deque<CPacket> dropped;
    {
        std::lock_guard lock(m_lock);
        dropped.swap(m_list);
    }
    m_changed.notify_all();
    m_room->Notify();
    // Payloads are freed outside the lock; nothing else can reach them any more.
}

void CPacketQueue2::FreePacket(CPacket& packet) {
    packet.packet.reset();
    packet.stamp = 0;
}

bool CPacketQueue2::TrimBefore(REFERENCE_TIME start, REFERENCE_TIME* first) {
    bool found = false;
    {
        std::lock_guard lock(m_lock);
        while (!m_list.empty() && m_list.front().stamp < start) {
            m_list.pop_front();
        }
        found = !m_list.empty();
        if (found && first != nullptr) {
            *first = m_list.front().stamp;
        }
    }
    m_room->Notify();
    return found;
}

void CPacketQueue2::Abort() {
    {
        std::lock_guard lock(m_lock);
        m_aborted = true;
    }
    m_changed.notify_all();
    m_room->Notify();
}

void CPacketQueue2::Resume() {
    std::lock_guard lock(m_lock);
    m_aborted = false;
}

bool CPacketQueue2::IsAborted() const {
    std::lock_guard lock(m_lock);
    return m_aborted;
}

CPacketQueueVideo::CPacketQueueVideo(CPlaybackInfo& owner, std::string name, int size,
                                     CRoomSignal* room)
    : CPacketQueue2(owner, std::move(name), size, room) {}

REFERENCE_TIME CPacketQueueVideo::ConvertStamp(const AVPacket& packet) {
    const std::int64_t source = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    const REFERENCE_TIME t = Rescale(packet, source);
    if (m_previousStamp != 0 && t - m_previousStamp > kMaxStampJump) {
        // A damaged stamp would hold the picture back until the clock reached it; a real jump
        // (a recording that continues later) shows itself by the next stamp following on.
        const bool followsJump =
            m_jumpedStamp != 0 && t > m_jumpedStamp && t - m_jumpedStamp <= kMaxStampJump;
        m_jumpedStamp = t;
        if (!followsJump) {
            return 0;
        }
    }
    m_jumpedStamp = 0;
    const REFERENCE_TIME previous = m_previousStamp;
    m_previousStamp = t;
    return t - previous <= kMinStampStep ? 0 : t;
}

bool CPacketQueueVideo::Get(CPacket& out) {
    return Take(out, "CPacketQueueVideo::Get", "%s: Queue blocking...", "%s: EOF!!");
}

void CPacketQueueVideo::OnTaken(CPacket& packet) {
    if (packet.stamp != 0) {
        m_lastKnownStamp = packet.stamp;
        m_filledIn = 0;
        return;
    }
    ++m_filledIn;
    packet.stamp = m_lastKnownStamp + m_filledIn * CPlaybackInfo::FrameDuration();
}

void CPacketQueueVideo::Reset() {
    std::lock_guard lock(m_lock);
    m_previousStamp = 0;
    m_jumpedStamp = 0;
    m_lastKnownStamp = 0;
    m_filledIn = 0;
}

REFERENCE_TIME CPacketQueueVideo::Restamp() {
    std::lock_guard lock(m_lock);
    if (m_list.empty()) {
        return 0;
    }
    const REFERENCE_TIME tail = m_list.back().stamp;
    REFERENCE_TIME k = 0;
    for (auto it = m_list.rbegin(); it != m_list.rend(); ++it, ++k) {
        it->stamp = tail - k * CPlaybackInfo::FrameDuration();
    }
    return m_list.front().stamp;
}
