// kavrel-inspect: shows Kavrel's window from another process, the way a test or a
// curious user would look at it, one line per window.
//
//   kavrel-inspect [--pid N] [--tsv]             the "Kavrel" window and all its child windows,
//                                                 each of its own controls with its layout name and rectangle
//   kavrel-inspect --windows [--pid N] [--tsv]   every top-level window of Kavrel's process
//
// Text read without a message (GetWindowTextW) comes from the system's copy, so it is
// there even while Kavrel's thread is stuck in a download. Everything that needs a
// message is asked with a short time-out, and only when the window answers at all.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/layout.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 300;
constexpr int kStoredTextLimit = 4096;

struct Options {
    std::optional<DWORD> pid;
    bool tsv = false;
    bool top_level = false;
};

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return {name, static_cast<size_t>(length > 0 ? length : 0)};
}

std::wstring stored_text(HWND window) {
    std::wstring text(kStoredTextLimit, L'\0');
    const int length = GetWindowTextW(window, text.data(), kStoredTextLimit);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return text;
}

DWORD process_of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A blocked Kavrel must not block the inspector: every question carries a time-out.
std::optional<LRESULT> ask(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kAnswerTimeoutMs, &answer))
        return std::nullopt;
    return static_cast<LRESULT>(answer);
}

std::optional<std::wstring> asked_text(HWND window) {
    const auto length = ask(window, WM_GETTEXTLENGTH);
    if (!length || *length < 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied) return std::nullopt;
    text.resize(static_cast<size_t>(*copied));
    return text;
}

std::optional<std::wstring> asked_item_text(HWND combo, LRESULT index) {
    const auto length = ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (!length || *length < 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = ask(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(text.data()));
    if (!copied || *copied < 0) return std::nullopt;
    text.resize(static_cast<size_t>(*copied));
    return text;
}

// One window as printed: named fields in a fixed order; an absent value stays empty.
struct Field {
    const char* name;
    std::string value;
    bool quoted;
};

class Record {
public:
    void text(const char* name, std::wstring_view value) { fields_.push_back({name, utf8(value), true}); }
    void number(const char* name, long long value) { fields_.push_back({name, std::to_string(value), false}); }
    void flag(const char* name, bool value) { fields_.push_back({name, value ? "true" : "false", false}); }
    void handle(const char* name, HWND value) {
        char hex[32];
        // The whole pointer-sized value: unsigned long holds only 32 bits on 64-bit Windows.
        std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(value)));
        fields_.push_back({name, hex, true});
    }

    std::string json() const {
        std::string line = "{";
        for (const auto& field : fields_) {
            if (line.size() > 1) line += ',';
            line += '"';
            line += field.name;
            line += "\":";
            line += field.quoted ? quoted(field.value) : field.value;
        }
        return line + "}\n";
    }

    std::string tsv() const {
        std::string line;
        for (const auto& field : fields_) {
            if (!line.empty()) line += '\t';
            line += field.name;
            line += '=';
            line += escaped(field.value);
        }
        return line + "\n";
    }

private:
    static std::string quoted(std::string_view value) {
        std::string out = "\"";
        for (const char c : value) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", c);
                out += code;
            } else {
                out += c;
            }
        }
        return out + '"';
    }

    static std::string escaped(std::string_view value) {
        std::string out;
        for (const char c : value) {
            if (c == '\t') out += "\\t";
            else if (c == '\n') out += "\\n";
            else if (c == '\r') out += "\\r";
            else if (c == '\\') out += "\\\\";
            else out += c;
        }
        return out;
    }

    std::vector<Field> fields_;
};

HWND focus_of(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void add_kind_specific(Record& record, HWND window, const std::wstring& kind) {
    if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
        if (const auto check = ask(window, BM_GETCHECK)) record.number("check", *check);
    } else if (lstrcmpiW(kind.c_str(), L"ComboBox") == 0) {
        const auto count = ask(window, CB_GETCOUNT);
        const auto selected = ask(window, CB_GETCURSEL);
        if (count) record.number("count", *count);
        if (selected) record.number("cursel", *selected);
        if (selected && *selected >= 0)
            if (const auto item = asked_item_text(window, *selected)) record.text("seltext", *item);
    }
}

