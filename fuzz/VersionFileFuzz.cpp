// The "qor.ini" reader over any bytes, from memory and from a file: both read the same sections,
// and a version string exists exactly when the Version section does.
#include "FuzzSupport.h"

#include "app/VersionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CVersionFile parsed;
    parsed.Parse(text);
    FUZZ_CHECK(parsed.HasSection("Version") == !parsed.VersionString().empty());

    CVersionFile loaded;
    FUZZ_CHECK(loaded.Load(WriteFuzzFile("qor.ini", data, size)));
    FUZZ_CHECK(loaded.VersionString() == parsed.VersionString());
    for (const char* key : {"Major", "Minor", "Build", "Beta"}) {
        FUZZ_CHECK(loaded.Value("Version", key) == parsed.Value("Version", key));
    }
    return 0;
}
