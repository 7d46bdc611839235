#include "window/layout.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "build_config.h"

namespace kavrel::layout {
namespace {

constexpr int kTwipsPerInch = 1440;

constexpr Font kDefaultFont{u"MS Sans Serif", 825, false};
constexpr Font kCheckFont{u"MS Sans Serif", 825, true};
constexpr Font kTitleFont{u"Microsoft Sans Serif", 975, true};
constexpr Font kCaptionFont{u"Microsoft Sans Serif", 900, false};
constexpr Font kHeadingFont{u"Microsoft Sans Serif", 900, true};
constexpr Font kStatusFont{u"Microsoft Sans Serif", 825, false};
constexpr Font kResultFont{u"Arial", 975, true};

constexpr Colour kWhite = RgbColour(255, 255, 255);
constexpr Colour kPaleBlue = RgbColour(222, 232, 250);
constexpr Colour kLilac = RgbColour(128, 128, 255);
constexpr Colour kCaptionBlue = RgbColour(96, 113, 232);
constexpr Colour kWindow = FromSystemColour(SystemColour::Window);
constexpr Colour kWindowText = FromSystemColour(SystemColour::WindowText);
constexpr Colour kButtonText = FromSystemColour(SystemColour::ButtonText);

constexpr auto kTransparent = BackStyle::Transparent;

constexpr Window kForm{u"Kavrel", {2910, 1650, 7140, 3480}, kWhite, kDefaultFont};

// Front to back.
// clang-format off
constexpr std::array<Control, kControlCount> kControls{{
    {.id = ControlId::Check1, .name = "Check1", .kind = Kind::CheckBox, .twips = {5910, 2385, 225, 255}, .text = u"Check1",
     .font = kCheckFont, .fore = kLilac, .back = kWindow, .tabIndex = 12, .settings = setting::Flat},
    {.id = ControlId::Timer1, .name = "Timer1", .kind = Kind::Timer, .intervalMilliseconds = 60000},
    {.id = ControlId::txtAm, .name = "txtAm", .kind = Kind::TextBox, .twips = {1305, 1485, 2220, 285}, .text = u"1", .fore = kWindowText,
     .back = kPaleBlue, .tabIndex = 4, .settings = setting::Flat},
    {.id = ControlId::Command1, .name = "Command1", .kind = Kind::PushButton, .twips = {4065, 1485, 2085, 300}, .text = u"&Convert",
     .fore = kButtonText, .back = kPaleBlue, .tabIndex = 3, .settings = setting::Graphical},
    {.id = ControlId::optCountry2, .name = "optCountry2", .kind = Kind::DropDownList, .twips = {4110, 930, 2040, 315}, .fore = kWindowText,
     .back = kPaleBlue, .tabIndex = 1, .settings = setting::Flat},
    {.id = ControlId::optCountry1, .name = "optCountry1", .kind = Kind::DropDownBox, .twips = {1290, 930, 2235, 315}, .text = u"optCountry1",
     .fore = kWindowText, .back = kPaleBlue, .tabIndex = 0, .settings = setting::Flat},
    {.id = ControlId::Label10, .name = "Label10", .kind = Kind::Label, .twips = {1140, 2820, 5085, 285},
     .text = u"By " KAVREL_MAKER " - " KAVREL_CONFIGURED_MAKER_SITE, .fore = kButtonText, .backStyle = kTransparent,
     .tabIndex = 15},
    {.id = ControlId::Image2, .name = "Image2", .kind = Kind::Image, .twips = {6540, 2760, 375, 375}, .settings = setting::Stretch,
     // Deliberate spelling: the hint as the window has always shown it.
     .hint = u"Visit Delvelopers Website", .picture = Picture::Logo},
    {.id = ControlId::Label9, .name = "Label9", .kind = Kind::Label, .twips = {1845, 105, 3690, 285}, .text = u"Kavrel", .font = kTitleFont,
     .fore = kButtonText, .backStyle = kTransparent, .tabIndex = 14},
    {.id = ControlId::Label2, .name = "Label2", .kind = Kind::Label, .twips = {3015, 2385, 2790, 240},
     .text = u"Auto Retrieve every 1 minute", .font = kHeadingFont, .fore = kCaptionBlue,
     .backStyle = kTransparent, .tabIndex = 11},
    {.id = ControlId::Label8, .name = "Label8", .kind = Kind::Label, .twips = {450, 1470, 720, 285}, .text = u"Amount", .font = kCaptionFont,
     .fore = kCaptionBlue, .backStyle = kTransparent, .tabIndex = 10},
    {.id = ControlId::Label7, .name = "Label7", .kind = Kind::Label, .twips = {3675, 930, 360, 285}, .text = u"To", .font = kCaptionFont,
     .fore = kCaptionBlue, .backStyle = kTransparent, .tabIndex = 9},
    {.id = ControlId::Label6, .name = "Label6", .kind = Kind::Label, .twips = {420, 930, 615, 285}, .text = u"From", .font = kCaptionFont,
     .fore = kCaptionBlue, .backStyle = kTransparent, .tabIndex = 8},
    {.id = ControlId::Label5, .name = "Label5", .kind = Kind::Label, .twips = {210, 615, 1710, 285}, .text = u"Select Currency",
     .font = kHeadingFont, .fore = kCaptionBlue, .backStyle = kTransparent, .tabIndex = 7},
    {.id = ControlId::Shape5, .name = "Shape5", .kind = Kind::Rectangle, .twips = {0, 480, 7155, 60}, .fore = kLilac, .back = kLilac,
     .backStyle = kTransparent},
    {.id = ControlId::Shape4, .name = "Shape4", .kind = Kind::Rectangle, .twips = {15, 3420, 7140, 60}, .fore = kLilac, .back = kLilac,
     .backStyle = kTransparent},
    {.id = ControlId::Shape3, .name = "Shape3", .kind = Kind::Rectangle, .twips = {7080, 495, 60, 6570}, .fore = kLilac,
     .backStyle = kTransparent},
    {.id = ControlId::Shape2, .name = "Shape2", .kind = Kind::Rectangle, .twips = {0, 480, 60, 6600}, .fore = kLilac,
     .backStyle = kTransparent},
    {.id = ControlId::Label4, .name = "Label4", .kind = Kind::Label, .twips = {6750, 135, 240, 240}, .back = kLilac, .tabIndex = 6},
    {.id = ControlId::Image1, .name = "Image1", .kind = Kind::Image, .twips = {0, 0, 465, 480}, .settings = setting::Stretch,
     .picture = Picture::WindowIcon},
    {.id = ControlId::lblC, .name = "lblC", .kind = Kind::Label, .twips = {75, 3180, 6990, 210}, .font = kStatusFont,
     .fore = RgbColour(0, 0, 255), .backStyle = kTransparent, .tabIndex = 5, .settings = setting::Flat},
    {.id = ControlId::Label1, .name = "Label1", .kind = Kind::Label, .twips = {1320, 1980, 4830, 300}, .font = kResultFont, .fore = kWhite,
     .back = kCaptionBlue, .tabIndex = 2, .settings = setting::Flat, .alignment = Alignment::Centre},
    {.id = ControlId::Label3, .name = "Label3", .kind = Kind::Label, .twips = {480, 30, 6570, 465}, .backStyle = kTransparent,
     .tabIndex = 13},
    // The title band: filled, without an outline, so that it meets the frame cleanly.
    {.id = ControlId::Shape1, .name = "Shape1", .kind = Kind::Rectangle, .twips = {495, 0, 6690, 495}, .back = kPaleBlue},
}};
// clang-format on

constexpr bool RowsFollowTheIds() {
    for (std::size_t i = 0; i < kControls.size(); ++i)
        if (IndexOf(kControls[i].id) != i) return false;
    return true;
}
static_assert(RowsFollowTheIds(), "the layout table lists the controls in the order of ControlId");

}  // namespace

const Window& FormWindow() { return kForm; }

std::span<const Control> FormControls() { return kControls; }

bool TakesFocus(Kind kind) {
    switch (kind) {
        case Kind::CheckBox:
        case Kind::TextBox:
        case Kind::PushButton:
        case Kind::DropDownList:
        case Kind::DropDownBox: return true;
        default: return false;
    }
}

std::vector<std::size_t> CreationOrder(std::span<const Control> controls) {
    std::vector<std::size_t> order(controls.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Stable: the controls that take no focus keep their front-to-back order.
    std::stable_sort(order.begin(), order.end(), [controls](std::size_t a, std::size_t b) {
        const bool aFocus = TakesFocus(controls[a].kind), bFocus = TakesFocus(controls[b].kind);
        if (aFocus != bFocus) return aFocus;
        return aFocus && controls[a].tabIndex < controls[b].tabIndex;
    });
    return order;
}

int Pixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

PixelRect Pixels(const Twips& twips, int dpi) {
    return {Pixels(twips.left, dpi), Pixels(twips.top, dpi), Pixels(twips.left + twips.width, dpi),
            Pixels(twips.top + twips.height, dpi)};
}

int FontHeight(const Font& font, int dpi) {
    constexpr int kHundredthsPerInch = 72 * 100;
    return -static_cast<int>(std::lround(static_cast<double>(font.hundredthsOfPoint) * dpi / kHundredthsPerInch));
}

int FontWeight(const Font& font) { return font.bold ? kBoldWeight : kRegularWeight; }

}  // namespace kavrel::layout
