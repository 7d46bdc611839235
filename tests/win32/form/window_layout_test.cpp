// The window as the layout table describes it: places, styles, texts, fonts,
// colours and pictures, at 96 and at 144 DPI.
#include "form_fixture.h"

#include <gtest/gtest.h>

#include <string>

#include "win32/form/handles.h"

namespace kavrel::win32::testing {
namespace {

const layout::Control& Row(ControlId id) { return layout::FormControls()[layout::IndexOf(id)]; }
void ExpectPlacesAt(Form1& form, int dpi) {
    POINT origin{0, 0};
    ClientToScreen(form.Handle(), &origin);
    const auto client = layout::Pixels(layout::FormWindow().client, dpi);
    EXPECT_EQ(origin.x, client.left);
    EXPECT_EQ(origin.y, client.top);
    RECT size{};
    GetClientRect(form.Handle(), &size);
    EXPECT_EQ(size.right, client.width());
    EXPECT_EQ(size.bottom, client.height());

    for (const auto& control : layout::FormControls()) {
        if (control.kind == layout::Kind::Timer || control.kind == layout::Kind::Rectangle) continue;  // no window
        const auto expected = layout::Pixels(control.twips, dpi);
        EXPECT_EQ(ClientRect(form.Handle(), form.Control(control.id)), expected) << control.name << " at " << dpi;
    }
}

// Each font of the design once, written out: face, height at 96 and 144 DPI, weight.
struct FontCase {
    ControlId id;
    const wchar_t* face;
    int height96, height144, weight;
};
constexpr FontCase kFonts[] = {
    {ControlId::txtAm, L"MS Sans Serif", -11, -17, FW_NORMAL},  // the window's default font
    {ControlId::Check1, L"MS Sans Serif", -11, -17, FW_BOLD},
    {ControlId::Label1, L"Arial", -13, -20, FW_BOLD},
    {ControlId::Label9, L"Microsoft Sans Serif", -13, -20, FW_BOLD},
    {ControlId::Label8, L"Microsoft Sans Serif", -12, -18, FW_NORMAL},
    {ControlId::Label5, L"Microsoft Sans Serif", -12, -18, FW_BOLD},
    {ControlId::lblC, L"Microsoft Sans Serif", -11, -17, FW_NORMAL},
};

void ExpectFontsAt(Form1& form, int dpi) {
    for (const auto& expected : kFonts) {
        const auto handle = reinterpret_cast<HFONT>(SendMessageW(form.Control(expected.id), WM_GETFONT, 0, 0));
        LOGFONTW font{};
        ASSERT_EQ(GetObjectW(handle, sizeof font, &font), static_cast<int>(sizeof font)) << expected.face;
        EXPECT_STREQ(font.lfFaceName, expected.face);
        EXPECT_EQ(font.lfHeight, dpi == 96 ? expected.height96 : expected.height144) << expected.face;
        EXPECT_EQ(font.lfWeight, expected.weight) << expected.face;
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET) << expected.face;
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << expected.face;
    }
}

void ExpectBorderlessPopupWithATaskbarButton(Form1& form) {
    const HWND window = form.Handle();
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & WS_CAPTION, 0u);
    EXPECT_EQ(style & WS_THICKFRAME, 0u);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0u);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(Text(window), L"Kavrel");

    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    EXPECT_EQ(frame.right - frame.left, client.right);  // no border at all
}

