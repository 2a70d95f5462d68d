#include "splash/SplashLayout.h"

namespace splash {

const ButtonSpec kButtons[kButtonCount] = {
    {QV_TEXT("OK"), QV_TEXT("OK"), QV_SPLASH_OK, kOkNormal, kOkPressed, 1, 0},
    {QV_TEXT("View only"), QV_TEXT("VO"), QV_SPLASH_VIEWONLY, kViewOnlyNormal, kViewOnlyPressed, 2,
     1},
    {QV_TEXT("Cancel"), QV_TEXT("NO"), QV_SPLASH_CANCEL, kCancelNormal, kCancelPressed, 3, 2},
};

int clampCoordinate(int value) {
    if (value > kCoordinateLimit) {
        return kCoordinateLimit;
    }
    return value < -kCoordinateLimit ? -kCoordinateLimit : value;
}

Point picturePosition(ReadSetting read, void* context) {
    return {clampCoordinate(read(context, kPictureSection, kKeyX, 0)),
            clampCoordinate(read(context, kPictureSection, kKeyY, 0))};
}

Rect buttonRect(const ButtonSpec& button, Size normalImage, ReadSetting read, void* context) {
    const int width = clampCoordinate(normalImage.width);
    const int height = clampCoordinate(normalImage.height);
    const int x = clampCoordinate(read(context, button.section, kKeyX, 0));
    const int y =
        clampCoordinate(read(context, button.section, kKeyY, button.defaultRowsDown * height));
    return {x, y, x + width, y + height};
}

Size sizeOrFallback(Size image, Size fallback) {
    return image.width > 0 && image.height > 0 ? image : fallback;
}

Point centredOrigin(Size window, Rect workArea) {
    return {workArea.left + (workArea.right - workArea.left - window.width) / 2,
            workArea.top + (workArea.bottom - workArea.top - window.height) / 2};
}

Rect keepOnMonitor(Rect r, Size window, Rect monitor) {
    r.top = r.top > monitor.top ? r.top : monitor.top;
    r.left = r.left > monitor.left ? r.left : monitor.left;
    r.bottom = r.top + window.height;
    r.right = r.left + window.width;
    r.bottom = r.bottom < monitor.bottom ? r.bottom : monitor.bottom;
    r.right = r.right < monitor.right ? r.right : monitor.right;
    r.top = r.bottom - window.height;
    r.left = r.right - window.width;
    return r;
}

int drawingDpi(bool installerDpiAware, int displayDpi) {
    if (!installerDpiAware || displayDpi < kBaseDpi) {
        return kBaseDpi;
    }
    return displayDpi < kMaxDpi ? displayDpi : kMaxDpi;
}

int scaled(int value, int dpi) {
    const int product = value * dpi;
    return (product < 0 ? product - kBaseDpi / 2 : product + kBaseDpi / 2) / kBaseDpi;
}

Rect scaledRect(Rect r, int dpi) {
    return {scaled(r.left, dpi), scaled(r.top, dpi), scaled(r.right, dpi), scaled(r.bottom, dpi)};
}

Size scaledSize(Size size, int dpi) {
    return {scaled(size.width, dpi), scaled(size.height, dpi)};
}

// Sizes are never negative, so rounding half up is rounding half away from zero.
Size unscaledSize(Size size, int dpi) {
    return {(size.width * kBaseDpi + dpi / 2) / dpi, (size.height * kBaseDpi + dpi / 2) / dpi};
}

const Char* dialogName(const Char* fromSkin, const Char* installerCaption) {
    if (fromSkin[0] != '\0') {
        return fromSkin;
    }
    return installerCaption[0] != '\0' ? installerCaption : kDefaultDialogName;
}

const ButtonSpec* findButton(int controlId) {
    for (const ButtonSpec& button : kButtons) {
        if (button.controlId == controlId) {
            return &button;
        }
    }
    return nullptr;
}

ImageIndex imageForButton(int controlId, bool pressed) {
    const ButtonSpec* button = findButton(controlId);
    if (button == nullptr) {
        return kImageCount;
    }
    return pressed ? button->pressed : button->normal;
}

int resultForCommand(int controlId, int focusedId) {
    if (controlId == QV_SPLASH_OK && findButton(focusedId) != nullptr) {
        controlId = focusedId;
    }
    const ButtonSpec* button = findButton(controlId);
    return button != nullptr ? button->result : kResultForOtherCommands;
}

} // namespace splash
