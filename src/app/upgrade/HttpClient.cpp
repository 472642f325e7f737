#include "app/upgrade/HttpClient.h"

#include "core/LegacyText.h"
#include "core/WideText.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// The body buffer starts this large and doubles whenever the next chunk does not fit.
constexpr std::size_t kInitialBodyBuffer = 10240;
constexpr int kAttempts = 3;
// A redirect chain longer than this is a loop or a hostile server.
constexpr long kMaxRedirects = 10;
// What is fetched decides what runs on this machine: no plain HTTP, no file://, no other scheme
// reached through a redirect.
constexpr const char* kAllowedProtocols = "https";

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

std::size_t FindNoCase(std::string_view text, std::string_view word, std::size_t from) {
    for (std::size_t at = from; at + word.size() <= text.size(); ++at) {
        if (StartsWithNoCase(text.substr(at), word)) {
            return at;
        }
    }
    return std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The rest of the line after `at`, without its CR LF.
std::string_view RestOfLine(std::string_view text, std::size_t at) {
    auto line = text.substr(at, text.find('\n', at) - at);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// The header lines as sent: a name given more than once is sent once with its values joined by
// "; ", at the place it first appeared.
std::vector<std::string> CoalescedHeaders(std::string_view headers) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < headers.size()) {
        auto line = RestOfLine(headers, start);
        const auto next = headers.find('\n', start);
        start = next == std::string_view::npos ? headers.size() : next + 1;
        if (TrimBlanks(line).empty()) {
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            lines.emplace_back(line);
            continue;
        }
        const auto name = line.substr(0, colon + 1);
        const auto value = TrimBlanks(line.substr(colon + 1));
        const auto same = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return StartsWithNoCase(l, name);
        });
        if (same == lines.end()) {
            lines.push_back(std::string(name) + " " + std::string(value));
        } else {
            *same += "; " + std::string(value);
        }
    }
    return lines;
}

std::wstring DecodeAnsi(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        return Utf8ToWide(bytes);
    }
    return DecodeFromEncoding(bytes, DetectLegacyEncoding(bytes));
}

} // namespace

// libcurl calls these on the thread that runs the transfer.
struct CHttpCallbacks {
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto* client = static_cast<CHttpClient*>(self);
        const std::string_view line(data, size * count);
        // Each response of a redirect chain (and an interim "100 Continue") starts with its
        // status line; only the last response's headers are kept.
        if (line.starts_with("HTTP/")) {
            client->m_rawHeaders.clear();
        }
        client->m_rawHeaders.append(line);
        return size * count;
    }

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto* client = static_cast<CHttpClient*>(self);
        if (client->m_progress) {
            client->m_progress(client->m_bodyLength);
        }
        // Returning less than given ends the transfer with a write error.
        return client->StoreChunk(data, size * count) ? size * count : 0;
    }

    static int OnTransferProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<CHttpClient*>(self)->m_stop.stop_requested() ? 1 : 0;
    }
};

CHttpClient::CHttpClient(std::wstring url, std::stop_token stop)
    : m_url(std::move(url)), m_stop(std::move(stop)) {
    InitCurlOnce();
}

void CHttpClient::SetTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs) {
    m_resolveTimeoutMs = resolveMs;
    m_connectTimeoutMs = connectMs;
    m_sendTimeoutMs = sendMs;
    m_receiveTimeoutMs = receiveMs;
}

void CHttpClient::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    m_lowSpeedBytesPerSecond = bytesPerSecond;
    m_lowSpeedSeconds = seconds;
}

void CHttpClient::SetProxy(std::string proxy, std::string userName, std::string password) {
    m_proxy = std::move(proxy);
    m_proxyUserName = std::move(userName);
    m_proxyPassword = std::move(password);
}

void CHttpClient::SetForcedCharset(std::string charset) {
    m_charsetForced = true;
    m_forcedCharset = std::move(charset);
}

