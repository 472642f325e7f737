#pragma once
// The command ids of the main window's menus. Ranges are given by their first id; the items of a
// range carry what they act on (a stream, a file), so their ids only name them.
namespace MainCommands {
inline constexpr int DefaultPlaylist = 15000;
inline constexpr int PlaylistFileFirst = 15001;
inline constexpr int AddFiles = 15042;
inline constexpr int AddPlaylists = 15044;
inline constexpr int AddFolder = 15046;
inline constexpr int DeleteSelected = 15047;
inline constexpr int ClearPlaylist = 15048;
inline constexpr int LoopSingleFileOnce = 15049;
inline constexpr int LoopSingleFileLoop = 15050;
inline constexpr int LoopPlaylistOnce = 15051;
inline constexpr int LoopPlaylistLoop = 15052;
inline constexpr int LoopPlaylistShuffle = 15053;
inline constexpr int NewPlaylist = 15061;
inline constexpr int SavePlaylistAs = 15062;
inline constexpr int NoInternalSubtitle = 16000;
inline constexpr int InternalSubtitleFirst = 16001;
inline constexpr int NoExternalSubtitle = 16100;
inline constexpr int ExternalSubtitleFirst = 16101;
inline constexpr int LoadSubtitle = 16200;
inline constexpr int OpenPlaylists = 16201;
inline constexpr int OpenFile = 16300;
inline constexpr int OpenDisc = 16301;
inline constexpr int MediaInfo = 16302;
inline constexpr int AudioStreamFirst = 16400;
inline constexpr int FullScreen = 16500;
inline constexpr int NormalWindow = 16501;
inline constexpr int StayOnTop = 16502;
inline constexpr int AspectSource = 16600;
inline constexpr int Aspect4To3 = 16601;
inline constexpr int Aspect16To9 = 16602;
inline constexpr int AspectStretch = 16690;
inline constexpr int WindowSizeFixed = 16700;
inline constexpr int WindowSizeFitSource = 16701;
inline constexpr int OnlineFeedback = 16810;
inline constexpr int OnlineManual = 16811;
inline constexpr int About = 57664;
inline constexpr int Exit = 57665;
} // namespace MainCommands
