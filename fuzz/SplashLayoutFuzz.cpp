// The splash's layout from a skin's settings file and image sizes: positions may be anything a
// settings file can hold; the arithmetic stays defined (UndefinedBehaviorSanitizer watches every
// sum) and no button's rectangle turns inside out, at any DPI the display reports. The drag clamp
// keeps a window that fits its monitor on it.
//
// Input (FuzzedDataProvider): numbers only, from the back.
#include "Property.h"

#include "splash/SplashLayout.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using fuzzing::require;

// Image and screen sides as bitmaps and displays have them.
constexpr int kMaxSide = 1 << 15;
constexpr int kMaxSetting = INT_MAX;
// Where a drag can propose the window: a mouse far off any screen.
constexpr int kMaxDrag = 1 << 24;

int readSetting(void* context, const char*, const char*, int fallback) {
    auto& input = *static_cast<FuzzedDataProvider*>(context);
    return input.ConsumeBool() ? input.ConsumeIntegralInRange(-kMaxSetting, kMaxSetting) : fallback;
}

splash::Size size(FuzzedDataProvider& input) {
    return {input.ConsumeIntegralInRange(0, kMaxSide), input.ConsumeIntegralInRange(0, kMaxSide)};
}

std::string shown(const splash::Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    splash::picturePosition(readSetting, &input);
    const int dpi = splash::drawingDpi(input.ConsumeBool(), input.ConsumeIntegral<int>());
    for (const splash::ButtonSpec& button : splash::kButtons) {
        const splash::Rect r =
            splash::scaledRect(splash::buttonRect(button, ::size(input), readSetting, &input), dpi);
        require(r.right >= r.left && r.bottom >= r.top, "a button rectangle not inside out",
                shown(r));
    }

    const splash::Size window =
        splash::scaledSize(splash::sizeOrFallback(splash::unscaledSize(::size(input), dpi),
                                                  {kMaxSide / 2, kMaxSide / 2}),
                           dpi);
    const splash::Size screen = ::size(input);
    const splash::Rect monitor = {-screen.width, -screen.height, 0, 0};
    splash::centredOrigin(window, monitor);
    splash::Rect proposed{};
    proposed.left = input.ConsumeIntegralInRange(-kMaxDrag, kMaxDrag);
    proposed.top = input.ConsumeIntegralInRange(-kMaxDrag, kMaxDrag);
    const splash::Rect r = splash::keepOnMonitor(proposed, window, monitor);
    if (window.width <= screen.width && window.height <= screen.height) {
        require(r.left >= monitor.left && r.top >= monitor.top && r.right <= 0 && r.bottom <= 0 &&
                    r.right - r.left == window.width && r.bottom - r.top == window.height,
                "a window that fits kept whole on its monitor", shown(r));
    }

    const int control = input.ConsumeIntegral<int>();
    const splash::ImageIndex image = splash::imageForButton(control, input.ConsumeBool());
    require((splash::findButton(control) == nullptr) == (image == splash::kImageCount),
            "an image for the three buttons only");
    const int result = splash::resultForCommand(control, input.ConsumeIntegral<int>());
    require(result >= 1 && result <= 3, "a result of 1, 2 or 3", std::to_string(result));
    return 0;
}
