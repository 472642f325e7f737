// What the test programs trust for upgrades: the signing key and the certificate authorities a
// test made for itself, read from the folder named by QOR_TEST_TRUST_DIR (UpgradeTestPki.h
// writes it). Without that folder nothing verifies. The released player links its own
// definition, which reads nothing.
#include "UpgradeTestPki.h"
#include "app/upgrade/UpgradeTrust.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

CUpgradeTrust UpgradeTrust() {
    CUpgradeTrust trust;
    const char* folder = std::getenv(kTrustFolderVariable);
    if (folder == nullptr) {
        return trust;
    }
    const std::filesystem::path root = folder;
    std::ifstream(root / kTrustSigningKeyFile, std::ios::binary)
        .read(reinterpret_cast<char*>(trust.signingKey.data()), trust.signingKey.size());
    std::ifstream authorities(root / kTrustAuthoritiesFile, std::ios::binary);
    trust.certificateAuthorities.assign(std::istreambuf_iterator<char>(authorities), {});
    return trust;
}
