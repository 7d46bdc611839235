#pragma once
// The main window's fixed layout: the window's own settings and one row per
// control, front to back. Positions are twips from the client area's top-left
// corner; the window code turns every row into a control and paints from it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kavrel::layout {

enum class Kind {
    CheckBox,
    Timer,
    TextBox,
    PushButton,
    DropDownList,  // selection only
    DropDownBox,   // with an editable text field
    Label,
    Image,
    Rectangle,
};

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// The user's current colour for an element of the desktop scheme.
enum class SystemColour { Window, WindowText, ButtonText };

// None where a control shows no text, no outline or no background.
struct Colour {
    enum class Source { None, Fixed, System };
    Source source = Source::None;
    Rgb rgb{};
    SystemColour system = SystemColour::Window;

    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};
constexpr Colour RgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {Colour::Source::Fixed, {r, g, b}};
}
constexpr Colour FromSystemColour(SystemColour c) { return {Colour::Source::System, {}, c}; }

// Regular (not italic, underlined or struck out), Western character set.
struct Font {
    std::u16string_view face;
    int hundredthsOfPoint = 825;
    bool bold = false;
};

struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Transparent labels and unfilled rectangles paint no background.
enum class BackStyle { Transparent, Opaque };

enum class Alignment { Left, Centre };

// What an image shows: the window's icon (given at start-up) or the logo.
enum class Picture { None, WindowIcon, Logo };

namespace setting {
inline constexpr unsigned Flat = 1u << 0;       // one-pixel border instead of a sunken 3-D one
inline constexpr unsigned Graphical = 1u << 1;  // a button that shows its background colour
inline constexpr unsigned Stretch = 1u << 2;    // the picture fills the image's rectangle exactly
}  // namespace setting

inline constexpr int kNoTabIndex = -1;

// The window's controls, front to back, in the order of the layout table.
enum class ControlId {
    Check1,       // the auto-retrieve check box (its text is Label2)
    Timer1,       // the one-minute auto-retrieve timer, never shown
    txtAm,        // the amount box
    Command1,     // the Convert button
    optCountry2,  // the To currency (selection only)
    optCountry1,  // the From currency (editable text field)
    Label10,      // the credit line
    Image2,       // the logo: a click opens the maker's web site
    Label9,       // the banner title; dragging it moves the window
    Label2,       // "Auto Retrieve every 1 minute", beside Check1
    Label8,       // "Amount", beside txtAm
    Label7,       // "To", beside optCountry2
    Label6,       // "From", beside optCountry1
    Label5,       // the "Select Currency" heading
    Shape5,       // the lilac line under the title band
    Shape4,       // the bottom frame line
    Shape3,       // the right frame line
    Shape2,       // the left frame line
    Label4,       // the close square: a click ends the program
    Image1,       // the window's icon in the top-left corner
    lblC,         // the status line ("Retrieving Rates...")
    Label1,       // the result line
    Label3,       // the transparent strip over the title band; dragging it moves the window
    Shape1,       // the title band
};
inline constexpr std::size_t kControlCount = 24;

constexpr std::size_t IndexOf(ControlId id) { return static_cast<std::size_t>(id); }

// As a window, control k of the table has the identifier kFirstControlId + k
// (the timer uses its own as timer identifier); other processes name the
// window's children by it.
inline constexpr int kFirstControlId = 1000;

// A control's window identifier, and the control behind one, if any.
constexpr int WindowIdOf(ControlId id) { return kFirstControlId + static_cast<int>(IndexOf(id)); }
constexpr std::optional<ControlId> ControlIdOf(long long windowId) {
    if (windowId < kFirstControlId || windowId >= kFirstControlId + static_cast<long long>(kControlCount))
        return std::nullopt;
    return static_cast<ControlId>(windowId - kFirstControlId);
}

struct Control {
    ControlId id = ControlId::Check1;
    std::string_view name;  // the designer's name
    Kind kind = Kind::Label;
    Twips twips{};
    std::u16string_view text{};
    std::optional<Font> font{};  // none: the window's default font
    Colour fore{};               // text colour, or a rectangle's outline
    Colour back{};
    BackStyle backStyle = BackStyle::Opaque;
    int tabIndex = kNoTabIndex;
    unsigned settings = 0;
    Alignment alignment = Alignment::Left;
    std::u16string_view hint{};  // shown when the mouse rests on the control
    Picture picture = Picture::None;
    int intervalMilliseconds = 0;  // timers
};

struct Window {
    std::u16string_view caption;
    Twips client;  // position on the screen and size of the client area
    Colour back;
    Font font;  // for controls without a font of their own
};

const Window& FormWindow();

// All controls, front to back: a control lies in front of every control after it.
std::span<const Control> FormControls();

constexpr bool IsDropDown(Kind kind) { return kind == Kind::DropDownList || kind == Kind::DropDownBox; }

// Whether a control of this kind is a window that can take the keyboard focus.
bool TakesFocus(Kind kind);

// The order in which to create the controls as windows, which is also the
// windows' stacking order: the focusable controls first, by tab index, so that
// Tab walks them in that order (they overlap nothing, so this changes no
// picture), then all the others front to back.
std::vector<std::size_t> CreationOrder(std::span<const Control> controls);

// Twips to device pixels at `dpi` dots per inch, rounded to the nearest pixel:
// 15 twips a pixel at 96 DPI, 10 at 144.
int Pixels(int twips, int dpi);

// Edges are converted one by one, so that controls that touch stay touching.
PixelRect Pixels(const Twips& twips, int dpi);

// The character height for a font request at `dpi`: negative, -points*dpi/72,
// rounded, with fractional sizes such as 8.25 and 9.75 taken exactly.
int FontHeight(const Font& font, int dpi);

inline constexpr int kRegularWeight = 400;
inline constexpr int kBoldWeight = 700;
int FontWeight(const Font& font);

}  // namespace kavrel::layout
