#pragma once
// The digest that ties the installer the player verified to the file the upgrader runs: the
// player passes it to Renovo, which computes it again from the file it is about to start.
// Shared by both programs, so the two computations cannot drift apart.
//
// Renovo's command line: Renovo <installer path> <digest>, the digest as SHA-256 in lower-case
// hexadecimal.
//
// Any thread; the descriptor is read from its current offset to its end.
#include <openssl/evp.h>

#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>

inline constexpr std::size_t kInstallerDigestHexLength = 64;

// The file's SHA-256 as 64 lower-case hexadecimal digits; nothing when reading fails.
inline std::optional<std::string> InstallerDigestOf(int descriptor) {
    struct ContextDeleter {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    std::array<unsigned char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = read(descriptor, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) != 1) {
            return std::nullopt;
        }
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest;
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}
