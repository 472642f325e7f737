#pragma once
// A small HTTP client on libcurl for the upgrade check: one request at a time, its response kept
// in the object until the next send.
//
// Threads: one object is used by one thread at a time (the upgrade worker); nothing is shared.
// The stop token, when given, is looked at while a transfer runs and ends it promptly.
//
// Only HTTPS: a URL of any other scheme fails, and so does a redirect to one. Certificates and
// host names are verified against the system's certificate store (or the authorities given).
//
// Time-outs: libcurl has no separate resolve, send and receive limits. Resolving and connecting
// together get the connect limit; a transfer slower than the low-speed limit for its time (by
// default: no byte for the receive limit) ends, and so does one that outlasts the transfer limit.
// The system proxy settings are libcurl's: the proxy environment variables (http_proxy,
// https_proxy, no_proxy) apply to every attempt; an explicit proxy set here overrides them.
#include <cstddef>
#include <cstdio>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

class CHttpClient {
public:
    // The client's own refusals; a failure inside libcurl gives kLibcurlErrorBase + its code.
    static constexpr int kErrorNoUrl = 3;
    static constexpr int kErrorBadVerb = 87;
    static constexpr int kErrorIncompletePage = 13;
    static constexpr int kLibcurlErrorBase = 12000;

    explicit CHttpClient(std::wstring url = {}, std::stop_token stop = {});

    void SetUrl(std::wstring url) { m_url = std::move(url); }
    void SetUserAgent(std::string agent) { m_userAgent = std::move(agent); }
    void SetTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs);
    // The whole of one attempt, redirects included, in milliseconds (0: no limit).
    void SetTransferLimit(long totalMs) { m_transferLimitMs = totalMs; }
    // An attempt averaging fewer than `bytesPerSecond` over `seconds` ends.
    void SetLowSpeedLimit(long bytesPerSecond, long seconds);
    // Off, HTTPS requests accept an untrusted authority, a wrong host name and an expired
    // certificate. On by default: what the upgrade check fetches is run afterwards.
    void SetRequireValidCertificate(bool require) { m_requireValidCertificate = require; }
    // PEM certificates of the authorities to trust instead of the system's store (empty: the
    // system's store).
    void SetCertificateAuthorities(std::string pem) { m_certificateAuthorities = std::move(pem); }
    // Header lines separated by CR LF; a name given twice is sent once, values joined by "; ".
    void SetAdditionalHeaders(std::string headers) { m_additionalHeaders = std::move(headers); }
    void SetCookies(std::string cookies) { m_cookies = std::move(cookies); }
    void SetProxy(std::string proxy, std::string userName = {}, std::string password = {});
    // Sent after the request line and headers (with "POST").
    void SetRequestBody(std::string body) { m_requestBody = std::move(body); }
    // When forced the charset is not taken from the response headers.
    void SetForcedCharset(std::string charset);
    // A body beyond this many bytes fails the attempt (0: no limit).
    void SetMaxBodyBytes(std::size_t limit) { m_maxBodyBytes = limit; }
    // Called on the sending thread with the body bytes received so far, before each chunk is
    // stored and once at the end.
    void SetProgressCallback(std::function<void(std::size_t)> progress) {
        m_progress = std::move(progress);
    }

    // "GET" or "POST" (any case). Up to three attempts, stopping at the first success; a "GET"
    // that follows redirects and whose body has "<html>" without "</html>" counts as failed
    // (error 13) and runs again. False with the last error set when no attempt succeeded.
    bool SendHttpRequest(const std::string& verb = "GET", bool disableRedirects = false);

    // One "GET" that follows redirects, its body written to the file at `path` (replaced, never
    // through a link, readable by the user only) under the body limit. False, with the file
    // removed, unless a 2xx answer arrived whole.
    bool DownloadToFile(const std::wstring& path);

    const std::string& GetRawHeaders() const { return m_rawHeaders; }
    // The status code as text ("200"); empty when no response came.
    const std::string& GetStatusCode() const { return m_statusCode; }
    const std::string& GetCharset() const { return m_charset; }
    // The Content-Length header's value; -1 without one.
    long long GetContentLength() const { return m_contentLength; }
    const std::string& GetLocation() const { return m_location; }
    // Every Set-Cookie value joined by "; ", ending with ";" (empty when none came).
    const std::string& GetCookiesReceived() const { return m_cookiesReceived; }
    std::string_view GetResponseBytes() const { return {m_body.data(), m_bodyLength}; }
    std::size_t GetResponseLength() const { return m_bodyLength; }
    // The body as wide text: UTF-8 when the charset says so and the bytes are valid, otherwise
    // the system's 8-bit reading (UTF-8 where valid, else the detected legacy encoding).
    const std::wstring& GetResponseText() const { return m_text; }
    int GetLastErrorNumber() const { return m_lastError; }

private:
    // Sets every option of one request on the handle; the header list must outlive the transfer.
    void Configure(void* curl, const std::string& verb, bool disableRedirects, void* headerList);
    bool SendOnce(void* curl, const std::string& verb, bool disableRedirects);
    void ResetResponse();
    void ParseHeaders();
    bool StoreChunk(const char* data, std::size_t size);

    // libcurl's callbacks, defined beside the transfer code.
    friend struct CHttpCallbacks;

    std::wstring m_url;
    std::stop_token m_stop;
    std::string m_userAgent = "WinHttpClient";
    long m_resolveTimeoutMs = 0;
    long m_connectTimeoutMs = 60000;
    long m_sendTimeoutMs = 30000;
    long m_receiveTimeoutMs = 30000;
    long m_transferLimitMs = 0;
    // 0 seconds: the rule derived from the send and receive time-outs.
    long m_lowSpeedBytesPerSecond = 1;
    long m_lowSpeedSeconds = 0;
    bool m_requireValidCertificate = true;
    std::string m_certificateAuthorities;
    std::string m_additionalHeaders;
    std::string m_cookies;
    std::string m_proxy;
    std::string m_proxyUserName;
    std::string m_proxyPassword;
    std::string m_requestBody;
    bool m_charsetForced = false;
    std::string m_forcedCharset;
    std::size_t m_maxBodyBytes = 0;
    std::function<void(std::size_t)> m_progress;

    std::string m_rawHeaders;
    std::string m_statusCode;
    std::string m_charset;
    long long m_contentLength = -1;
    std::string m_location;
    std::string m_cookiesReceived;
    std::vector<char> m_body;
    std::size_t m_bodyLength = 0;
    // While DownloadToFile runs, the body goes here instead of into m_body.
    std::FILE* m_bodyFile = nullptr;
    std::wstring m_text;
    int m_lastError = 0;
};
