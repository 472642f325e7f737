#include "app/upgrade/InstallerSignature.h"

#include "app/upgrade/InstallerDigest.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

class CDescriptor {
public:
    explicit CDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~CDescriptor() {
        if (m_descriptor >= 0) {
            close(m_descriptor);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_descriptor; }

private:
    int m_descriptor;
};

// Ed25519 signs the whole message in one pass, so the file is mapped rather than read into
// memory: an installer may be hundreds of megabytes.
bool SignatureVerifies(int descriptor, std::size_t size, std::string_view signature,
                       const std::array<unsigned char, 32>& publicKey) {
    const std::unique_ptr<EVP_PKEY, PkeyDeleter> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context(EVP_MD_CTX_new());
    if (!key || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapping == MAP_FAILED) {
        return false;
    }
    const int verified =
        EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), static_cast<const unsigned char*>(mapping), size);
    munmap(mapping, size);
    return verified == 1;
}

} // namespace

std::optional<std::string>
VerifyInstallerSignature(const std::string& path, std::string_view signature,
                         const std::array<unsigned char, 32>& publicKey) {
    // A key of zeros is what an unset key looks like; it is a point of small order, which some
    // forged signatures satisfy for any message.
    const bool unsetKey =
        std::all_of(publicKey.begin(), publicKey.end(), [](unsigned char b) { return b == 0; });
    if (unsetKey || signature.size() != kInstallerSignatureBytes) {
        return std::nullopt;
    }
    const CDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size <= 0) {
        return std::nullopt;
    }
    if (!SignatureVerifies(file.Get(), static_cast<std::size_t>(status.st_size), signature,
                           publicKey)) {
        return std::nullopt;
    }
    return InstallerDigestOf(file.Get());
}
