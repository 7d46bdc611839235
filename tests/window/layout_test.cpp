#include "window/layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kavrel::layout {
namespace {

using ::testing::ElementsAre;

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
    EXPECT_EQ(Pixels(FormWindow().client, 96), (PixelRect{194, 110, 670, 342}));
    EXPECT_EQ(Pixels(7140, 144), 714);
}

TEST(Layout, FontHeightsTakeFractionalPointsExactly) {
    struct Case {
        int hundredths, dpi, height;
    };
    const Case cases[] = {{825, 96, -11}, {975, 96, -13}, {900, 96, -12},
                          {825, 144, -17} /* 16.5 rounds up */, {975, 144, -20}, {900, 144, -18}};
    for (const auto& c : cases) EXPECT_EQ(FontHeight({u"Arial", c.hundredths}, c.dpi), c.height) << c.hundredths;
}

TEST(Layout, TabOrderComesFirstAndTheRestKeepsItsStacking) {
    const auto controls = FormControls();
    const auto order = CreationOrder(controls);
    ASSERT_EQ(order.size(), controls.size());

    std::vector<std::string> focusable;
    for (std::size_t i = 0; i < 5; ++i) focusable.emplace_back(controls[order[i]].name);
    EXPECT_THAT(focusable, ElementsAre("optCountry1", "optCountry2", "Command1", "txtAm", "Check1"));
    for (std::size_t i = 5; i + 1 < order.size(); ++i) {
        EXPECT_FALSE(TakesFocus(controls[order[i]].kind));
        EXPECT_LT(order[i], order[i + 1]);
    }
}

TEST(Layout, FocusableControlsOverlapNothingAndChromeLiesInFrontOfTheDragStrip) {
    // The creation order moves them to the front; that must change no picture.
    const auto controls = FormControls();
    for (const auto& a : controls) {
        if (!TakesFocus(a.kind)) continue;
        for (const auto& b : controls) {
            if (&a == &b || b.kind == Kind::Timer) continue;
            EXPECT_FALSE(overlap(Pixels(a.twips, 96), Pixels(b.twips, 96))) << a.name << " and " << b.name;
        }
    }
    EXPECT_LT(IndexOf(ControlId::Label4), IndexOf(ControlId::Label3));
    EXPECT_LT(IndexOf(ControlId::Label9), IndexOf(ControlId::Label3));
    EXPECT_LT(IndexOf(ControlId::Label3), IndexOf(ControlId::Shape1));
}

TEST(Layout, OnlyConvertCarriesAnAccessKey) {
    for (const auto& control : FormControls()) {
        const bool hasAmpersand = control.text.find(u'&') != std::u16string_view::npos;
        EXPECT_EQ(hasAmpersand, control.id == ControlId::Command1) << control.name;
    }
}

}  // namespace
}  // namespace kavrel::layout
