#include "win32/bench_marks.h"

#ifdef KAVREL_BENCH_MARKS
#include <windows.h>

#include <array>
#include <string>

namespace kavrel::win32::bench {
namespace {

struct Taken {
    const char* phase;
    long long ticks;
};

// Room for one start-up or one retrieval with its paints; later marks are dropped.
constexpr std::size_t kRoom = 256;

struct MarkBook {
    std::array<Taken, kRoom> marks{};
    std::size_t count = 0;
};

// The one mark book of the process (the window's thread is its only writer).
MarkBook& Book() {
    static MarkBook book;
    return book;
}

}  // namespace

void Mark(const char* phase) noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    auto& book = Book();
    if (book.count < kRoom) book.marks[book.count++] = {phase, now.QuadPart};
}

void WriteMarks() noexcept {
    auto& book = Book();
    if (book.count == 0) return;
    // "kavrel-marks" then one "ticks phase" line per mark; a debug string
    // carries under 4 KiB, so long books go out in several.
    constexpr std::size_t kDebugStringRoom = 3800;
    std::wstring text = L"kavrel-marks";
    for (std::size_t i = 0; i < book.count; ++i) {
        std::wstring line = L"\n" + std::to_wstring(book.marks[i].ticks) + L" ";
        for (const char* c = book.marks[i].phase; *c; ++c) line += static_cast<wchar_t>(*c);  // ASCII names
        if (text.size() + line.size() > kDebugStringRoom) {
            OutputDebugStringW(text.c_str());
            text = L"kavrel-marks";
        }
        text += line;
    }
    OutputDebugStringW(text.c_str());
    book.count = 0;
}

}  // namespace kavrel::win32::bench
#endif
