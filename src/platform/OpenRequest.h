#pragma once
// The request a later start sends the running player over the single-instance socket: the files
// it was started with, for the running player to append and play. An empty list asks only that
// its window come forward. Pure functions, safe on any thread.
//
// Layout, every integer 4 bytes big-endian:
//   "QOPN"  version (1)  body size  |  path count  { path length  path bytes } ...
// A path is the file system's bytes (UTF-8 as a rule, but whatever bytes a name holds, so that it
// comes back byte for byte), absolute, without NUL, at most kMaxOpenRequestPathBytes long.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kOpenRequestHeaderBytes = 12;
// An "Open With" on a large selection stays far below this; every path becomes a row, read from
// the disk on the user-interface thread, so the count bounds the work one request makes there.
inline constexpr std::size_t kMaxOpenRequestPaths = 10000;
// PATH_MAX: the file system opens no longer path.
inline constexpr std::size_t kMaxOpenRequestPathBytes = 4096;
// The whole message, header included: what one connection may make the running player hold.
inline constexpr std::size_t kMaxOpenRequestBytes = 4 * 1024 * 1024;

// The message for paths. Paths the receiver would refuse (empty, relative, holding NUL, too long)
// are left out, and so are those past the count or size limit.
std::string EncodeOpenRequest(const std::vector<std::string>& paths);

enum class EOpenRequestProgress { Incomplete, Whole, Malformed };
// What the bytes received so far on a connection hold: the start of a message (more may come),
// exactly one message, or something that is none: a wrong magic or version, a body size over the
// limit, bytes past the message's end.
EOpenRequestProgress OpenRequestProgress(std::string_view received);

// The paths of exactly one message; nothing when anything in it is wrong: the header as above, a
// count over the limit, a length over the limit or past the end, a refused path, bytes left over
// after the last path.
std::optional<std::vector<std::string>> ParseOpenRequest(std::string_view message);