int screen_dpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi;
}

// A child of Kavrel's window by its name in the layout (from its identifier)
// and the rectangle the layout gives it in the client area, in pixels.
void add_layout(Record& record, HWND window, HWND kavrel) {
    if (GetAncestor(window, GA_PARENT) != kavrel) return;  // a combo box's own parts reuse small identifiers
    const auto id = kavrel::layout::ControlIdOf(GetDlgCtrlID(window));
    if (!id) return;
    const auto& control = kavrel::layout::FormControls()[kavrel::layout::IndexOf(*id)];
    const auto rect = kavrel::layout::Pixels(control.twips, screen_dpi());
    record.text("name", std::wstring(control.name.begin(), control.name.end()));
    record.number("layout_x", rect.left);
    record.number("layout_y", rect.top);
    record.number("layout_w", rect.width());
    record.number("layout_h", rect.height());
}

Record describe(HWND window, HWND focus, bool responding) {
    Record record;
    const std::wstring kind = class_of(window);
    RECT rect{};
    GetWindowRect(window, &rect);
    record.handle("hwnd", window);
    const HWND parent = GetAncestor(window, GA_PARENT);
    record.handle("parent", parent == GetDesktopWindow() ? nullptr : parent);
    record.number("id", GetDlgCtrlID(window));
    record.text("class", kind);
    record.text("text", stored_text(window));
    record.number("x", rect.left);
    record.number("y", rect.top);
    record.number("w", rect.right - rect.left);
    record.number("h", rect.bottom - rect.top);
    record.flag("visible", IsWindowVisible(window) != FALSE);
    record.flag("enabled", IsWindowEnabled(window) != FALSE);
    record.flag("focus", window == focus);
    if (responding) {
        if (const auto value = asked_text(window)) record.text("value", *value);
        add_kind_specific(record, window, kind);
    }
    return record;
}

struct Search {
    std::optional<DWORD> pid;
    HWND found = nullptr;
};

BOOL CALLBACK match_kavrel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    if (search.pid && process_of(window) != *search.pid) return TRUE;
    if (stored_text(window) != L"Kavrel") return TRUE;
    search.found = window;
    return FALSE;
}

HWND find_kavrel(std::optional<DWORD> pid) {
    Search search{pid};
    EnumWindows(match_kavrel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collect(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> children_of(HWND window) {
    std::vector<HWND> windows;
    EnumChildWindows(window, collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> top_level_of(DWORD pid) {
    std::vector<HWND> all;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> mine;
    for (HWND window : all)
        if (process_of(window) == pid) mine.push_back(window);
    return mine;
}

bool answers(HWND window) { return ask(window, WM_NULL).has_value(); }

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--tsv") options.tsv = true;
        else if (arg == "--windows") options.top_level = true;
        else if (arg == "--pid" && i + 1 < argc) options.pid = std::strtoul(argv[++i], nullptr, 10);
        else return std::nullopt;
    }
    return options;
}

void print(const Record& record, bool tsv) {
    const std::string line = tsv ? record.tsv() : record.json();
    std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const auto options = parse(argc, argv);
    if (!options) {
        std::fputs("usage: kavrel-inspect [--windows] [--pid N] [--tsv]\n", stderr);
        return 1;
    }
    const HWND kavrel = find_kavrel(options->pid);
    if (!kavrel) {
        std::fputs("kavrel-inspect: no window titled \"Kavrel\"\n", stderr);
        return 2;
    }
    const bool responding = answers(kavrel);
    const HWND focus = focus_of(kavrel);

    Record top = describe(kavrel, focus, responding);
    top.number("pid", process_of(kavrel));
    top.flag("responding", responding);
    print(top, options->tsv);

    const auto others = options->top_level ? top_level_of(process_of(kavrel)) : children_of(kavrel);
    for (HWND window : others)
        if (window != kavrel) {
            Record record = describe(window, focus, responding);
            add_layout(record, window, kavrel);
            print(record, options->tsv);
        }
    return 0;
}
