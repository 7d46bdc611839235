#include "rate_cache.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "core/run_time_error.h"
#include "reference_rates.h"

namespace kavrel::rates {
namespace {

constexpr const char* kFileName = "eurofxref.xml";

[[noreturn]] void Fail(const std::string& what) { throw RunTimeError(ErrorKind::SystemCallFailed, what); }

#ifdef _WIN32
std::filesystem::path EnvironmentPath(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);  // wide: a user's folder may have any name
    return value ? std::filesystem::path(value) : std::filesystem::path();
}
#else
std::filesystem::path EnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::filesystem::path(value) : std::filesystem::path();
}
#endif

// A name beside the kept file that no other writer picks at the same time.
std::filesystem::path PartFile(const std::filesystem::path& file) {
    std::random_device random;
    return std::filesystem::path(file).concat(".part" + std::to_string(random()));
}

}  // namespace

std::filesystem::path UserCacheFolder() {
#ifdef _WIN32
    const auto local = EnvironmentPath(L"LOCALAPPDATA");
    return local.empty() ? local : local / "Kavrel";
#else
    if (const auto cache = EnvironmentPath("XDG_CACHE_HOME"); cache.is_absolute()) return cache / "kavrel";
    const auto home = EnvironmentPath("HOME");
    return home.empty() ? home : home / ".cache" / "kavrel";
#endif
}

RateCache::RateCache(std::filesystem::path folder) : file_(std::move(folder) / kFileName) {}

std::optional<std::string> RateCache::Read() const {
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) return std::nullopt;
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    if (!(in && text << in.rdbuf()) || text.view().size() > kMaxReferenceFileBytes)
        Fail("cannot read the kept file " + file_.string());
    return std::move(text).str();
}

void RateCache::Keep(std::string_view text) const {
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    const auto part = PartFile(file_);
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!(out && out.write(text.data(), static_cast<std::streamsize>(text.size())) && out.flush())) {
            out.close();
            std::filesystem::remove(part, error);
            Fail("cannot write " + part.string());
        }
    }
    std::filesystem::rename(part, file_, error);
    if (error) {
        const auto reason = error.message();
        std::filesystem::remove(part, error);
        Fail("cannot put " + file_.string() + " in place: " + reason);
    }
}

}  // namespace kavrel::rates
