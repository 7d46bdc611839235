#include "reference_refresh.h"

#include <httplib.h>

#include <condition_variable>
#include <mutex>

#include "core/run_time_error.h"
#include "reference_rates.h"

namespace kavrel::rates {
namespace {

constexpr time_t kConnectSeconds = 10;
constexpr time_t kReadSeconds = 30;

[[noreturn]] void fail(const std::string& url, const std::string& what) {
    throw RunTimeError(ErrorKind::InvalidArgument, url + ": " + what);
}

// What went wrong, in words; httplib's own names are terse.
std::string described(httplib::Error error) {
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

bool isFetchableUrl(std::string_view url) {
    for (const std::string_view scheme : {"http://", "https://"})
        if (url.starts_with(scheme) && url.size() > scheme.size() && url[scheme.size()] != '/') return true;
    return false;
}

std::string fetchReferenceFile(const std::string& url, const std::string& caFile) {
    if (!isFetchableUrl(url)) fail(url, "not an http:// or https:// address");
    const auto pathStart = url.find('/', url.find("://") + 3);
    httplib::Client client(url.substr(0, pathStart));
    client.enable_server_certificate_verification(true);
    if (!caFile.empty()) client.set_ca_cert_path(caFile.c_str());
    client.set_connection_timeout(kConnectSeconds);
    client.set_read_timeout(kReadSeconds);
    client.set_follow_location(true);

    std::string body;
    const auto result =
        client.Get(pathStart == std::string::npos ? "/" : url.substr(pathStart), [&](const char* data, size_t size) {
            body.append(data, size);
            return body.size() <= kMaxReferenceFileBytes;
        });
    if (body.size() > kMaxReferenceFileBytes) fail(url, "more bytes than a reference file may have");
    if (!result) {
        const auto verify = client.get_openssl_verify_result();  // -1 without TLS
        fail(url, described(result.error()) +
                      (verify > X509_V_OK ? std::string(" (") + X509_verify_cert_error_string(verify) + ")" : ""));
    }
    if (result->status != 200) fail(url, "HTTP status " + std::to_string(result->status));
    return body;
}

ReferenceRefresher::ReferenceRefresher(RateTable base, RefreshSettings settings, Publish publish, LogSink log)
    : base_(std::move(base)),
      settings_(std::move(settings)),
      publish_(std::move(publish)),
      log_(std::move(log)),
      thread_([this](std::stop_token stop) { run(stop); }) {}

void ReferenceRefresher::run(std::stop_token stop) const {
    std::mutex mutex;  // only for the timed wait, which a stop request cuts short
    std::condition_variable_any wake;
    refresh();
    for (std::unique_lock lock(mutex); !wake.wait_for(lock, stop, settings_.interval, [&] { return stop.stop_requested(); });)
        refresh();
}

void ReferenceRefresher::refresh() const {
    try {
        const auto rates = parseReferenceRates(fetchReferenceFile(settings_.url, settings_.caFile), settings_.url);
        auto table = withReferenceRates(base_, rates);
        const auto date = table.newestDate();
        publish_(std::move(table));
        log_("kavrel-rates: " + std::to_string(rates.size()) + " reference rates, newest of " + date + ", from " +
             settings_.url);
    } catch (const RunTimeError& error) {
        log_("kavrel-rates: refresh failed, the rates in service stay: " + std::string(error.what()));
    }
}

}  // namespace kavrel::rates
