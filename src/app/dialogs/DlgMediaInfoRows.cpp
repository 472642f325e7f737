#include "app/dialogs/DlgMediaInfoRows.h"

#include <algorithm>

#include <QString>

namespace {

constexpr double kKilo = 1024.0;

// Numbers are written the same in every locale ("1.5", never "1,5").
std::wstring Fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals).toStdWString();
}

} // namespace

std::vector<CMediaInfoRow> MediaInfoRows(const CMediaFacts& facts) {
    const auto number = [](auto value) { return std::to_wstring(value); };
    std::vector<CMediaInfoRow> rows = {
        {L"General:", L""},
        {L"+ File Size:", FileSizeText(facts.fileSize)},
        {L"+ File Length:", LengthText(facts.lengthMs)},
        {L"+ Resolution:", number(facts.width) + L" x " + number(facts.height)},
    };
    if (facts.hasVideo) {
        rows.insert(rows.end(), {
                                    {L"", L""},
                                    {L"Video:", L""},
                                    {L"+ Codec:", facts.videoCodec},
                                    {L"+ Bit Rate:", Fixed(facts.videoBitRate / kKilo, 0) + L" kb"},
                                    {L"+ Frame Rate:", Fixed(facts.frameRate, 1) + L" fps"},
                                });
    }
    if (facts.hasAudio) {
        rows.insert(rows.end(), {
                                    {L"", L""},
                                    {L"Audio:", L""},
                                    {L"+ Codec:", facts.audioCodec},
                                    {L"+ Channels:", number(facts.channels)},
                                    {L"+ Bit Rate:", Fixed(facts.audioBitRate / kKilo, 0) + L" kb"},
                                    {L"+ Sample Rate:", number(facts.sampleRate) + L" hz"},
                                    {L"+ Sample Bits:", number(facts.sampleBits)},
                                    {L"+ Sample Format:", facts.sampleFormat},
                                });
    }
    return rows;
}

std::wstring FileSizeText(std::uint64_t bytes) {
    const double kb = static_cast<double>(bytes) / kKilo;
    const double mb = kb / kKilo;
    const double gb = mb / kKilo;
    if (gb >= 1) {
        return Fixed(gb, 1) + L"GB";
    }
    if (mb >= 1) {
        return Fixed(mb, 1) + L"MB";
    }
    if (kb < 1) {
        return std::to_wstring(bytes);
    }
    return Fixed(kb, 1) + L"KB";
}

std::wstring LengthText(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1000;
    const std::int64_t hours = seconds / 3600;
    const QString clock = QString::asprintf("%.2d:%.2d", static_cast<int>(seconds / 60 % 60),
                                            static_cast<int>(seconds % 60));
    return (hours > 0 ? std::to_wstring(hours) + L":" : std::wstring()) + clock.toStdWString();
}
