#include "window/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace kavrel::layout {
namespace {

bool overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(Layout, EveryEdgeIsAWholePixelAt96DpiAndScalesBy1Point5At144) {
    for (const auto& control : FormControls()) {
        const auto& t = control.twips;
        for (const int edge : {t.left, t.top, t.left + t.width, t.top + t.height}) {
            EXPECT_EQ(edge % 15, 0) << control.name;
            EXPECT_LE(std::abs(Pixels(edge, 144) * 2 - Pixels(edge, 96) * 3), 1) << control.name;
        }
    }
}

TEST(Layout, FontHeightsTakeFractionalPointsExactly) {
    const std::tuple<int, int, int> cases[] = {{825, 96, -11}, {825, 144, -17} /* 16.5 rounds up */, {900, 144, -18}};
    for (const auto& [hundredths, dpi, height] : cases)
        EXPECT_EQ(FontHeight({u"Arial", hundredths}, dpi), height) << hundredths << " at " << dpi;
}

// The order of the five focusable controls among themselves is the window test's
// walk with Tab over the real windows.
TEST(Layout, FocusableControlsComeFirstAndTheRestKeepsItsStacking) {
    const auto controls = FormControls();
    const auto order = CreationOrder(controls);
    ASSERT_EQ(order.size(), controls.size());
    for (std::size_t i = 5; i + 1 < order.size(); ++i) {
        EXPECT_FALSE(TakesFocus(controls[order[i]].kind));
        EXPECT_LT(order[i], order[i + 1]);
    }
}

TEST(Layout, FocusableControlsOverlapNothing) {
    // The creation order moves them to the front; that must change no picture.
    const auto controls = FormControls();
    for (const auto& a : controls) {
        if (!TakesFocus(a.kind)) continue;
        for (const auto& b : controls) {
            if (&a == &b || b.kind == Kind::Timer) continue;
            EXPECT_FALSE(overlap(Pixels(a.twips, 96), Pixels(b.twips, 96))) << a.name << " and " << b.name;
        }
    }
}

}  // namespace
}  // namespace kavrel::layout
