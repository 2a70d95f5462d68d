#include "splash/SplashLayout.h"

namespace splash {

const ButtonSpec kButtons[kButtonCount] = {
    {QV_TEXT("OK"), QV_TEXT("OK"), QV_SPLASH_OK, kOkNormal, kOkPressed, 1, 0},
    {QV_TEXT("VIEWONLY"), QV_TEXT("VO"), QV_SPLASH_VIEWONLY, kViewOnlyNormal, kViewOnlyPressed, 2,
     1},
    {QV_TEXT("CANCEL"), QV_TEXT("NO"), QV_SPLASH_CANCEL, kCancelNormal, kCancelPressed, 3, 2},
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

Point centredOrigin(Size window, Size screen) {
    return {(screen.width - window.width) / 2, (screen.height - window.height) / 2};
}

Rect clampToScreen(Rect r, Size window, Size screen) {
    r.top = r.top > 0 ? r.top : 0;
    r.left = r.left > 0 ? r.left : 0;
    r.bottom = r.top + window.height;
    r.right = r.left + window.width;
    r.bottom = r.bottom < screen.height ? r.bottom : screen.height;
    r.right = r.right < screen.width ? r.right : screen.width;
    r.top = r.bottom - window.height;
    r.left = r.right - window.width;
    return r;
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
