#include "window/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace kavrel::layout {
namespace {

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

// The creation order moves the five focusable controls to the front: as they overlap
// nothing, that changes no picture. (Their order among themselves is the window
// test's walk with Tab over the real windows.)
TEST(Layout, FocusableControlsComeFirstAndOverlapNothingAndTheRestKeepsItsStacking) {
    const auto controls = FormControls();
    const auto order = CreationOrder(controls);
    ASSERT_EQ(order.size(), controls.size());
    for (std::size_t i = 5; i + 1 < order.size(); ++i) {
        EXPECT_FALSE(TakesFocus(controls[order[i]].kind));
        EXPECT_LT(order[i], order[i + 1]);
    }
    for (const auto& a : controls) {
        for (const auto& b : controls) {
            if (&a == &b || !TakesFocus(a.kind) || b.kind == Kind::Timer) continue;
            const auto p = Pixels(a.twips, 96), q = Pixels(b.twips, 96);
            EXPECT_FALSE(p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom)
                << a.name << " and " << b.name;
        }
    }
}

}  // namespace
}  // namespace kavrel::layout
