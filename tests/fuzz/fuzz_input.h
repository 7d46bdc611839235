#pragma once
// The input as page text, and a check that ends the run (so that the input is
// reported) when an invariant breaks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kavrel::fuzz {

// Bytes widened one to one, as a page in a single-byte code page reads.
inline std::u16string Widen(const std::uint8_t* data, std::size_t size) { return std::u16string(data, data + size); }

inline void Require(bool holds, const char* what) {
    if (!holds) std::fprintf(stderr, "invariant broken: %s\n", what), std::abort();
}

}  // namespace kavrel::fuzz
