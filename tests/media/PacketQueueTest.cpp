#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"

namespace {

using namespace std::chrono_literals;

// Matroska gives every stream a 1 ms time base, so stamps below are exact.
class PacketQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path =
            MakeMedia("queue_testsrc2_64x48_r25_sine_1s.mkv",
                      {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=1", "-f", "lavfi", "-i",
                       "sine=d=1", "-c:v", "mpeg4", "-c:a", "pcm_s16le"});
        ASSERT_EQ(media.ParseMediaContext(Utf8ToWide(path)), S_OK);
        ASSERT_TRUE(media.HasVideo());
        ASSERT_TRUE(media.HasAudio());
        ASSERT_EQ(media.Stream(media.VideoIndex())->time_base.den, 1000);
    }

    // A packet of the given stream with a payload and time stamps in milliseconds.
    CAVPacketPtr Packet(int stream, std::int64_t dtsMs, std::int64_t ptsMs) {
        CAVPacketPtr packet(av_packet_alloc());
        EXPECT_EQ(av_new_packet(packet.get(), 16), 0);
        packet->stream_index = stream;
        packet->dts = dtsMs;
        packet->pts = ptsMs;
        return packet;
    }
    CAVPacketPtr Video(std::int64_t ms) { return Packet(media.VideoIndex(), ms, ms); }

    std::vector<REFERENCE_TIME> TakeStamps(CPacketQueue2& queue, int count) {
        std::vector<REFERENCE_TIME> stamps;
        for (int i = 0; i < count; ++i) {
            CPacket packet;
            EXPECT_TRUE(queue.Get(packet));
            stamps.push_back(packet.stamp);
            queue.FreePacket(packet);
        }
        return stamps;
    }

    CPlaybackInfo media;
};

TEST_F(PacketQueueTest, VideoStampsCloseOrBackwardsAreFilledInByFrameDuration) {
    CPacketQueueVideo queue(media, "V", 10);
    queue.Reset();
    EXPECT_EQ(queue.Put(Video(1000)), 10000000);
    EXPECT_EQ(queue.Put(Video(1002)), 0); // 2 ms later: not trusted
    queue.Put(Video(1003));
    queue.Put(Video(1001)); // earlier than its predecessor
    queue.Put(Video(2000));
    queue.Put(Video(1500)); // backwards by far
    REFERENCE_TIME head = -1;
    ASSERT_TRUE(queue.Peek(&head));
    EXPECT_EQ(head, 10000000);
    EXPECT_EQ(TakeStamps(queue, 6), (std::vector<REFERENCE_TIME>{10000000, 10333333, 10666666,
                                                                 10999999, 20000000, 20333333}));
}

TEST_F(PacketQueueTest, VideoStampFarAheadIsFilledInUnlessTheNextFollowsIt) {
    CPacketQueueVideo queue(media, "V", 10);
    queue.Reset();
    queue.Put(Video(1000));
    queue.Put(Video(1040));
    EXPECT_EQ(queue.Put(Video(6619760)), 0); // a damaged stamp, almost two hours ahead
    queue.Put(Video(1120));
    queue.Put(Video(1160));
    queue.Put(Video(60000)); // the recording goes on a minute later...
    queue.Put(Video(60040)); // ...as the next stamp confirms
    EXPECT_EQ(TakeStamps(queue, 7),
              (std::vector<REFERENCE_TIME>{10000000, 10400000, 10733333, 11200000, 11600000,
                                           11933333, 600400000}));
}

TEST_F(PacketQueueTest, VideoStampFallsBackToPtsAndKeepsPacketTimes) {
    CPacketQueueVideo queue(media, "V", 10);
    queue.Reset();
    queue.Put(Packet(media.VideoIndex(), AV_NOPTS_VALUE, 400));
    CPacket packet;
    ASSERT_TRUE(queue.Get(packet));
    EXPECT_EQ(packet.stamp, 4000000);
    // The decoder still sees the file's own times.
    EXPECT_EQ(packet.packet->pts, 400);
    EXPECT_EQ(packet.packet->dts, AV_NOPTS_VALUE);
}

TEST_F(PacketQueueTest, RestampSpacesRecordsBackFromTheTail) {
    CPacketQueueVideo queue(media, "V", 10);
    queue.Reset();
    queue.Put(Video(0));
    queue.Put(Video(1));
    queue.Put(Video(500));
    EXPECT_EQ(queue.Restamp(), 4333334);
    EXPECT_EQ(TakeStamps(queue, 3), (std::vector<REFERENCE_TIME>{4333334, 4666667, 5000000}));
    // Reset forgets the previous stamp: 1 ms is 10,000 units after 0, no longer after 500 ms.
    queue.Reset();
    queue.Put(Video(400));
    EXPECT_EQ(TakeStamps(queue, 1), (std::vector<REFERENCE_TIME>{4000000}));
}

TEST_F(PacketQueueTest, GeneralQueueConvertsEachPacketWithItsStreamTimeBase) {
    CPacketQueue2 queue(media, "A", 10);
    queue.Put(Packet(media.AudioIndex(), 250, 260));
    queue.Put(Packet(media.AudioIndex(), 251, 261)); // no 3 ms rule here
    queue.Put(Packet(media.AudioIndex(), AV_NOPTS_VALUE, 300));
    queue.Put(Packet(media.AudioIndex(), AV_NOPTS_VALUE, AV_NOPTS_VALUE));
    queue.Put(Packet(99, 100, 100)); // no such stream
    queue.Put(nullptr);
    EXPECT_EQ(queue.Count(), 5);
    EXPECT_EQ(TakeStamps(queue, 5), (std::vector<REFERENCE_TIME>{2500000, 2510000, 3000000, 0, 0}));
}

