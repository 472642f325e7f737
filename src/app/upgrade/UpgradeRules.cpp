#include "app/upgrade/UpgradeRules.h"

#include "core/WideText.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <climits>

namespace {

using Version = std::array<int, 3>;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Leading digits as a number, like the C library's reading of a field: "7beta" is 7, "x" is 0;
// a number too large for an int stays at the largest one.
int FieldValue(const std::wstring& field) {
    long long value = 0;
    for (const wchar_t c : field) {
        if (c < L'0' || c > L'9') {
            break;
        }
        value = std::min<long long>(value * 10 + (c - L'0'), INT_MAX);
    }
    return static_cast<int>(value);
}

Version ParseVersion(const std::wstring& text) {
    Version version{};
    std::size_t start = 0;
    for (int& field : version) {
        const auto dot = text.find(L'.', start);
        field = FieldValue(text.substr(start, dot == std::wstring::npos ? dot : dot - start));
        if (dot == std::wstring::npos) {
            break;
        }
        start = dot + 1;
    }
    return version;
}

std::string PercentEncoded(const std::wstring& name) {
    std::string encoded;
    for (const unsigned char byte : WideToUtf8(name)) {
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        if (unreserved) {
            encoded += static_cast<char>(byte);
        } else {
            encoded += {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
        }
    }
    return encoded;
}

} // namespace

std::wstring UpgradeQueryUrl(const std::string& host, bool beta) {
    return Utf8ToWide("https://" + host + "/upgrade/" +
                      (beta ? "retrieve_latest_qor_beta" : "retrieve_latest_qor"));
}

std::wstring InstallerDownloadUrl(const std::string& host, bool beta, const std::wstring& name) {
    return Utf8ToWide("https://" + host + (beta ? "/download/beta/" : "/download/") +
                      PercentEncoded(name));
}

std::wstring InstallerSignatureUrl(const std::string& host, bool beta, const std::wstring& name) {
    return InstallerDownloadUrl(host, beta, name) + L".sig";
}

bool IsAcceptableInstallerName(const std::wstring& name) {
    if (name.empty() || name.size() > kMaxInstallerNameLength || name.starts_with(L'.') ||
        !name.ends_with(kInstallerExtension) || name.find(L"..") != std::wstring::npos) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](wchar_t c) {
        if (c == L'/' || c == L'\\' || static_cast<char32_t>(c) > 0x10FFFF) {
            return true;
        }
        switch (QChar::category(static_cast<char32_t>(c))) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
        }
    });
}

bool IsInstallerLeftover(const std::wstring& fileName) {
    return fileName.ends_with(kInstallerExtension) ||
           fileName.ends_with(std::wstring(kInstallerExtension) + kPartialDownloadSuffix);
}

std::string EscapedForLog(std::string_view bytes) {
    std::string text;
    for (const unsigned char byte : bytes.substr(0, kMaxLoggedAnswerBytes)) {
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            text += {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
        }
    }
    if (bytes.size() > kMaxLoggedAnswerBytes) {
        text += "...";
    }
    return text;
}

std::wstring OfferedVersion(const std::wstring& installerName) {
    const auto underscore = installerName.rfind(L'_');
    const auto start = underscore == std::wstring::npos ? 0 : underscore + 1;
    const auto dot = installerName.rfind(L'.');
    if (dot == std::wstring::npos || dot < start) {
        return installerName.substr(start);
    }
    return installerName.substr(start, dot - start);
}

bool IsNewerVersion(const std::wstring& installerName, const std::wstring& runningVersion) {
    std::wstring running = runningVersion;
    if (running.size() >= 4 && running.ends_with(L"beta")) {
        running.erase(running.size() - std::min<std::size_t>(running.size(), 5));
    }
    return ParseVersion(OfferedVersion(installerName)) > ParseVersion(running);
}
