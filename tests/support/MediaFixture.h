#pragma once
// Test media made at test time with the ffmpeg command, so the repository holds no media files.
//
// Called from any test thread or process: each file is written under a temporary name and renamed
// into place, so tests running in parallel never see half a file. A file that exists already is
// reused; its name must therefore say everything that differs between recipes.
#include <string>
#include <vector>

// Runs `ffmpeg -v error -y <args...> <out>` unless `out` exists below the fixture folder, and
// returns the full path of the file. Fails the calling test (and returns "") when ffmpeg fails.
std::string MakeMedia(const std::string& name, const std::vector<std::string>& ffmpegArgs);

// Writes `bytes` to a file of that name below the fixture folder (always rewritten).
std::string WriteFixtureFile(const std::string& name, const std::string& bytes);

// The folder fixtures go to: <build>/tests/fixtures/, created on first use.
std::string FixtureFolder();
