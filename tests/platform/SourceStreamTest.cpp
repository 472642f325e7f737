#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include <gtest/gtest.h>

#include "platform/graph/Source.h"
#include "platform/graph/SourceSeeking.h"
#include "platform/graph/SourceStream.h"
#include "support/RecordingPin.h"

using namespace std::chrono_literals;

namespace {

CMediaType TypeOf(ESubType sub) {
    CMediaType type;
    type.majorType = EMajorType::Video;
    type.subType = sub;
    type.formatType = EFormatType::VideoInfo;
    return type;
}

// Numbers its samples; ends the stream (or fails) after a given count.
class CCountingPin : public CSourceStream {
public:
    CCountingPin(CSource* filter) : CSourceStream("Counter", filter) {}

    int endAfter = -1;           // S_FALSE from this fill on; -1 never
    HRESULT endResult = S_FALSE; // what the ending fill returns
    long bufferSize = 16;
    std::atomic<int> fills{0};
    std::atomic<int> starts{0};

    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position == 0) {
            *type = TypeOf(ESubType::YUY2);
        } else if (position == 1) {
            *type = TypeOf(ESubType::RGB24);
        } else {
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT CheckMediaType(const CMediaType& type) override {
        return type.subType == ESubType::PCM ? E_FAIL : S_OK;
    }

protected:
    HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties*) override {
        CAllocatorProperties request, actual;
        request.buffers = 1;
        request.bufferSize = bufferSize;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT OnThreadStartPlay() override {
        ++starts;
        return S_OK;
    }
    HRESULT FillBuffer(CMediaSample& sample) override {
        int n = fills++;
        if (endAfter >= 0 && n >= endAfter) {
            return endResult;
        }
        std::memcpy(sample.GetPointer(), &n, sizeof n);
        sample.SetActualDataLength(sizeof n);
        REFERENCE_TIME start = n * 100, stop = start + 100;
        sample.SetTime(&start, &stop);
        return S_OK;
    }
};

class CEventRecorder : public IMediaEventSink {
public:
    void Notify(long code, std::intptr_t p1, std::intptr_t) override {
        lastCode = code;
        lastParam = p1;
    }
    std::atomic<long> lastCode{0};
    std::atomic<std::intptr_t> lastParam{0};
};

class CTestFilter : public CSource {
public:
    CTestFilter() {
        auto pin = std::make_unique<CCountingPin>(this);
        counter = pin.get();
        AddPin(std::move(pin));
    }
    ~CTestFilter() override { Stop(); }
    CCountingPin* counter;
};

int Number(const CRecordedSample& s) {
    int n = -1;
    if (s.data.size() >= sizeof n) {
        std::memcpy(&n, s.data.data(), sizeof n);
    }
    return n;
}

} // namespace

TEST(SourceStream, ConnectsWithTheFirstOfferedTypeTheInputTakes) {
    CTestFilter filter;
    CRecordingPin renderer;
    renderer.accept = [](const CMediaType& t) { return t.subType == ESubType::RGB24; };
    ASSERT_EQ(filter.counter->Connect(&renderer), S_OK);
    EXPECT_EQ(renderer.connectedType.subType, ESubType::RGB24);
    EXPECT_EQ(filter.counter->ConnectionMediaType(), renderer.connectedType);
    EXPECT_EQ(filter.counter->Connect(&renderer), E_UNEXPECTED) << "connected already";

    CTestFilter other;
    CMediaType pcm = TypeOf(ESubType::PCM);
    CRecordingPin any;
    EXPECT_EQ(other.counter->Connect(&any, &pcm), E_FAIL) << "the pin refuses PCM";
    EXPECT_FALSE(other.counter->IsConnected());
    other.counter->bufferSize = 0;
    EXPECT_TRUE(FAILED(other.counter->Connect(&any)));
    EXPECT_FALSE(other.counter->IsConnected()) << "a failed buffer negotiation undoes the link";
    EXPECT_FALSE(any.connected);
}

TEST(SourceStream, DeliversInOrderThroughPauseRunAndStop) {
    CTestFilter filter;
    CRecordingPin renderer;
    renderer.keepData = [](std::size_t, const CMediaSample&) { return true; };
    ASSERT_EQ(filter.counter->Connect(&renderer), S_OK);

    renderer.Hold(true); // a paused renderer keeps the first sample waiting
    ASSERT_EQ(filter.Pause(), S_OK);
    EXPECT_EQ(filter.GetState(), EFilterState::Paused);
    ASSERT_TRUE(renderer.WaitInReceive());
    EXPECT_EQ(renderer.Locked([](CRecordingPin& p) { return p.samples.size(); }), 0u);

    ASSERT_EQ(filter.Run(1234), S_OK);
    EXPECT_EQ(filter.GetStartTime(), 1234);
    renderer.Hold(false);
    ASSERT_TRUE(renderer.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 20; }));
    ASSERT_EQ(filter.Stop(), S_OK);
    EXPECT_FALSE(filter.counter->ThreadExists());

    const std::size_t count = renderer.samples.size();
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(Number(renderer.samples[i]), static_cast<int>(i));
        EXPECT_EQ(renderer.samples[i].start, static_cast<REFERENCE_TIME>(i) * 100);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(renderer.samples.size(), count) << "nothing arrives after Stop returned";

    // A new start carries on: the pin's thread is made again.
    ASSERT_EQ(filter.Run(0), S_OK);
    ASSERT_TRUE(
        renderer.WaitFor([count](CRecordingPin& p) { return p.samples.size() > count + 2; }));
    filter.Stop();
    EXPECT_EQ(filter.counter->starts.load(), 2);
}

