#pragma once
// The vendor's web site; QOR_VENDOR_HOST overrides it (tests point it at a loopback server).
#include <cstdlib>
#include <string>
inline std::string VendorHost() {
    const char* host = std::getenv("QOR_VENDOR_HOST");
    return host != nullptr && *host != '\0' ? host : "www.zeliaplayer.example";
}