// The captions are read from outside by the black-box suite; the kinds are not.
void ExpectKinds(Form1& form) {
    const auto box1 = static_cast<DWORD>(GetWindowLongW(form.Control(ControlId::optCountry1), GWL_STYLE));
    const auto box2 = static_cast<DWORD>(GetWindowLongW(form.Control(ControlId::optCountry2), GWL_STYLE));
    EXPECT_EQ(box1 & 3u, static_cast<DWORD>(CBS_DROPDOWN));
    EXPECT_EQ(box2 & 3u, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_EQ((box1 | box2) & CBS_SORT, 0u);
    const auto amount = static_cast<DWORD>(GetWindowLongW(form.Control(ControlId::txtAm), GWL_STYLE));
    EXPECT_EQ(amount & ES_MULTILINE, 0u);
    EXPECT_EQ(GetWindowLongW(form.Control(ControlId::txtAm), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);  // flat
    EXPECT_EQ(GetWindowLongW(form.Control(ControlId::Command1), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

struct ColourAnswer {
    COLORREF text, back, brush;
};

ColourAnswer AskColours(HWND form, UINT message, HWND control) {
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(form, message, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(control)));
    LOGBRUSH look{};
    GetObjectW(brush, sizeof look, &look);
    return {GetTextColor(dc.get()), GetBkColor(dc.get()), look.lbColor};
}

void ExpectInputColours(Form1& form) {
    const HWND window = form.Handle();
    const COLORREF pale = RGB(222, 232, 250);
    const auto amount = AskColours(window, WM_CTLCOLOREDIT, form.Control(ControlId::txtAm));
    EXPECT_EQ(amount.text, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(amount.back, pale);
    EXPECT_EQ(amount.brush, pale);

    const auto check = AskColours(window, WM_CTLCOLORSTATIC, form.Control(ControlId::Check1));
    EXPECT_EQ(check.text, RGB(128, 128, 255));
    EXPECT_EQ(check.brush, GetSysColor(COLOR_WINDOW));

    // A drop-down box's text field and its list take the box's colours.
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    ASSERT_TRUE(GetComboBoxInfo(form.Control(ControlId::optCountry1), &parts));
    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, parts.hwndItem).brush, pale);
    EXPECT_EQ(AskColours(window, WM_CTLCOLORLISTBOX, parts.hwndList).brush, pale);
    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, form.Control(ControlId::optCountry2)).text, GetSysColor(COLOR_WINDOWTEXT));
}

void ExpectPictures(HWND window, const Snapshot& shot) {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    ASSERT_NE(icon, nullptr);

    // Image1 against the icon drawn by the system at the image's size.
    const auto image1 = layout::Pixels(Row(ControlId::Image1).twips, 96);
    const WindowDc screen(window, GetDC(window));
    const MemoryDc dc(CreateCompatibleDC(screen.get()));
    const BitmapHandle drawn(CreateCompatibleBitmap(screen.get(), image1.width(), image1.height()));
    const Selection selected(dc.get(), drawn.get());
    const RECT all{0, 0, image1.width(), image1.height()};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc.get(), 0, 0, icon, image1.width(), image1.height(), 0, nullptr, DI_NORMAL);
    int differing = 0;
    for (int y = 0; y < image1.height(); ++y)
        for (int x = 0; x < image1.width(); ++x)
            if (!Near(shot.At(image1.left + x, image1.top + y), GetPixel(dc.get(), x, y), 8)) ++differing;
    EXPECT_EQ(differing, 0);

    // The logo's lower band, squeezed from 50 x 40 into 25 x 25.
    const auto image2 = layout::Pixels(Row(ControlId::Image2).twips, 96);
    EXPECT_TRUE(Near(shot.At(image2.left + 1, image2.bottom - 2), RGB(128, 128, 255), 24));
    EXPECT_FALSE(Near(shot.At(image2.left + 12, image2.top + 12), RGB(255, 255, 255), 24));
}

TEST_F(FormTest, WindowAndControlsFollowTheLayoutAt96Dpi) {
    ExpectBorderlessPopupWithATaskbarButton(*form);
    ExpectPlacesAt(*form, 96);
    ExpectFontsAt(*form, 96);
    ExpectKinds(*form);
    ExpectInputColours(*form);
}

TEST_F(FormTest, PaintedSceneShowsBandFrameBarsLabelsAndPictures) {
    const HWND window = Form();
    form->SetStatusText(u"Retrieving Rates...");
    const Snapshot shot(window);
    const COLORREF lilac = RGB(128, 128, 255), pale = RGB(222, 232, 250), white = RGB(255, 255, 255);
    EXPECT_EQ(shot.At(60, 20), pale);                      // the title band behind the transparent drag strip
    EXPECT_EQ(shot.At(200, 140), RGB(96, 113, 232));       // the empty result bar
    EXPECT_EQ(shot.At(20, 150), white);                    // the window's background
    EXPECT_EQ(shot.At(0, 100), lilac);                     // left frame: two lines ...
    EXPECT_EQ(shot.At(1, 100), white);                     // ... with nothing between them
    EXPECT_EQ(shot.At(3, 100), lilac);
    EXPECT_EQ(shot.At(100, 228), lilac);                   // bottom frame
    EXPECT_EQ(shot.At(100, 231), lilac);
    EXPECT_EQ(shot.At(100, 32), lilac);                    // top frame, in front of the band
    EXPECT_EQ(shot.At(100, 34), white);
    EXPECT_EQ(shot.At(458, 17), lilac);                    // the close square
    EXPECT_EQ(shot.At(278, 112), pale);                    // the graphical button's own background
    EXPECT_EQ(shot.At(87, 110), GetSysColor(COLOR_WINDOWFRAME));  // flat boxes: a one-pixel frame ...
    EXPECT_EQ(shot.At(88, 110), pale);                             // ... then their own colour
    EXPECT_EQ(shot.At(86, 75), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(shot.At(87, 75), pale);
    EXPECT_TRUE(shot.Contains(layout::Pixels(Row(ControlId::Label5).twips, 96), RGB(96, 113, 232)));
    EXPECT_TRUE(shot.Contains(layout::Pixels(Row(ControlId::lblC).twips, 96), RGB(0, 0, 255)));
    EXPECT_TRUE(shot.Contains(layout::Pixels(Row(ControlId::Label9).twips, 96), GetSysColor(COLOR_BTNTEXT)));
    EXPECT_FALSE(shot.Contains(layout::Pixels(Row(ControlId::Label6).twips, 96), lilac));
    ExpectPictures(window, shot);
}

class HighDpiFormTest : public FormTest {
protected:
    void SetUp() override { Open(144); }
};

TEST_F(HighDpiFormTest, AtOneAndAHalfTheDpiEverythingGrowsWithIt) {
    ExpectPlacesAt(*form, 144);
    ExpectFontsAt(*form, 144);
}

}  // namespace
}  // namespace kavrel::win32::testing
