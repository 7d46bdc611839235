// The reference file fetch through cpp-httplib, with OpenSSL for HTTPS.
#include <httplib.h>

#include "core/run_time_error.h"
#include "reference_rates.h"
#include "reference_refresh.h"

namespace kavrel::rates {
namespace {

constexpr time_t kConnectSeconds = 10;
constexpr time_t kReadSeconds = 30;

[[noreturn]] void Fail(const std::string& url, const std::string& what) {
    throw RunTimeError(ErrorKind::InvalidArgument, url + ": " + what);
}

// What went wrong, in words; httplib's own names are terse.
std::string Described(httplib::Error error) {
    using enum httplib::Error;
    static constexpr std::pair<httplib::Error, const char*> kWords[] = {
        {Connection, "could not connect"},
        {ConnectionTimeout, "the connection timed out"},
        {Read, "the answer could not be read"},
        {Write, "the request could not be sent"},
        {ExceedRedirectCount, "too many redirections"},
        {SSLConnection, "no TLS connection could be made"},
        {SSLLoadingCerts, "the trusted certificates could not be loaded"},
        {SSLServerVerification, "the server's certificate is not trusted"},
        {Compression, "the answer could not be decompressed"},
    };
    for (const auto& [known, words] : kWords)
        if (error == known) return words;
    return httplib::to_string(error);
}

}  // namespace

std::string FetchReferenceFile(const std::string& url, const std::string& caFile, std::stop_token stop) {
    if (!IsFetchableUrl(url)) Fail(url, "not an http:// or https:// address");
    const auto pathStart = url.find('/', url.find("://") + 3);
    httplib::Client client(url.substr(0, pathStart));
    client.enable_server_certificate_verification(true);
    if (!caFile.empty()) client.set_ca_cert_path(caFile.c_str());
    client.set_connection_timeout(kConnectSeconds);
    client.set_read_timeout(kReadSeconds);
    client.set_follow_location(true);

    // Shutting the socket down is the one thing httplib lets another thread do to a request under way.
    const std::stop_callback cancel(stop, [&client] { client.stop(); });
    std::string body;
    const auto result =
        client.Get(pathStart == std::string::npos ? "/" : url.substr(pathStart), [&](const char* data, size_t size) {
            body.append(data, size);
            return body.size() <= kMaxReferenceFileBytes && !stop.stop_requested();
        });
    if (stop.stop_requested()) Fail(url, "stopped");
    if (body.size() > kMaxReferenceFileBytes) Fail(url, "more bytes than a reference file may have");
    if (!result) {
        const auto verify = client.get_openssl_verify_result();  // -1 without TLS
        Fail(url, Described(result.error()) +
                      (verify > X509_V_OK ? std::string(" (") + X509_verify_cert_error_string(verify) + ")" : ""));
    }
    if (result->status != 200) Fail(url, "HTTP status " + std::to_string(result->status));
    return body;
}

}  // namespace kavrel::rates
