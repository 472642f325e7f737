#include "media/SubtitleStyle.h"

#include <cstdlib>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr const char* kFontFamilies[] = {"Arial", "Tahoma"};
constexpr double kTemporaryTrackTimer = 100.0;

void ReplaceString(char*& field, const char* value) {
    std::free(field);
    field = strdup(value);
}

struct CFcConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

std::string MatchFontFile(FcConfig* config, const char* family) {
    std::string file;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) {
        return file;
    }
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* path = nullptr;
        struct stat info {};
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
            stat(reinterpret_cast<const char*>(path), &info) == 0) {
            file = reinterpret_cast<const char*>(path);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

} // namespace

double DefaultFontSize(int playResY) {
    return playResY * kFontSizePercent / 100 * kFontSizeModeScale;
}

bool ApplyDefaultStyle(ASS_Track* track) {
    if (track == nullptr || (track->n_styles == 0 && ass_alloc_style(track) < 0)) {
        return false;
    }
    ASS_Style& style = track->styles[0];
    ReplaceString(style.Name, "Default");
    ReplaceString(style.FontName, "Arial");
    // A script without PlayResY is laid out by libass at its default height; sizing the font
    // for 0 lines would make the text invisible.
    style.FontSize = DefaultFontSize(track->PlayResY > 0 ? track->PlayResY : kDefaultPlayResY);
    style.PrimaryColour = 0xFFFFFF00;
    style.SecondaryColour = 0xFFFF0000;
    style.OutlineColour = 0;
    style.BackColour = 0;
    style.Bold = 1;
    style.ScaleX = 1.0;
    style.ScaleY = 1.0;
    style.BorderStyle = 1;
    style.Outline = 1.0;
    style.Shadow = 1.0;
    style.Alignment = 2;
    style.MarginL = 10;
    style.MarginR = 10;
    style.MarginV = 5;
    style.treat_fontname_as_pattern = 1;
    return true;
}

CAssTrackPtr NewTemporaryTrack(ASS_Library* library, int videoWidth, int videoHeight) {
    if (library == nullptr) {
        return nullptr;
    }
    CAssTrackPtr track(ass_new_track(library));
    if (!track) {
        return nullptr;
    }
    track->track_type = ASS_Track::TRACK_TYPE_ASS;
    track->PlayResX = videoWidth > 0 ? videoWidth : kDefaultPlayResX;
    track->PlayResY = videoHeight > 0 ? videoHeight : kDefaultPlayResY;
    track->Timer = kTemporaryTrackTimer;
    track->WrapStyle = 0;
    if (!ApplyDefaultStyle(track.get())) {
        return nullptr;
    }
    return track;
}

const std::string& DefaultFontFile() {
    static const std::string file = [] {
        // A configuration of our own, freed after use: fontconfig's process-wide default one is
        // never released and would stay behind as a leak.
        const std::unique_ptr<FcConfig, CFcConfigDeleter> config(FcInitLoadConfigAndFonts());
        for (const char* family : kFontFamilies) {
            if (std::string path = MatchFontFile(config.get(), family); !path.empty()) {
                return path;
            }
        }
        return std::string();
    }();
    return file;
}
