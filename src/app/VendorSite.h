#pragma once
// The vendor's web site; QOR_VENDOR_HOST overrides it (tests point it at a loopback server).
#include <cstdlib>
#include <string>
inline std::string VendorHost() {
    const char* host = std::getenv("QOR_VENDOR_HOST");
    return host != nullptr && *host != '\0' ? host : "www.zeliaplayer.example";
}

// "https://<host><path>" for a page of the vendor's site (path starts with "/"). Built as text, as
// the host may carry a port ("127.0.0.1:8080"). HTTPS as the upgrade check: the pages open in the
// user's browser, and on a hostile network a plain page could be swapped for anything.
inline std::string VendorPage(const std::string& path) {
    return "https://" + VendorHost() + path;
}
