#pragma once
// Phase marks for the benchmark (bench/program): a name and the
// QueryPerformanceCounter reading, kept in memory and written out in one
// OutputDebugStringW when the window has nothing left to do, so that writing
// them costs nothing inside the phases they time. Only a build configured with
// KAVREL_BENCH_MARKS=ON takes marks; in every other build both calls are empty
// and the program writes nothing.
namespace kavrel::win32::bench {

#ifdef KAVREL_BENCH_MARKS
// `phase` is a string literal: only its address is kept.
void Mark(const char* phase) noexcept;
// Writes the marks taken since the last call as one debug string, then forgets them.
void WriteMarks() noexcept;
inline constexpr bool kMarks = true;
#else
inline void Mark(const char*) noexcept {}
inline void WriteMarks() noexcept {}
inline constexpr bool kMarks = false;
#endif

}  // namespace kavrel::win32::bench