TEST_F(PacketQueueTest, EndMarkerIsReturnedOnceThenGetWaitsForData) {
    CPacketQueue2 queue(media, "A", 10);
    queue.PutEnd();
    EXPECT_TRUE(queue.LastIsEnd());
    bool isEnd = false;
    ASSERT_TRUE(queue.Peek(nullptr, &isEnd));
    EXPECT_TRUE(isEnd);
    CPacket packet;
    EXPECT_FALSE(queue.Get(packet));
    EXPECT_EQ(queue.Count(), 0);

    auto waiting = std::async(std::launch::async, [&queue] {
        CPacket next;
        const bool got = queue.Get(next);
        return got ? next.stamp : REFERENCE_TIME{-1};
    });
    EXPECT_EQ(waiting.wait_for(150ms), std::future_status::timeout);
    queue.Put(Packet(media.AudioIndex(), 100, 100));
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 1000000);
}

TEST_F(PacketQueueTest, AbortWakesWaitersAndRefusesWithoutConsumingUntilResume) {
    CPacketQueueVideo queue(media, "V", 10);
    auto waiting = std::async(std::launch::async, [&queue] {
        CPacket packet;
        return queue.Get(packet);
    });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    queue.Abort();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    EXPECT_TRUE(queue.IsAborted());

    queue.Put(Video(100));
    CPacket packet;
    EXPECT_FALSE(queue.Get(packet));
    EXPECT_EQ(queue.Count(), 1);
    queue.Resume();
    EXPECT_FALSE(queue.IsAborted());
    EXPECT_TRUE(queue.Get(packet));
    EXPECT_EQ(packet.stamp, 1000000);
}

TEST_F(PacketQueueTest, TrimAndFlushDropRecords) {
    CPacketQueue2 queue(media, "A", 10);
    for (std::int64_t ms : {100, 200, 300, 400}) {
        queue.Put(Packet(media.AudioIndex(), ms, ms));
    }
    REFERENCE_TIME first = 0;
    EXPECT_TRUE(queue.TrimBefore(2500000, &first));
    EXPECT_EQ(first, 3000000);
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_FALSE(queue.TrimBefore(5000000, &first));
    EXPECT_EQ(queue.Count(), 0);

    queue.Put(Packet(media.AudioIndex(), 100, 100));
    queue.PutEnd();
    queue.Flush();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_FALSE(queue.Peek());
    EXPECT_FALSE(queue.LastIsEnd());
}

// The producer's waits: a full queue holds the bounded put until a Get or a Flush of that queue
// makes room, or until whoever notifies the shared signal has made giveUp true (the worker's
// commands); the decoder's low-queue wait ends on more records, the end marker or an abort.
TEST_F(PacketQueueTest, GetWakesTheProducerOnlyOnceTheQueueIsDownToHalf) {
    CRoomSignal room;
    CPacketQueue2 audio(media, "A", 10, &room);
    for (int i = 0; i < 12; ++i) {
        audio.Put(Packet(media.AudioIndex(), i, i));
    }
    const std::uint64_t before = room.Notifications();
    for (int left = 11; left >= 0; --left) {
        CPacket packet;
        ASSERT_TRUE(audio.Get(packet));
        EXPECT_EQ(audio.WantsMore(), left <= 5) << left << " left";
        EXPECT_EQ(room.Notifications() - before, static_cast<std::uint64_t>(std::max(0, 6 - left)))
            << "notified by the Get that left " << left;
    }
}

TEST_F(PacketQueueTest, ProducerAndLowQueueWaitsEndOnlyWhenWoken) {
    CRoomSignal room;
    CPacketQueue2 audio(media, "A", 10, &room);
    CPacketQueueVideo video(media, "V", 2, &room);
    for (int i = 0; i < CPacketQueue2::kHardLimit; ++i) {
        audio.Put(Packet(media.AudioIndex(), i, i));
    }
    EXPECT_TRUE(audio.Full());
    std::atomic<bool> giveUp{false};
    auto put = [&] {
        return std::async(std::launch::async, [&] {
            CAVPacketPtr packet = Packet(media.AudioIndex(), 9999, 9999);
            const bool queued = audio.PutBounded(packet, [&] { return giveUp.load(); });
            return queued == !packet;
        });
    };
    for (const bool byGet : {true, false}) {
        auto waiting = put();
        EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
        video.Put(Video(0)); // another queue's records make no room here
        EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
        if (byGet) {
            CPacket packet;
            ASSERT_TRUE(audio.Get(packet));
        } else {
            audio.Flush();
        }
        ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(waiting.get());
        while (audio.Count() < CPacketQueue2::kHardLimit) {
            audio.Put(Packet(media.AudioIndex(), 1, 1));
        }
    }
    auto refused = put();
    EXPECT_EQ(refused.wait_for(100ms), std::future_status::timeout);
    giveUp = true;
    room.Notify();
    ASSERT_EQ(refused.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(refused.get()) << "the packet stays with the caller";
    EXPECT_EQ(audio.Count(), CPacketQueue2::kHardLimit);

    const std::function<void()> wakers[] = {[&] { video.Put(Video(100)); }, [&] { video.PutEnd(); },
                                            [&] { video.Abort(); }};
    for (const auto& wake : wakers) {
        video.Flush();
        video.Resume();
        video.Put(Video(0)); // one record: low
        auto low = std::async(std::launch::async, [&] { video.WaitWhileLow(1); });
        EXPECT_EQ(low.wait_for(100ms), std::future_status::timeout);
        wake();
        EXPECT_EQ(low.wait_for(5s), std::future_status::ready);
    }
}

} // namespace
