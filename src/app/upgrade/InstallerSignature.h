#pragma once
// The check that makes a downloaded file an installer of the vendor's: its detached Ed25519
// signature (64 bytes, served beside it as "<name>.sig") must verify over the file's bytes
// against the key the program trusts.
//
// Any thread; reads the file only.
#include <array>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kInstallerSignatureBytes = 64;

// The file's digest (see InstallerDigest.h) when `signature` verifies over the regular file at
// `path` (not a link) with `publicKey`; nothing for an empty file, a bad signature, a key of
// zeros or a file that cannot be read.
std::optional<std::string> VerifyInstallerSignature(const std::string& path,
                                                    std::string_view signature,
                                                    const std::array<unsigned char, 32>& publicKey);
