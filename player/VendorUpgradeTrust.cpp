// What the released player trusts for its upgrades: the vendor's installer-signing key and the
// system's certificate store. Nothing at run time replaces either.
//
// The private half of this key is not in the repository and was never kept: it is a placeholder
// that no installer is signed with. The vendor replaces it with the public half of its own
// signing key (32 raw bytes; "openssl pkey -pubout -outform DER" gives 44 bytes ending in them)
// and signs each installer with "openssl pkeyutl -sign -rawin", publishing the 64-byte
// signature beside it as "<name>.sig".
#include "app/upgrade/UpgradeTrust.h"

namespace {

constexpr std::array<unsigned char, 32> kVendorInstallerSigningKey = {
    0x75, 0xe6, 0x54, 0xc0, 0x86, 0xc1, 0x4c, 0x63, 0xe1, 0xf7, 0x7d, 0x1c, 0x51, 0x25, 0xfe, 0x0e,
    0x57, 0xa2, 0x08, 0x06, 0x33, 0x73, 0x75, 0x9e, 0x14, 0xdf, 0x57, 0xd6, 0xb5, 0x1a, 0x59, 0xe9,
};

} // namespace

CUpgradeTrust UpgradeTrust() {
    return {kVendorInstallerSigningKey, {}};
}
