#include "app/main/MainMenus.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "app/main/MainCommands.h"
#include "core/PathValue.h"
#include "engine/AspectRatioNames.h"
#include "playlist/LoopMode.h"
#include "playlist/PlaylistSort.h"

namespace {

namespace Cmd = MainCommands;

CMenuItem Item(std::wstring caption, int id, bool enabled = true) {
    CMenuItem item;
    item.caption = std::move(caption);
    item.id = id;
    item.enabled = enabled;
    return item;
}

CMenuItem Radio(std::wstring caption, int id, bool checked) {
    CMenuItem item = Item(std::move(caption), id);
    item.radio = true;
    item.checked = checked;
    return item;
}

CMenuItem Separator() {
    return {};
}

CMenuItem Submenu(std::wstring caption, std::vector<CMenuItem> items, bool enabled = true) {
    CMenuItem item;
    item.caption = std::move(caption);
    item.submenu = std::move(items);
    item.enabled = enabled;
    return item;
}

void Append(std::vector<CMenuItem>& to, std::vector<CMenuItem> items) {
    to.insert(to.end(), std::make_move_iterator(items.begin()),
              std::make_move_iterator(items.end()));
}

// A command that chooses a rule of a lower layer by its name.
struct CCommandName {
    int id;
    const wchar_t* name;
};

const wchar_t* NameOf(std::span<const CCommandName> names, int id, const wchar_t* otherwise) {
    const auto found = std::ranges::find(names, id, &CCommandName::id);
    return found != names.end() ? found->name : otherwise;
}

std::wstring Numbered(const wchar_t* prefix, std::size_t index) {
    return prefix + std::to_wstring(index + 1);
}

CMenuItem VideoMenu(const CMenuState& state) {
    const auto aspect = [&](const wchar_t* caption, int id) {
        return Radio(caption, id, state.aspectId == id);
    };
    const auto windowSize = [&](const wchar_t* caption, int id) {
        CMenuItem item = Radio(caption, id, state.windowSizeId == id);
        item.enabled = !state.fullScreen;
        return item;
    };
    return Submenu(L"&Video",
                   {
                       aspect(L"&Default Aspect Ratio", Cmd::AspectSource),
                       aspect(L"4 : 3", Cmd::Aspect4To3),
                       aspect(L"16 : 9", Cmd::Aspect16To9),
                       aspect(L"&Stretch to Fit Window", Cmd::AspectStretch),
                       Separator(),
                       windowSize(L"Window Size &Fixed", Cmd::WindowSizeFixed),
                       windowSize(L"Window Size Fit To &Source", Cmd::WindowSizeFitSource),
                   });
}

CMenuItem DubbingsMenu(const CMenuState& state) {
    std::vector<CMenuItem> items;
    for (std::size_t i = 0; i < state.audioStreams.size(); ++i) {
        const int stream = state.audioStreams[i];
        CMenuItem item = Radio(Numbered(L"Dubbing ", i), Cmd::AudioStreamFirst + stream,
                               stream == state.currentAudio);
        item.target = EMenuTarget::AudioStream;
        item.stream = stream;
        items.push_back(std::move(item));
    }
    const bool choice = state.audioStreams.size() >= 2;
    return Submenu(L"&Dubbings", std::move(items), choice);
}

CMenuItem SubtitleMenu(const CMenuState& state) {
    std::vector<CMenuItem> items;
    if (!state.subtitleStreams.empty()) {
        bool anyCurrent = false;
        std::vector<CMenuItem> streams;
        for (std::size_t i = 0; i < state.subtitleStreams.size(); ++i) {
            const int stream = state.subtitleStreams[i];
            const bool current = stream == state.currentSubtitle;
            anyCurrent = anyCurrent || current;
            CMenuItem item =
                Radio(Numbered(L"Subtitle ", i), Cmd::InternalSubtitleFirst + stream, current);
            item.target = EMenuTarget::InternalSubtitle;
            item.stream = stream;
            streams.push_back(std::move(item));
        }
        items.push_back(Radio(L"&No Internal Subtitle", Cmd::NoInternalSubtitle, !anyCurrent));
        Append(items, std::move(streams));
    }
    // A loaded clip can always be given a subtitle file, also when none lies beside it.
    const bool external = !state.subtitleFiles.empty() || state.loaded;
    if (external && !items.empty()) {
        items.push_back(Separator());
    }
    if (!state.subtitleFiles.empty()) {
        bool anyCurrent = false;
        std::vector<CMenuItem> files;
        for (std::size_t i = 0; i < state.subtitleFiles.size(); ++i) {
            const std::wstring& file = state.subtitleFiles[i];
            const bool current = file == state.currentSubtitleFile;
            anyCurrent = anyCurrent || current;
            CMenuItem item = Radio(CPathValue(file).FileName(),
                                   Cmd::ExternalSubtitleFirst + static_cast<int>(i), current);
            item.target = EMenuTarget::ExternalSubtitle;
            item.path = file;
            files.push_back(std::move(item));
        }
        items.push_back(Radio(L"&No External Subtitle", Cmd::NoExternalSubtitle, !anyCurrent));
        Append(items, std::move(files));
    }
    if (external) {
        items.push_back(Item(L"&Load External Subtitle...", Cmd::LoadSubtitle));
    }
    const bool any = !items.empty();
    return Submenu(L"&Subtitle", std::move(items), any);
}

CMenuItem MediaInfoItem(const CMenuState& state) {
    return Item(L"Media &Info", Cmd::MediaInfo, state.loaded);
}

} // namespace

