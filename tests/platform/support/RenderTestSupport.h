#pragma once
// Helpers for renderer tests: the media types the renderers take, samples filled from byte
// vectors, and an event sink that records what a renderer notifies.
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "ManualClock.h"
#include "platform/graph/BaseFilter.h"
#include "platform/graph/MediaSample.h"
#include "platform/graph/MediaType.h"
#include "platform/graph/PictureOverlay.h"

// Marks the bottom right pixel of every canvas it is drawn on (blue 1, green 2, red 3) and keeps
// the canvases' sizes and pixel widths.
class CCornerOverlay : public IPictureOverlay {
public:
    void Draw(const CBgrCanvas& canvas) const override {
        std::uint8_t* corner = canvas.Pixel(canvas.width - 1, canvas.height - 1);
        corner[0] = 1;
        corner[1] = 2;
        corner[2] = 3;
        const std::lock_guard lock(m_lock);
        m_drawn.push_back({canvas.width, canvas.height, canvas.bytesPerPixel});
    }
    // {width, height, bytes per pixel} of each canvas drawn on.
    std::vector<std::array<int, 3>> Drawn() const {
        const std::lock_guard lock(m_lock);
        return m_drawn;
    }

private:
    mutable std::mutex m_lock;
    mutable std::vector<std::array<int, 3>> m_drawn; // guarded by m_lock
};

// Interleaved PCM as the source's audio pin offers it.
inline CMediaType PcmType(int rate, int channels, int bits = 16) {
    CWaveFormatEx format;
    format.formatTag = WAVE_FORMAT_PCM;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    format.bitsPerSample = static_cast<std::uint16_t>(bits);
    format.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    CMediaType type;
    type.majorType = EMajorType::Audio;
    type.subType = ESubType::PCM;
    type.formatType = EFormatType::WaveFormatEx;
    type.SetFormat(format);
    return type;
}

// RGB frames as the source's video pin offers them (negative height: top-down rows).
inline CMediaType RgbType(int width, int height, int bits = 24) {
    CVideoInfoHeader info;
    info.bitmap.width = width;
    info.bitmap.height = height;
    info.bitmap.bitCount = static_cast<std::uint16_t>(bits);
    info.bitmap.compression = FOURCC_YUY2; // what the source writes there; rows are still RGB
    CMediaType type;
    type.majorType = EMajorType::Video;
    type.subType = ESubType::RGB24;
    type.formatType = EFormatType::VideoInfo;
    type.SetFormat(info);
    return type;
}

// Hands out one sample at a time from a one-buffer allocator of `capacity` bytes.
class CTestSamples {
public:
    explicit CTestSamples(long capacity) {
        CAllocatorProperties request{1, capacity, 1, 0}, actual;
        m_allocator.SetProperties(request, &actual);
        m_allocator.Commit();
    }
    ~CTestSamples() { m_allocator.Decommit(); }

    // Null when the bytes do not fit. Times are set when `start` is given.
    CSamplePtr Make(const std::vector<std::uint8_t>& bytes,
                    std::optional<REFERENCE_TIME> start = std::nullopt,
                    std::optional<REFERENCE_TIME> stop = std::nullopt) {
        CSamplePtr sample;
        if (FAILED(m_allocator.GetBuffer(&sample)) ||
            static_cast<long>(bytes.size()) > sample->GetSize()) {
            return nullptr;
        }
        std::copy(bytes.begin(), bytes.end(), sample->GetPointer());
        sample->SetActualDataLength(static_cast<long>(bytes.size()));
        if (start) {
            const REFERENCE_TIME end = stop ? *stop : *start;
            sample->SetTime(&*start, &end);
        }
        return sample;
    }

private:
    CMemAllocator m_allocator;
};

class CEventRecorder : public IMediaEventSink {
public:
    void Notify(long code, std::intptr_t, std::intptr_t) override {
        std::lock_guard lock(m_lock);
        m_codes.push_back(code);
        m_changed.notify_all();
    }
    // Waits up to `limit` until `count` events of `code` have come.
    bool WaitFor(long code, std::size_t count = 1,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, limit, [&] { return Count(code) >= count; });
    }
    std::size_t CountOf(long code) {
        std::lock_guard lock(m_lock);
        return Count(code);
    }

private:
    std::size_t Count(long code) const {
        std::size_t n = 0;
        for (long c : m_codes) {
            n += c == code ? 1 : 0;
        }
        return n;
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<long> m_codes; // guarded by m_lock
};
