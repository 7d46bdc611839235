#pragma once
// The last good reference file fetched, kept per user, so that a restart
// without a network serves the newest rates the service ever had.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel::rates {

// %LOCALAPPDATA%\Kavrel on Windows; $XDG_CACHE_HOME/kavrel, else ~/.cache/kavrel,
// elsewhere. Empty when the environment names no such place.
std::filesystem::path UserCacheFolder();

class RateCache {
public:
    explicit RateCache(std::filesystem::path folder);

    const std::filesystem::path& File() const { return file_; }

    // The kept file's text; nullopt when there is none. Raises RunTimeError
    // when one is there but cannot be read.
    std::optional<std::string> Read() const;

    // Keeps `text` in place of the kept file, whole or not at all: it is
    // written beside it first and then renamed over it, so a reader never
    // sees half a file. Raises RunTimeError when that fails.
    void Keep(std::string_view text) const;

private:
    std::filesystem::path file_;
};

}  // namespace kavrel::rates
