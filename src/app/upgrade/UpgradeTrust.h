#pragma once
// What the upgrade check trusts: the key that signs the vendor's installers and the authorities
// that vouch for the vendor's web site.
//
// UpgradeTrust() is defined outside this library, once per program: the player links the
// vendor's key (player/VendorUpgradeTrust.cpp) with the system's certificate store, and nothing
// at run time can change either. Test programs link a definition of their own.
//
// Called on the upgrade worker's thread; the value is returned by copy.
#include <array>
#include <string>

struct CUpgradeTrust {
    // The raw Ed25519 public key that an installer's detached signature must verify against.
    std::array<unsigned char, 32> signingKey{};
    // PEM certificates of the authorities the HTTPS connections accept; empty for the system's
    // certificate store.
    std::string certificateAuthorities;
};

CUpgradeTrust UpgradeTrust();