bool CHttpClient::SendHttpRequest(const std::string& verb, bool disableRedirects) {
    m_lastError = 0;
    if (m_url.empty()) {
        m_lastError = kErrorNoUrl;
        return false;
    }
    std::string upperVerb = verb;
    std::transform(upperVerb.begin(), upperVerb.end(), upperVerb.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (upperVerb != "GET" && upperVerb != "POST") {
        m_lastError = kErrorBadVerb;
        return false;
    }
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        m_lastError = kLibcurlErrorBase + CURLE_FAILED_INIT;
        return false;
    }
    for (int attempt = 0; attempt < kAttempts && !m_stop.stop_requested(); ++attempt) {
        ResetResponse();
        if (SendOnce(curl.get(), upperVerb, disableRedirects)) {
            return true;
        }
    }
    return false;
}

void CHttpClient::Configure(void* handle, const std::string& verb, bool disableRedirects,
                            void* headerList) {
    CURL* curl = static_cast<CURL*>(handle);
    curl_easy_reset(curl);
    const std::string url = WideToUtf8(m_url);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    // Signals would reach whichever thread libcurl's resolver time-out interrupts.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, m_userAgent.c_str());
    const long connectMs = m_connectTimeoutMs > 0 && m_resolveTimeoutMs > 0
                               ? m_resolveTimeoutMs + m_connectTimeoutMs
                               : m_connectTimeoutMs;
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    const long stallSeconds = m_lowSpeedSeconds > 0
                                  ? m_lowSpeedSeconds
                                  : (std::max(m_sendTimeoutMs, m_receiveTimeoutMs) + 999) / 1000;
    if (stallSeconds > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, m_lowSpeedBytesPerSecond);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    }
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_transferLimitMs);
    if (!m_requireValidCertificate) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!m_certificateAuthorities.empty()) {
        curl_blob authorities{m_certificateAuthorities.data(), m_certificateAuthorities.size(),
                              CURL_BLOB_COPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &authorities);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(headerList));
    if (!m_proxy.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXY, m_proxy.c_str());
        if (!m_proxyUserName.empty()) {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, m_proxyUserName.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, m_proxyPassword.c_str());
        }
    }
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, disableRedirects ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    if (verb == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(m_requestBody.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, m_requestBody.data());
    }
    if (m_maxBodyBytes > 0) {
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_maxBodyBytes));
    }
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CHttpCallbacks::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CHttpCallbacks::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CHttpCallbacks::OnTransferProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

bool CHttpClient::SendOnce(void* handle, const std::string& verb, bool disableRedirects) {
    HeaderList headers;
    for (const std::string& line : CoalescedHeaders(m_additionalHeaders)) {
        headers.reset(curl_slist_append(headers.release(), line.c_str()));
    }
    if (!m_cookies.empty()) {
        headers.reset(curl_slist_append(headers.release(), ("Cookie: " + m_cookies).c_str()));
    }
    Configure(handle, verb, disableRedirects, headers.get());
    const CURLcode result = curl_easy_perform(static_cast<CURL*>(handle));
    if (result != CURLE_OK) {
        m_lastError = kLibcurlErrorBase + result;
        return false;
    }
    long status = 0;
    curl_easy_getinfo(static_cast<CURL*>(handle), CURLINFO_RESPONSE_CODE, &status);
    m_statusCode = status != 0 ? std::to_string(status) : std::string();
    ParseHeaders();
    if (m_progress) {
        m_progress(m_bodyLength);
    }
    const std::string_view body = GetResponseBytes();
    m_text = StartsWithNoCase(m_charset, "utf-8") && IsValidUtf8(body) ? Utf8ToWide(body)
                                                                       : DecodeAnsi(body);
    if (verb == "GET" && !disableRedirects && body.find("<html>") != std::string_view::npos &&
        body.find("</html>") == std::string_view::npos) {
        m_lastError = kErrorIncompletePage;
        return false;
    }
    return true;
}

