#pragma once

// What the splash dialog decides, as plain functions over plain data: which files it reads,
// where things stand, how it is kept on screen, which image a button shows and what a command
// returns. The dialog procedure only applies these with user32 and gdi32.

#include "splash/SplashIds.h"

namespace splash {

struct Size {
    int width;
    int height;
};

struct Point {
    int x;
    int y;
};

struct Rect {
    int left;
    int top;
    int right;
    int bottom;
};

enum ImageIndex {
    kBackground,
    kPicture,
    kOkNormal,
    kOkPressed,
    kViewOnlyNormal,
    kViewOnlyPressed,
    kCancelNormal,
    kCancelPressed,
    kImageCount
};

// In loading order; every name is looked up in the image directory.
inline constexpr const char* kImageFileNames[kImageCount] = {
    "qvonsplskn.bmp", "qvonsplash.bmp", "qvonsplok1.bmp", "qvonsplok2.bmp",
    "qvonsplvo1.bmp", "qvonsplvo2.bmp", "qvonsplno1.bmp", "qvonsplno2.bmp",
};
constexpr const char kSettingsFileName[] = "qvonsplash.ini";
constexpr const char kPictureSection[] = "SP";
constexpr const char kKeyX[] = "X";
constexpr const char kKeyY[] = "Y";

struct ButtonSpec {
    int controlId;
    const char* name; // the control's text in the dialog template
    const char* section;
    ImageIndex normal;
    ImageIndex pressed;
    int result;
    // Without a settings file the buttons stand one under another in the top-left corner.
    int defaultRowsDown;
};

inline constexpr ButtonSpec kButtons[] = {
    {QV_SPLASH_OK, "OK", "OK", kOkNormal, kOkPressed, 1, 0},
    {QV_SPLASH_VIEWONLY, "VIEWONLY", "VO", kViewOnlyNormal, kViewOnlyPressed, 2, 1},
    {QV_SPLASH_CANCEL, "CANCEL", "NO", kCancelNormal, kCancelPressed, 3, 2},
};
constexpr int kButtonCount = sizeof(kButtons) / sizeof(kButtons[0]);
constexpr int kResultForOtherCommands = 3;

// An integer from the settings file, or fallback when the file, section or key is missing.
using ReadSetting = int (*)(void* context, const char* section, const char* key, int fallback);

Point picturePosition(ReadSetting read, void* context);

// Where a button stands and how large it is: its normal image's size, at the position of its
// section, whose "Y" defaults to its rows down times that image's height.
Rect buttonRect(const ButtonSpec& button, Size normalImage, ReadSetting read, void* context);

// A missing or unreadable image has size 0 x 0; the dialog then keeps the size the template gave,
// so that the window and its buttons can still be seen and pressed.
Size sizeOrFallback(Size image, Size fallback);

// Top-left corner that centres the window on the screen (integer division toward zero).
Point centredOrigin(Size window, Size screen);

// Keeps a window being dragged on the screen: the proposed rectangle R is first pushed right and
// down to 0, then given the window's size, then pushed left and up to the screen's far edges.
Rect clampToScreen(Rect proposed, Size window, Size screen);

// The image to draw for a button, or kImageCount for a control that is not one of the three.
ImageIndex imageForButton(int controlId, bool pressed);

// The button with this control id, or null.
const ButtonSpec* findButton(int controlId);

// What the dialog ends with for a command from this control.
int resultForCommand(int controlId);

} // namespace splash
