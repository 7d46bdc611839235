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

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return {name, static_cast<size_t>(length > 0 ? length : 0)};
}

std::wstring StoredText(HWND window) {
    std::wstring text(kStoredTextLimit, L'\0');
    const int length = GetWindowTextW(window, text.data(), kStoredTextLimit);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return text;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A blocked Kavrel must not block the inspector: every question carries a time-out.
std::optional<LRESULT> Ask(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &answer))
        return std::nullopt;
    return static_cast<LRESULT>(answer);
}

std::optional<std::wstring> AskedText(HWND window) {
    const auto length = Ask(window, WM_GETTEXTLENGTH);
    if (!length || *length < 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied) return std::nullopt;
    text.resize(static_cast<size_t>(*copied));
    return text;
}

std::optional<std::wstring> AskedItemText(HWND combo, LRESULT index) {
    const auto length = Ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (!length || *length < 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = Ask(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
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
    void Text(const char* name, std::wstring_view value) { fields_.push_back({name, Utf8(value), true}); }
    void Number(const char* name, long long value) { fields_.push_back({name, std::to_string(value), false}); }
    void Flag(const char* name, bool value) { fields_.push_back({name, value ? "true" : "false", false}); }
    void Handle(const char* name, HWND value) {
        char hex[32];
        // The whole pointer-sized value: unsigned long holds only 32 bits on 64-bit Windows.
        std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(value)));
        fields_.push_back({name, hex, true});
    }

    std::string Json() const {
        std::string line = "{";
        for (const auto& field : fields_) {
            if (line.size() > 1) line += ',';
            line += '"';
            line += field.name;
            line += "\":";
            line += field.quoted ? Quoted(field.value) : field.value;
        }
        return line + "}\n";
    }

    std::string Tsv() const {
        std::string line;
        for (const auto& field : fields_) {
            if (!line.empty()) line += '\t';
            line += field.name;
            line += '=';
            line += Escaped(field.value);
        }
        return line + "\n";
    }

private:
    static std::string Quoted(std::string_view value) {
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

    static std::string Escaped(std::string_view value) {
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

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void AddKindSpecific(Record& record, HWND window, const std::wstring& kind) {
    if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
        if (const auto check = Ask(window, BM_GETCHECK)) record.Number("check", *check);
    } else if (lstrcmpiW(kind.c_str(), L"ComboBox") == 0) {
        const auto count = Ask(window, CB_GETCOUNT);
        const auto selected = Ask(window, CB_GETCURSEL);
        if (count) record.Number("count", *count);
        if (selected) record.Number("cursel", *selected);
        if (selected && *selected >= 0)
            if (const auto item = AskedItemText(window, *selected)) record.Text("seltext", *item);
    }
}

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi;
}

// A child of Kavrel's window by its name in the layout (from its identifier)
// and the rectangle the layout gives it in the client area, in pixels.
void AddLayout(Record& record, HWND window, HWND kavrel) {
    if (GetAncestor(window, GA_PARENT) != kavrel) return;  // a combo box's own parts reuse small identifiers
    const auto id = kavrel::layout::ControlIdOf(GetDlgCtrlID(window));
    if (!id) return;
    const auto& control = kavrel::layout::FormControls()[kavrel::layout::IndexOf(*id)];
    const auto rect = kavrel::layout::Pixels(control.twips, ScreenDpi());
    record.Text("name", std::wstring(control.name.begin(), control.name.end()));
    record.Number("layout_x", rect.left);
    record.Number("layout_y", rect.top);
    record.Number("layout_w", rect.Width());
    record.Number("layout_h", rect.Height());
}

Record Describe(HWND window, HWND focus, bool responding) {
    Record record;
    const std::wstring kind = ClassOf(window);
    RECT rect{};
    GetWindowRect(window, &rect);
    record.Handle("hwnd", window);
    const HWND parent = GetAncestor(window, GA_PARENT);
    record.Handle("parent", parent == GetDesktopWindow() ? nullptr : parent);
    record.Number("id", GetDlgCtrlID(window));
    record.Text("class", kind);
    record.Text("text", StoredText(window));
    record.Number("x", rect.left);
    record.Number("y", rect.top);
    record.Number("w", rect.right - rect.left);
    record.Number("h", rect.bottom - rect.top);
    record.Flag("visible", IsWindowVisible(window) != FALSE);
    record.Flag("enabled", IsWindowEnabled(window) != FALSE);
    record.Flag("focus", window == focus);
    if (responding) {
        if (const auto value = AskedText(window)) record.Text("value", *value);
        AddKindSpecific(record, window, kind);
    }
    return record;
}

struct Search {
    std::optional<DWORD> pid;
    HWND found = nullptr;
};

BOOL CALLBACK MatchKavrel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    if (search.pid && ProcessOf(window) != *search.pid) return TRUE;
    if (StoredText(window) != L"Kavrel") return TRUE;
    search.found = window;
    return FALSE;
}

HWND FindKavrel(std::optional<DWORD> pid) {
    Search search{pid};
    EnumWindows(MatchKavrel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK Collect(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND window) {
    std::vector<HWND> windows;
    EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> TopLevelOf(DWORD pid) {
    std::vector<HWND> all;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> mine;
    for (HWND window : all)
        if (ProcessOf(window) == pid) mine.push_back(window);
    return mine;
}

bool Answers(HWND window) { return Ask(window, WM_NULL).has_value(); }

std::optional<Options> Parse(int argc, char** argv) {
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

void Print(const Record& record, bool tsv) {
    const std::string line = tsv ? record.Tsv() : record.Json();
    std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const auto options = Parse(argc, argv);
    if (!options) {
        std::fputs("usage: kavrel-inspect [--windows] [--pid N] [--tsv]\n", stderr);
        return 1;
    }
    const HWND kavrel = FindKavrel(options->pid);
    if (!kavrel) {
        std::fputs("kavrel-inspect: no window titled \"Kavrel\"\n", stderr);
        return 2;
    }
    const bool responding = Answers(kavrel);
    const HWND focus = FocusOf(kavrel);

    Record top = Describe(kavrel, focus, responding);
    top.Number("pid", ProcessOf(kavrel));
    top.Flag("responding", responding);
    Print(top, options->tsv);

    const auto others = options->top_level ? TopLevelOf(ProcessOf(kavrel)) : ChildrenOf(kavrel);
    for (HWND window : others)
        if (window != kavrel) {
            Record record = Describe(window, focus, responding);
            AddLayout(record, window, kavrel);
            Print(record, options->tsv);
        }
    return 0;
}