bool CHttpClient::DownloadToFile(const std::wstring& path) {
    m_lastError = 0;
    if (m_url.empty()) {
        m_lastError = kErrorNoUrl;
        return false;
    }
    CurlHandle curl(curl_easy_init());
    const std::string file = PathToBytes(path);
    const int descriptor =
        curl ? open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600) : -1;
    m_bodyFile = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
    if (m_bodyFile == nullptr) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        m_lastError = kLibcurlErrorBase + (curl ? CURLE_WRITE_ERROR : CURLE_FAILED_INIT);
        return false;
    }
    ResetResponse();
    Configure(curl.get(), "GET", false, nullptr);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    const CURLcode result = curl_easy_perform(curl.get());
    const bool closed = std::fclose(m_bodyFile) == 0;
    m_bodyFile = nullptr;
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    m_statusCode = status != 0 ? std::to_string(status) : std::string();
    // FAILONERROR ends the transfer on 400 and above; an answer such as 304 ends it "well" with
    // no installer in the file.
    const bool success = status >= 200 && status < 300;
    if (result != CURLE_OK || !closed || !success) {
        m_lastError = kLibcurlErrorBase + (result != CURLE_OK ? result
                                           : !closed          ? CURLE_WRITE_ERROR
                                                              : CURLE_HTTP_RETURNED_ERROR);
        std::remove(file.c_str());
        return false;
    }
    ParseHeaders();
    if (m_progress) {
        m_progress(m_bodyLength);
    }
    return true;
}

void CHttpClient::ResetResponse() {
    m_rawHeaders.clear();
    m_statusCode.clear();
    if (!m_charsetForced) {
        m_charset.clear();
    } else {
        m_charset = m_forcedCharset;
    }
    m_contentLength = -1;
    m_location.clear();
    m_cookiesReceived.clear();
    m_body.clear();
    m_bodyLength = 0;
    m_text.clear();
}

void CHttpClient::ParseHeaders() {
    const std::string_view raw = m_rawHeaders;
    if (!m_charsetForced) {
        constexpr std::string_view kCharset = "charset=";
        for (auto at = FindNoCase(raw, kCharset, 0); at != std::string_view::npos;
             at = FindNoCase(raw, kCharset, at + 1)) {
            const auto start = at + kCharset.size();
            const auto end = raw.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", start);
            const auto name = raw.substr(start, end - start);
            if (!name.empty()) {
                m_charset = name;
                break;
            }
        }
    }
    constexpr std::string_view kLength = "Content-Length: ";
    for (auto at = FindNoCase(raw, kLength, 0); at != std::string_view::npos;
         at = FindNoCase(raw, kLength, at + 1)) {
        const char* digits = raw.data() + at + kLength.size();
        long long value = 0;
        const auto parsed = std::from_chars(digits, raw.data() + raw.size(), value);
        if (parsed.ec == std::errc() && parsed.ptr != digits) {
            m_contentLength = value;
            break;
        }
    }
    constexpr std::string_view kLocation = "\nLocation:";
    if (const auto at = FindNoCase(raw, kLocation, 0); at != std::string_view::npos) {
        m_location = TrimBlanks(RestOfLine(raw, at + kLocation.size()));
    }
    constexpr std::string_view kSetCookie = "Set-Cookie:";
    std::string cookies;
    for (auto at = FindNoCase(raw, kSetCookie, 0); at != std::string_view::npos;
         at = FindNoCase(raw, kSetCookie, at + 1)) {
        const auto value = TrimBlanks(RestOfLine(raw, at + kSetCookie.size()));
        if (!value.empty()) {
            cookies += (cookies.empty() ? "" : "; ") + std::string(value);
        }
    }
    m_cookiesReceived = TrimBlanks(cookies);
    if (!m_cookiesReceived.empty() && m_cookiesReceived.back() != ';') {
        m_cookiesReceived += ';';
    }
}

bool CHttpClient::StoreChunk(const char* data, std::size_t size) {
    if (m_maxBodyBytes > 0 && size > m_maxBodyBytes - m_bodyLength) {
        return false;
    }
    if (m_bodyFile != nullptr) {
        if (std::fwrite(data, 1, size, m_bodyFile) != size) {
            return false;
        }
        m_bodyLength += size;
        return true;
    }
    if (m_bodyLength + size > m_body.size()) {
        std::size_t capacity = std::max(m_body.size(), kInitialBodyBuffer);
        while (capacity < m_bodyLength + size) {
            capacity *= 2;
        }
        m_body.resize(capacity);
    }
    std::memcpy(m_body.data() + m_bodyLength, data, size);
    m_bodyLength += size;
    return true;
}
