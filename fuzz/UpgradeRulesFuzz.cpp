// The rules for the update server's answer over any text: the input up to its first NUL is the
// offered installer name, the rest the running version. A name the rules accept stays one path
// segment of the download address and is removed again by the next start's cleanup, and an offer
// of the running version itself is never newer.
#include "FuzzSupport.h"

#include "app/upgrade/UpgradeRules.h"
#include "core/WideText.h"

#include <string_view>

namespace {

bool IsUrlSegment(std::wstring_view text) {
    for (const wchar_t c : text) {
        const bool unreserved = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                                (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == L'_' ||
                                c == L'~' || c == L'%';
        if (!unreserved) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find('\0');
    const std::wstring name = Utf8ToWide(input.substr(0, split));
    const std::wstring running =
        split == std::string_view::npos ? std::wstring() : Utf8ToWide(input.substr(split + 1));

    if (IsAcceptableInstallerName(name)) {
        const std::wstring url = InstallerDownloadUrl("example.org", false, name);
        const std::wstring_view head = L"https://example.org/download/";
        FUZZ_CHECK(url.starts_with(head));
        FUZZ_CHECK(IsUrlSegment(std::wstring_view(url).substr(head.size())));
        FUZZ_CHECK(IsInstallerLeftover(name));
        FUZZ_CHECK(IsInstallerLeftover(name + kPartialDownloadSuffix));
    }
    IsNewerVersion(name, running);

    const std::wstring offered = OfferedVersion(name);
    FUZZ_CHECK(offered.size() <= name.size());
    if (offered.find(L'_') == std::wstring::npos && !offered.ends_with(L"beta")) {
        FUZZ_CHECK(!IsNewerVersion(L"qor_" + offered + L".exe", offered));
    }
    return 0;
}
