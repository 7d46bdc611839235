#include "window/layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "core/run_time_error.h"

namespace kavrel::layout {
namespace {

using ::testing::ElementsAre;

struct Expected {
    const char* name;
    PixelRect pixels;  // left, top, right, bottom at 96 DPI
};

// The pixel column of the window's design, converted by hand.
const Expected kPixels[] = {
    {"Check1", {394, 159, 409, 176}},      {"txtAm", {87, 99, 235, 118}},
    {"Command1", {271, 99, 410, 119}},     {"optCountry2", {274, 62, 410, 83}},
    {"optCountry1", {86, 62, 235, 83}},    {"Label10", {76, 188, 415, 207}},
    {"Image2", {436, 184, 461, 209}},      {"Label9", {123, 7, 369, 26}},
    {"Label2", {201, 159, 387, 175}},      {"Label8", {30, 98, 78, 117}},
    {"Label7", {245, 62, 269, 81}},        {"Label6", {28, 62, 69, 81}},
    {"Label5", {14, 41, 128, 60}},         {"Shape5", {0, 32, 477, 36}},
    {"Shape4", {1, 228, 477, 232}},        {"Shape3", {472, 33, 476, 471}},
    {"Shape2", {0, 32, 4, 472}},           {"Label4", {450, 9, 466, 25}},
    {"Image1", {0, 0, 31, 32}},            {"lblC", {5, 212, 471, 226}},
    {"Label1", {88, 132, 410, 152}},       {"Label3", {32, 2, 470, 33}},
    {"Shape1", {33, 0, 479, 33}},
};

bool overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(Layout, EveryRectangleIsWholePixelsAt96Dpi) {
    for (const auto& expected : kPixels)
        EXPECT_EQ(Pixels(FormControl(expected.name).twips, 96), expected.pixels) << expected.name;

    const auto client = Pixels(FormWindow().client, 96);
    EXPECT_EQ(client, (PixelRect{194, 110, 670, 342}));
}

TEST(Layout, At144DpiEveryEdgeIsOneAndAHalfTimesFurther) {
    for (const auto& expected : kPixels) {
        const auto scaled = Pixels(FormControl(expected.name).twips, 144);
        const int edges96[] = {expected.pixels.left, expected.pixels.top, expected.pixels.right,
                               expected.pixels.bottom};
        const int edges144[] = {scaled.left, scaled.top, scaled.right, scaled.bottom};
        for (int i = 0; i < 4; ++i) EXPECT_LE(std::abs(edges144[i] * 2 - edges96[i] * 3), 1) << expected.name;
    }
    EXPECT_EQ(Pixels(7140, 144), 714);
    EXPECT_EQ(Pixels(3480, 144), 348);
}

TEST(Layout, FontHeightsTakeFractionalPointsExactly) {
    EXPECT_EQ(FontHeight({u"MS Sans Serif", 825}, 96), -11);
    EXPECT_EQ(FontHeight({u"Arial", 975}, 96), -13);
    EXPECT_EQ(FontHeight({u"Microsoft Sans Serif", 900}, 96), -12);
    EXPECT_EQ(FontHeight({u"MS Sans Serif", 825}, 144), -17);  // 16.5 rounds up
    EXPECT_EQ(FontHeight({u"Arial", 975}, 144), -20);          // 19.5 rounds up
    EXPECT_EQ(FontHeight({u"Microsoft Sans Serif", 900}, 144), -18);
    EXPECT_EQ(FontWeight({u"Arial", 975, true}), kBoldWeight);
    EXPECT_EQ(FontWeight({u"Arial", 975, false}), kRegularWeight);
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

TEST(Layout, ControlsThatTakeFocusOverlapNothing) {
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

TEST(Layout, ChromeLabelsLieInFrontOfTheDragStrip) {
    EXPECT_LT(FormControlIndex("Label4"), FormControlIndex("Label3"));
    EXPECT_LT(FormControlIndex("Label9"), FormControlIndex("Label3"));
    EXPECT_LT(FormControlIndex("Label3"), FormControlIndex("Shape1"));
}

TEST(Layout, NamesAreUniqueAndUnknownNamesAreRefused) {
    std::set<std::string_view> names;
    for (const auto& control : FormControls()) EXPECT_TRUE(names.insert(control.name).second) << control.name;
    EXPECT_EQ(names.size(), 24u);
    try {
        FormControl("Label11");
        FAIL() << "an unknown name was accepted";
    } catch (const RunTimeError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::InvalidArgument);
    }
}

TEST(Layout, NoCaptionCarriesAnAccessKeyButConvert) {
    for (const auto& control : FormControls()) {
        const bool hasAmpersand = control.text.find(u'&') != std::u16string_view::npos;
        EXPECT_EQ(hasAmpersand, control.name == "Command1") << control.name;
    }
    EXPECT_EQ(FormControl("Command1").text, u"&Convert");
}

}  // namespace
}  // namespace kavrel::layout
