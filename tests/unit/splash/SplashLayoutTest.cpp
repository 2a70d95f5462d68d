#include "splash/SplashLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <utility>

using splash::Point;
using splash::Rect;
using splash::Size;

// Found by argument-dependent lookup, so they live in the namespace of the type.
namespace splash {
bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

} // namespace splash

namespace {

// A settings file as a table of section and key to value; missing entries give the fallback,
// as GetPrivateProfileIntA does.
using Settings = std::map<std::pair<std::string, std::string>, int>;

int readFrom(void* context, const char* section, const char* key, int fallback) {
    const auto& settings = *static_cast<const Settings*>(context);
    const auto found = settings.find({section, key});
    return found == settings.end() ? fallback : found->second;
}

TEST(SplashLayoutTest, PositionsComeFromTheSettingsFileWithTheirDefaults) {
    // Normal images of different heights, so a default taken from the wrong image shows.
    const Size ok = {120, 28}, viewOnly = {100, 30}, cancel = {90, 25};
    struct Row {
        const char* what;
        Settings settings;
        Point picture;
        Rect okAt, viewOnlyAt, cancelAt;
    };
    const Row rows[] = {
        {"no settings file", {}, {0, 0}, {0, 0, 120, 28}, {0, 30, 100, 60}, {0, 50, 90, 75}},
        {"only the section OK",
         {{{"OK", "X"}, 265}, {{"OK", "Y"}, 122}},
         {0, 0},
         {265, 122, 385, 150},
         {0, 30, 100, 60},
         {0, 50, 90, 75}},
        {"every key",
         {{{"SP", "X"}, 24},
          {{"SP", "Y"}, 20},
          {{"OK", "X"}, 1},
          {{"OK", "Y"}, 2},
          {{"VO", "X"}, 3},
          {{"VO", "Y"}, 4},
          {{"NO", "X"}, 5},
          {{"NO", "Y"}, 6}},
         {24, 20},
         {1, 2, 121, 30},
         {3, 4, 103, 34},
         {5, 6, 95, 31}},
        {"only X keys keep the Y defaults",
         {{{"SP", "X"}, 7}, {{"VO", "X"}, 40}, {{"NO", "X"}, 50}},
         {7, 0},
         {0, 0, 120, 28},
         {40, 30, 140, 60},
         {50, 50, 140, 75}},
        {"negative positions are kept",
         {{{"SP", "Y"}, -5}, {{"NO", "X"}, -10}},
         {0, -5},
         {0, 0, 120, 28},
         {0, 30, 100, 60},
         {-10, 50, 80, 75}},
        {"positions near the int limits are clamped, so no sum overflows",
         {{{"SP", "X"}, INT_MAX},
          {{"SP", "Y"}, INT_MIN},
          {{"OK", "X"}, INT_MAX},
          {{"OK", "Y"}, INT_MAX - 1},
          {{"NO", "X"}, INT_MIN}},
         {32767, -32767},
         {32767, 32767, 32887, 32795},
         {0, 30, 100, 60},
         {-32767, 50, -32677, 75}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto* context = const_cast<Settings*>(&row.settings);
        const Point picture = splash::picturePosition(readFrom, context);
        EXPECT_EQ(row.picture.x, picture.x);
        EXPECT_EQ(row.picture.y, picture.y);
        EXPECT_EQ(row.okAt, splash::buttonRect(splash::kButtons[0], ok, readFrom, context));
        EXPECT_EQ(row.viewOnlyAt,
                  splash::buttonRect(splash::kButtons[1], viewOnly, readFrom, context));
        EXPECT_EQ(row.cancelAt, splash::buttonRect(splash::kButtons[2], cancel, readFrom, context));
    }
    const Settings farRight = {{{"VO", "X"}, INT_MAX}};
    EXPECT_EQ((Rect{32767, 32767, 65534, 65534}),
              splash::buttonRect(splash::kButtons[1], {INT_MAX, INT_MAX}, readFrom,
                                 const_cast<Settings*>(&farRight)));
}

TEST(SplashLayoutTest, AMissingImageTakesTheTemplatesSize) {
    const Size fallback = {172, 23};
    struct Row {
        Size image;
        Size expected;
    } rows[] = {{{120, 28}, {120, 28}}, {{0, 0}, {172, 23}}, {{1, 1}, {1, 1}}};
    for (const Row& row : rows) {
        const Size got = splash::sizeOrFallback(row.image, fallback);
        EXPECT_EQ(row.expected.width, got.width);
        EXPECT_EQ(row.expected.height, got.height);
    }
}

// Work areas of the installer's monitor: the primary, or another one left of or above it (at
// negative coordinates), with the taskbar at any edge.
TEST(SplashLayoutTest, TheWindowIsCentredOnTheWorkAreaWithDivisionTowardZero) {
    struct Row {
        Size window;
        Rect workArea;
        Point origin;
    } rows[] = {
        {{401, 231}, {0, 0, 1000, 700}, {299, 234}},
        {{400, 230}, {0, 0, 1024, 768}, {312, 269}},
        {{1001, 801}, {0, 0, 800, 600}, {-100, -100}}, // -201 / 2 and -201 / 2 round toward zero
        {{800, 600}, {0, 0, 800, 600}, {0, 0}},
        {{400, 230}, {0, 0, 1920, 1040}, {760, 405}},
        {{400, 230}, {62, 0, 1024, 768}, {343, 269}},
        {{400, 230}, {-1280, 0, 0, 984}, {-840, 377}},
        {{802, 462}, {0, -1080, 1920, -40}, {559, -791}},
    };
    for (const Row& row : rows) {
        const Point got = splash::centredOrigin(row.window, row.workArea);
        EXPECT_EQ(row.origin.x, got.x) << row.window.width << " on " << row.workArea;
        EXPECT_EQ(row.origin.y, got.y) << row.window.height << " on " << row.workArea;
    }
}

TEST(SplashLayoutTest, ADraggedWindowStaysOnItsMonitor) {
    const Size window = {400, 200};
    const Rect screen = {0, 0, 1024, 768};
    const Rect leftOfIt = {-1280, -200, 0, 824};
    struct Row {
        const char* what;
        Rect proposed;
        Rect expected;
        Rect monitor = {0, 0, 1024, 768};
    } rows[] = {
        {"inside", {100, 100, 500, 300}, {100, 100, 500, 300}},
        {"past the left edge", {-50, 100, 350, 300}, {0, 100, 400, 300}},
        {"past the top edge", {100, -1, 500, 199}, {100, 0, 500, 200}},
        {"past the right edge", {700, 100, 1100, 300}, {624, 100, 1024, 300}},
        {"past the bottom edge", {100, 600, 500, 800}, {100, 568, 500, 768}},
        {"past the top-left corner", {-30, -40, 370, 160}, {0, 0, 400, 200}},
        {"past the bottom-right corner", {900, 700, 1300, 900}, {624, 568, 1024, 768}},
        {"exactly at the far edges", {624, 568, 1024, 768}, {624, 568, 1024, 768}},
        {"a proposed rectangle of another size takes the window's",
         {-10, 10, 100, 20},
         {0, 10, 400, 210}},
        {"inside a monitor left of the primary",
         {-900, 0, -500, 200},
         {-900, 0, -500, 200},
         leftOfIt},
        {"past its left and top edges", {-1300, -250, -900, -50}, {-1280, -200, -880, 0}, leftOfIt},
        {"past its right and bottom edges", {-300, 700, 100, 900}, {-400, 624, 0, 824}, leftOfIt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.expected, splash::keepOnMonitor(row.proposed, window, row.monitor));
    }
    EXPECT_EQ((Rect{-200, -50, 1000, 750}),
              splash::keepOnMonitor({0, 0, 1200, 800}, {1200, 800}, {0, 0, 1000, 750}))
        << "a window larger than the monitor keeps its far edges on it";
    EXPECT_EQ(screen, splash::keepOnMonitor(screen, {1024, 768}, screen));
}

// In a DPI-aware installer the skin is laid out in its own pixels and scaled once, by dpi / 96;
// an unaware installer is scaled by Windows and must not be scaled twice.
TEST(SplashLayoutTest, TheSkinScalesByTheDisplaysDpiInAwareInstallersOnly) {
    struct DpiRow {
        bool aware;
        int display, drawn;
    } dpiRows[] = {{false, 192, 96}, {true, 96, 96}, {true, 192, 192}, {true, 144, 144},
                   {true, 72, 96},   {true, 0, 96},  {true, 5000, 960}};
    for (const DpiRow& row : dpiRows) {
        EXPECT_EQ(row.drawn, splash::drawingDpi(row.aware, row.display))
            << (row.aware ? "aware at " : "unaware at ") << row.display;
    }

    const Settings settings = {{{"OK", "X"}, 265}, {{"OK", "Y"}, 122}, {{"VO", "X"}, -5}};
    auto* context = const_cast<Settings*>(&settings);
    const Rect ok = splash::buttonRect(splash::kButtons[0], {120, 28}, readFrom, context);
    const Rect viewOnly = splash::buttonRect(splash::kButtons[1], {101, 29}, readFrom, context);
    struct Row {
        int dpi;
        Rect ok, viewOnly;
    } rows[] = {
        {96, {265, 122, 385, 150}, {-5, 29, 96, 58}},
        {192, {530, 244, 770, 300}, {-10, 58, 192, 116}},
        // Halves round away from zero: 397.5, 43.5, -7.5, 87.
        {144, {398, 183, 578, 225}, {-8, 44, 144, 87}},
        {120, {331, 153, 481, 188}, {-6, 36, 120, 73}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(row.ok, splash::scaledRect(ok, row.dpi));
        EXPECT_EQ(row.viewOnly, splash::scaledRect(viewOnly, row.dpi));
    }
    EXPECT_EQ((Rect{327670, -327670, 655340, 655340}),
              splash::scaledRect({32767, -32767, 65534, 65534}, splash::kMaxDpi));

    // The template's buttons are device pixels already: back to skin pixels, then scaled, they
    // keep their size instead of doubling.
    for (const int dpi : {96, 120, 144, 192}) {
        const Size device = {splash::scaled(173, dpi), splash::scaled(23, dpi)};
        const Size again = splash::scaledSize(splash::unscaledSize(device, dpi), dpi);
        EXPECT_EQ(device.width, again.width) << dpi;
        EXPECT_EQ(device.height, again.height) << dpi;
    }
}

TEST(SplashLayoutTest, TheWindowIsNamedByTheSkinElseByTheInstaller) {
    EXPECT_STREQ("Example setup", splash::dialogName("Example setup", "Example 1.0 Setup"));
    EXPECT_STREQ("Example 1.0 Setup", splash::dialogName("", "Example 1.0 Setup"));
    EXPECT_STREQ("Setup", splash::dialogName("", ""));
}

TEST(SplashLayoutTest, EachButtonShowsItsOwnImages) {
    struct Row {
        int controlId;
        splash::ImageIndex normal, pressed;
    } rows[] = {
        {1, splash::kOkNormal, splash::kOkPressed},
        {1001, splash::kViewOnlyNormal, splash::kViewOnlyPressed},
        {2, splash::kCancelNormal, splash::kCancelPressed},
        {0, splash::kImageCount, splash::kImageCount},
        {1002, splash::kImageCount, splash::kImageCount},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.controlId);
        EXPECT_EQ(row.normal, splash::imageForButton(row.controlId, false));
        EXPECT_EQ(row.pressed, splash::imageForButton(row.controlId, true));
    }
}

// Enter arrives as OK's command (1) whatever has the focus; Space and clicks as the command of
// the button they press, which has the focus by then; Escape as CANCEL's (2).
TEST(SplashLayoutTest, KeysAndClicksGiveTheResultOfTheButtonTheyPress) {
    constexpr int kOk = 1, kViewOnly = 1001, kCancel = 2, kNoFocus = 0;
    struct Row {
        const char* what;
        int command, focused, result;
    } rows[] = {
        {"Enter with the focus never moved", kOk, kOk, 1},
        {"Tab, Enter", kOk, kViewOnly, 2},
        {"Tab, Tab, Enter", kOk, kCancel, 3},
        {"Shift+Tab, Enter", kOk, kCancel, 3},
        {"Enter while no button has the focus", kOk, kNoFocus, 1},
        {"Space on VIEWONLY", kViewOnly, kViewOnly, 2},
        {"Space on CANCEL", kCancel, kCancel, 3},
        {"Escape with the focus on OK", kCancel, kOk, 3},
        {"Escape with the focus on VIEWONLY", kCancel, kViewOnly, 3},
        {"a command from no button", 1002, kOk, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.result, splash::resultForCommand(row.command, row.focused));
    }
}

} // namespace