TEST(SourceStream, EndOfStreamAndFillFailureEndTheLoop) {
    {
        CTestFilter filter;
        CRecordingPin renderer;
        filter.counter->endAfter = 5;
        ASSERT_EQ(filter.counter->Connect(&renderer), S_OK);
        ASSERT_EQ(filter.Run(0), S_OK);
        ASSERT_TRUE(renderer.WaitFor([](CRecordingPin& p) { return p.endOfStreams == 1; }));
        filter.Stop();
        EXPECT_EQ(renderer.samples.size(), 5u);
        EXPECT_EQ(filter.counter->fills.load(), 6) << "no fill after the end";
    }
    {
        CTestFilter filter;
        CRecordingPin renderer;
        CEventRecorder events;
        filter.SetEventSink(&events);
        filter.counter->endAfter = 2;
        filter.counter->endResult = E_POINTER;
        ASSERT_EQ(filter.counter->Connect(&renderer), S_OK);
        ASSERT_EQ(filter.Run(0), S_OK);
        ASSERT_TRUE(renderer.WaitFor([](CRecordingPin& p) { return p.endOfStreams == 1; }));
        filter.Stop();
        EXPECT_EQ(events.lastCode.load(), EC_ERRORABORT);
        EXPECT_EQ(events.lastParam.load(), E_POINTER);
    }
}

TEST(SourceStream, StopReturnsWhileTheRendererHoldsASample) {
    CTestFilter filter;
    CRecordingPin renderer;
    ASSERT_EQ(filter.counter->Connect(&renderer), S_OK);
    renderer.Hold(true);
    ASSERT_EQ(filter.Run(0), S_OK);
    ASSERT_TRUE(renderer.WaitInReceive());

    // The graph stops the renderer before the source, as a real graph does.
    auto stopped = std::async(std::launch::async, [&] {
        renderer.StopRenderer(true);
        return filter.Stop();
    });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "stop hung";
    EXPECT_EQ(stopped.get(), S_OK);
    EXPECT_EQ(filter.GetState(), EFilterState::Stopped);
    EXPECT_EQ(renderer.samples.size(), 0u);
}

namespace {
class CSeekingProbe : public CSourceSeeking {
public:
    int startChanges = 0, stopChanges = 0, rateChanges = 0;
    REFERENCE_TIME startSeen = -1;

protected:
    HRESULT ChangeStart() override {
        ++startChanges;
        std::lock_guard lock(m_seekingLock);
        startSeen = m_start;
        return S_OK;
    }
    HRESULT ChangeStop() override {
        ++stopChanges;
        return E_NOTIMPL;
    }
    HRESULT ChangeRate() override {
        ++rateChanges;
        return S_OK;
    }
};
} // namespace

TEST(SourceSeeking, PositionsAreStoredBeforeTheChangeIsAnnounced) {
    CSeekingProbe seeking;
    REFERENCE_TIME t = 30 * UNITS;
    EXPECT_EQ(
        seeking.SetPositions(&t, SEEKING_ABSOLUTE_POSITIONING, nullptr, SEEKING_NO_POSITIONING),
        S_OK);
    EXPECT_EQ(seeking.startSeen, t);
    REFERENCE_TIME back = -10 * UNITS;
    seeking.SetPositions(&back, SEEKING_RELATIVE_POSITIONING, nullptr, SEEKING_NO_POSITIONING);
    EXPECT_EQ(seeking.startSeen, 20 * UNITS);
    EXPECT_EQ(seeking.stopChanges, 0);

    REFERENCE_TIME stop = 5;
    EXPECT_EQ(
        seeking.SetPositions(nullptr, SEEKING_NO_POSITIONING, &stop, SEEKING_ABSOLUTE_POSITIONING),
        E_NOTIMPL);
    EXPECT_EQ(seeking.startChanges, 2) << "a stop change alone does not seek";
    EXPECT_EQ(seeking.SetPositions(nullptr, SEEKING_ABSOLUTE_POSITIONING, nullptr, 0), E_POINTER);
    EXPECT_EQ(seeking.SetPositions(&t, 3, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(seeking.startChanges, 2);

    EXPECT_EQ(seeking.SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(seeking.SetRate(-1.0), E_INVALIDARG);
    EXPECT_EQ(seeking.GetRate(), 1.0);
    EXPECT_EQ(seeking.SetRate(2.0), S_OK);
    EXPECT_EQ(seeking.GetRate(), 2.0);

    std::uint32_t caps = SEEKING_CAN_SEEK_ABSOLUTE | SEEKING_CAN_GET_CURRENT_POS;
    EXPECT_EQ(seeking.CheckCapabilities(&caps), S_FALSE);
    EXPECT_EQ(caps, SEEKING_CAN_SEEK_ABSOLUTE);
}
