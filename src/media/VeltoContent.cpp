// The source filter's content tags, read from the container's metadata.
#include <initializer_list>

#include "core/WideText.h"
#include "media/VeltoSource.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

// The first non-empty tag among keys (matched case-insensitively, as FFmpeg stores them).
HRESULT ReadTag(CPlaybackInfo& media, std::initializer_list<const char*> keys, std::wstring* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(media.Lock());
    const AVFormatContext* format = media.FormatContext();
    if (format == nullptr) {
        return E_FAIL;
    }
    for (const char* key : keys) {
        const AVDictionaryEntry* entry = av_dict_get(format->metadata, key, nullptr, 0);
        if (entry != nullptr && entry->value != nullptr && entry->value[0] != '\0') {
            *out = Utf8ToWide(entry->value);
            return S_OK;
        }
    }
    return E_FAIL;
}

} // namespace

HRESULT CVeltoSource::get_Title(std::wstring* title) {
    return ReadTag(m_media, {"title"}, title);
}

HRESULT CVeltoSource::get_AuthorName(std::wstring* author) {
    return ReadTag(m_media, {"artist", "author"}, author);
}

HRESULT CVeltoSource::get_Copyright(std::wstring* copyright) {
    return ReadTag(m_media, {"copyright"}, copyright);
}
