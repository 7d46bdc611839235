#pragma once
// Shared by the fuzz targets: the input as page text, and a check that stops
// the run (and so reports the input) when an invariant breaks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kavrel::fuzz {

// Bytes widened one to one, as a page in a single-byte code page reads.
inline std::u16string Widen(const std::uint8_t* data, std::size_t size) { return std::u16string(data, data + size); }

inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace kavrel::fuzz