std::vector<CMenuItem> MainMenu(const CMenuState& state) {
    CMenuItem stayOnTop = Item(L"S&tay on Top", Cmd::StayOnTop);
    stayOnTop.checked = state.stayOnTop;
    return {
        Item(L"Open &File...", Cmd::OpenFile),
        Item(L"Open Dis&c", Cmd::OpenDisc),
        Separator(),
        stayOnTop,
        state.fullScreen ? Item(L"N&ormal Window", Cmd::NormalWindow)
                         : Item(L"F&ull Screen", Cmd::FullScreen),
        VideoMenu(state),
        Separator(),
        DubbingsMenu(state),
        Separator(),
        SubtitleMenu(state),
        Separator(),
        Submenu(L"&Help",
                {Item(L"About Q&OR", Cmd::About), Item(L"Online F&eedback", Cmd::OnlineFeedback),
                 Item(L"Online &Manual", Cmd::OnlineManual)}),
        MediaInfoItem(state),
        Separator(),
        Item(L"&Exit", Cmd::Exit),
    };
}

std::vector<CMenuItem> PlaylistFilesMenu(const CMenuState& state) {
    std::vector<CMenuItem> items = {
        Item(L"&New Playlist", Cmd::NewPlaylist),
        Item(L"&Open Playlist", Cmd::OpenPlaylists),
        Item(L"&Save Playlist As...", Cmd::SavePlaylistAs),
        Separator(),
        Item(L"&Default Playlist", Cmd::DefaultPlaylist),
    };
    for (const CPlaylistMenuEntry& entry : state.playlistFiles) {
        CMenuItem item = Item(entry.caption, entry.command);
        item.target = EMenuTarget::PlaylistFile;
        item.path = entry.path;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<CMenuItem> AddFilesMenu() {
    return {Item(L"Add &Files", Cmd::AddFiles), Item(L"Add &Playlists", Cmd::AddPlaylists),
            Item(L"Add Fol&der", Cmd::AddFolder)};
}

std::vector<CMenuItem> DeleteFilesMenu() {
    return {Item(L"Delete &Selected", Cmd::DeleteSelected),
            Item(L"Delete &All(Clear)", Cmd::ClearPlaylist)};
}

std::vector<CMenuItem> LoopModeMenu(const CMenuState& state) {
    const struct {
        const wchar_t* caption;
        int id;
    } modes[] = {
        {L"Single File Once", Cmd::LoopSingleFileOnce},
        {L"Single File Loop", Cmd::LoopSingleFileLoop},
        {L"Playlist Once", Cmd::LoopPlaylistOnce},
        {L"Playlist Loop", Cmd::LoopPlaylistLoop},
        {L"Playlist Shuffle", Cmd::LoopPlaylistShuffle},
    };
    std::vector<CMenuItem> items;
    for (const auto& mode : modes) {
        items.push_back(Radio(mode.caption, mode.id, LoopModeName(mode.id) == state.loopMode));
    }
    return items;
}

std::vector<CMenuItem> SortModeMenu(const CMenuState& state) {
    const struct {
        const wchar_t* caption;
        int id;
    } keys[] = {
        {L"Sort by &Title", kSortByTitle},
        {L"Sort by File &Size", kSortByFileSize},
        {L"Sort by &Create Time", kSortByCreateTime},
        {L"Sort by &Add Time", kSortByAddTime},
        {L"Sort by &Last Access Time", kSortByLastAccessTime},
        {L"Sort by &Duration", kSortByDuration},
        {L"&Shuffle", kSortShuffle},
    };
    std::vector<CMenuItem> items;
    for (const auto& key : keys) {
        items.push_back(Radio(key.caption, key.id, key.id == state.sortKey));
    }
    return items;
}

std::vector<CMenuItem> PlaylistContextMenu(const CMenuState& state) {
    std::vector<CMenuItem> items = AddFilesMenu();
    items.push_back(Separator());
    Append(items, DeleteFilesMenu());
    items.push_back(Separator());
    Append(items, LoopModeMenu(state));
    items.push_back(Separator());
    Append(items, SortModeMenu(state));
    items.push_back(Separator());
    items.push_back(MediaInfoItem(state));
    return items;
}

std::wstring LoopModeName(int commandId) {
    static constexpr CCommandName kNames[] = {
        {Cmd::LoopSingleFileOnce, LoopModeNames::SingleFileOnce},
        {Cmd::LoopSingleFileLoop, LoopModeNames::SingleFileLoop},
        {Cmd::LoopPlaylistOnce, LoopModeNames::PlaylistOnce},
        {Cmd::LoopPlaylistLoop, LoopModeNames::PlaylistLoop},
        {Cmd::LoopPlaylistShuffle, LoopModeNames::PlaylistShuffle},
    };
    return NameOf(kNames, commandId, L"");
}

std::wstring AspectRatioName(int commandId) {
    static constexpr CCommandName kNames[] = {
        {Cmd::Aspect4To3, AspectRatioNames::Fit4To3},
        {Cmd::Aspect16To9, AspectRatioNames::Fit16To9},
        {Cmd::AspectStretch, AspectRatioNames::FitDistort},
    };
    return NameOf(kNames, commandId, AspectRatioNames::FitSource);
}
