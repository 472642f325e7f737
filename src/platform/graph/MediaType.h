#pragma once
// Media types exchanged when an output pin connects to an input pin. The format blocks keep the
// byte layouts that renderers and decoders read at fixed offsets (the bitmap header lies at byte
// 48 of the video-info block), so they are packed structs copied in and out by bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

enum class EMajorType { None, Video, Audio };
enum class ESubType { None, RGB24, YUY2, PCM };
enum class EFormatType { None, VideoInfo, WaveFormatEx };

#pragma pack(push, 1)
struct CRect32 {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct CBitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows top-down
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0; // four-character code
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

struct CVideoInfoHeader {
    CRect32 source;
    CRect32 target;
    std::uint32_t bitRate = 0;
    std::uint32_t bitErrorRate = 0;
    std::int64_t avgTimePerFrame = 0;
    CBitmapInfoHeader bitmap;
};

struct CWaveFormatEx {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};
#pragma pack(pop)

static_assert(sizeof(CBitmapInfoHeader) == 40);
static_assert(sizeof(CVideoInfoHeader) == 88);
static_assert(offsetof(CVideoInfoHeader, bitmap) == 48);
static_assert(sizeof(CWaveFormatEx) == 18);

inline constexpr std::uint32_t FOURCC_YUY2 = 0x32595559; // "YUY2" read as a little-endian word
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// A value type; copies are independent.
class CMediaType {
public:
    EMajorType majorType = EMajorType::None;
    ESubType subType = ESubType::None;
    EFormatType formatType = EFormatType::None;
    bool fixedSizeSamples = true;
    bool temporalCompression = false;
    std::uint32_t sampleSize = 0;
    std::vector<std::uint8_t> format; // the format block's bytes

    template <class T> void SetFormat(const T& block) {
        format.resize(sizeof(T));
        std::memcpy(format.data(), &block, sizeof(T));
    }

    // Copies the format block into out; false (out untouched) when the block is shorter than T.
    template <class T> bool GetFormat(T& out) const {
        if (format.size() < sizeof(T)) {
            return false;
        }
        std::memcpy(&out, format.data(), sizeof(T));
        return true;
    }

    bool operator==(const CMediaType&) const = default;
};
