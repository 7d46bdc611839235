// The window as the layout table describes it: places, styles, texts, fonts,
// colours and pictures, at 96 and at 144 DPI.
#include <cstdlib>
#include <string>

#include "form_fixture.h"
#include "win32/form/gdi_cache.h"
#include "win32/wide_text.h"

namespace kavrel::win32::testing {
namespace {

layout::PixelRect At96(layout::ControlId id) { return Pixels(layout::FormControls()[IndexOf(id)].twips, 96); }

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Every control is where its row puts it, with its row's font (or the window's)
// and, for those that keep it, its row's text.
void ExpectControlsFollowTheirRowsAt(Form1& form, int dpi) {
    const auto placed = layout::Pixels(layout::FormWindow().client, dpi);
    EXPECT_EQ(ClientRect(GetDesktopWindow(), form.Handle()), placed);
    EXPECT_EQ(ClientRect(form.Handle(), form.Handle()), (layout::PixelRect{0, 0, placed.Width(), placed.Height()}))
        << "no border at all";
    for (const auto& control : layout::FormControls()) {
        if (control.kind == layout::Kind::Timer || control.kind == layout::Kind::Rectangle) continue;  // no window
        const HWND window = form.Control(control.id);
        SCOPED_TRACE(std::string(control.name) + " at " + std::to_string(dpi));
        EXPECT_EQ(ClientRect(form.Handle(), window), layout::Pixels(control.twips, dpi));
        if (!layout::IsDropDown(control.kind)) {  // boxes show their selection
            EXPECT_EQ(WindowText(window), control.text);
        }
        const auto& expected = control.font.value_or(layout::FormWindow().font);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfFaceName, Wide(expected.face));
        EXPECT_EQ(font.lfHeight, layout::FontHeight(expected, dpi));
        EXPECT_EQ(font.lfWeight, layout::FontWeight(expected));
        if (!layout::IsDropDown(control.kind)) continue;
        COMBOBOXINFO parts{};  // the open list: fifteen whole rows
        parts.cbSize = sizeof parts;
        GetComboBoxInfo(window, &parts);
        SendMessageW(window, CB_SHOWDROPDOWN, TRUE, 0);
        RECT list{};
        GetClientRect(parts.hwndList, &list);
        SendMessageW(window, CB_SHOWDROPDOWN, FALSE, 0);
        EXPECT_EQ(list.bottom, 15 * SendMessageW(window, CB_GETITEMHEIGHT, 0, 0));
    }
}

// The brush and text colour the form gives a control for painting (on a DC set to neither).
std::pair<COLORREF, COLORREF> Colours(HWND form, UINT message, HWND control) {
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    SetTextColor(dc.get(), RGB(1, 2, 3));
    LOGBRUSH brush{};
    GetObjectW(reinterpret_cast<HBRUSH>(
                   SendMessageW(form, message, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(control))),
               sizeof brush, &brush);
    return {brush.lbColor, GetTextColor(dc.get())};
}

TEST_F(FormTest, ControlsFollowTheirRowsAndHaveTheirKindsStylesAndInputColours) {
    const auto style = [](HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); };
    EXPECT_EQ(style(Form()) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_SYSMENU | WS_MINIMIZEBOX),
              static_cast<DWORD>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_TRUE(GetWindowLongW(Form(), GWL_EXSTYLE) & WS_EX_APPWINDOW);  // a task bar button
    EXPECT_EQ(style(Control(ControlId::optCountry1)) & (3u | CBS_SORT), static_cast<DWORD>(CBS_DROPDOWN));
    EXPECT_EQ(style(Control(ControlId::optCountry2)) & (3u | CBS_SORT), static_cast<DWORD>(CBS_DROPDOWNLIST));

    // Both drop-down boxes (text field and list) are pale blue, as the amount box is
    // painted; the check box's caption is lilac.
    const std::pair<COLORREF, COLORREF> pale{RGB(222, 232, 250), GetSysColor(COLOR_WINDOWTEXT)};
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    ASSERT_TRUE(GetComboBoxInfo(Control(ControlId::optCountry1), &parts));
    EXPECT_EQ(Colours(Form(), WM_CTLCOLOREDIT, parts.hwndItem), pale);
    EXPECT_EQ(Colours(Form(), WM_CTLCOLORLISTBOX, parts.hwndList), pale);
    EXPECT_EQ(Colours(Form(), WM_CTLCOLOREDIT, Control(ControlId::optCountry2)), pale);
    EXPECT_EQ(Colours(Form(), WM_CTLCOLORSTATIC, Control(ControlId::Check1)),
              std::pair(GetSysColor(COLOR_WINDOW), RGB(128, 128, 255)));

    ExpectControlsFollowTheirRowsAt(*form, 96);
    Close();
    Open(144);  // everything grows with the DPI
    ExpectControlsFollowTheirRowsAt(*form, 144);
}

TEST_F(FormTest, PaintedSceneShowsBandFrameBarsLabelsAndPictures) {
    form->SetStatusText(u"Retrieving Rates...");
    const Painted shot(Form());
    const COLORREF lilac = RGB(128, 128, 255), pale = RGB(222, 232, 250), white = RGB(255, 255, 255);
    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME);
    // clang-format off
    const struct { int x, y; COLORREF colour; } pixels[] = {
        {60, 20, pale}, {200, 140, RGB(96, 113, 232)}, {20, 150, white},   // band under the drag strip, bar, background
        {0, 100, lilac}, {1, 100, white}, {3, 100, lilac},                 // left frame: two lines, nothing between
        {100, 228, lilac}, {100, 231, lilac}, {100, 32, lilac}, {100, 34, white}, // bottom; top, in front of the band
        {458, 17, lilac}, {278, 112, pale},                   // the close square; the graphical button's own background
        {87, 110, frame}, {88, 110, pale}, {86, 75, frame}, {87, 75, pale}, // flat boxes: a frame, then their colour
    };
    // clang-format on
    for (const auto& p : pixels) EXPECT_EQ(shot.At(p.x, p.y), p.colour) << p.x << "," << p.y;
    for (const auto& control : layout::FormControls())  // each caption in its row's colour
        if (control.kind == layout::Kind::Label && !control.text.empty()) {
            EXPECT_TRUE(shot.Contains(At96(control.id), GdiCache::Colour(control.fore))) << control.name;
        }
    EXPECT_TRUE(shot.Contains(At96(ControlId::lblC), RGB(0, 0, 255)));
    EXPECT_FALSE(shot.Contains(At96(ControlId::Label6), lilac));

    // Image1 shows the window's icon as the system draws it at the image's size: drawn
    // over a copy of the window, it changes nothing.
    const auto image1 = At96(ControlId::Image1);
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(Form(), GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    const Painted drawn(Form());
    DrawIconEx(drawn.Dc(), image1.left, image1.top, icon, image1.Width(), image1.Height(), 0, nullptr, DI_NORMAL);
    int differing = 0;
    for (int y = image1.top; y < image1.bottom; ++y)
        for (int x = image1.left; x < image1.right; ++x) differing += !Near(shot.At(x, y), drawn.At(x, y), 8);
    EXPECT_EQ(differing, 0);

    // The logo's lower band, squeezed from 50 x 40 into 25 x 25.
    const auto image2 = At96(ControlId::Image2);
    EXPECT_TRUE(Near(shot.At(image2.left + 1, image2.bottom - 2), lilac, 24));
    EXPECT_FALSE(Near(shot.At(image2.left + 12, image2.top + 12), white, 24));
}

}  // namespace
}  // namespace kavrel::win32::testing
