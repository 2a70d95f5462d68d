#pragma once

// What the splash dialog decides, as plain functions over plain data: which files it reads,
// where things stand, how it is kept on screen, which image a button shows and what a command
// returns. The dialog procedure only applies these with user32 and gdi32.

#include "splash/ImageDirectory.h"
#include "splash/SplashChar.h"
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

enum ImageIndex : unsigned char {
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

// In loading order; every name is looked up in the image directory. Held inline rather than as
// pointers, and the button table below defined once, because each flavour of the plug-in must
// fit a few 512-byte blocks.
inline constexpr Char kImageFileNames[kImageCount][kLongestImageFileName + 1] = {
    QV_TEXT("qvonsplskn.bmp"), QV_TEXT("qvonsplash.bmp"), QV_TEXT("qvonsplok1.bmp"),
    QV_TEXT("qvonsplok2.bmp"), QV_TEXT("qvonsplvo1.bmp"), QV_TEXT("qvonsplvo2.bmp"),
    QV_TEXT("qvonsplno1.bmp"), QV_TEXT("qvonsplno2.bmp"),
};
constexpr const Char kSettingsFileName[] = QV_TEXT("qvonsplash.ini");
constexpr const Char kPictureSection[] = QV_TEXT("SP");
constexpr const Char kKeyX[] = QV_TEXT("X");
constexpr const Char kKeyY[] = QV_TEXT("Y");
// A name in the settings file: each button's section, and this one for the window itself.
constexpr const Char kKeyText[] = QV_TEXT("Text");
constexpr const Char kDialogSection[] = QV_TEXT("Dialog");
// For a window that neither the settings file nor the installer's caption names, in .onInit for
// one, where the installer has no window yet.
constexpr const Char kDefaultDialogName[] = QV_TEXT("Setup");
// Names longer than this (terminator included) are cut.
constexpr unsigned kNameCapacity = 128;

// Pointers first and small fields packed after them: the table is part of every flavour.
struct ButtonSpec {
    const Char* defaultName; // what screen readers announce when the skin names it not
    const Char* section;
    short controlId;
    ImageIndex normal;
    ImageIndex pressed;
    signed char result;
    // Without a settings file the buttons stand one under another in the top-left corner.
    signed char defaultRowsDown;
};

// OK, VIEWONLY, CANCEL.
constexpr int kButtonCount = 3;
extern const ButtonSpec kButtons[kButtonCount];
constexpr int kResultForOtherCommands = 3;

// An integer from the settings file, or fallback when the file, section or key is missing.
using ReadSetting = int (*)(void* context, const Char* section, const Char* key, int fallback);

// Positions from the settings file and sizes of images are kept within this many pixels of the
// window's corner, far beyond any screen, so that no sum of a position and a size overflows.
constexpr int kCoordinateLimit = 32767;

// value kept within -kCoordinateLimit .. kCoordinateLimit.
int clampCoordinate(int value);

Point picturePosition(ReadSetting read, void* context);

// Where a button stands and how large it is: its normal image's size, at the position of its
// section, whose "Y" defaults to its rows down times that image's height. Every coordinate is
// clamped first.
Rect buttonRect(const ButtonSpec& button, Size normalImage, ReadSetting read, void* context);

// A missing or unreadable image has size 0 x 0; the dialog then keeps the size the template gave,
// so that the window and its buttons can still be seen and pressed.
Size sizeOrFallback(Size image, Size fallback);

// Top-left corner that centres the window on a monitor's work area, the part that no taskbar
// covers (integer division toward zero).
Point centredOrigin(Size window, Rect workArea);

// Keeps a window being dragged on its monitor: the proposed rectangle R is first pushed right and
// down to the monitor's near edges, then given the window's size, then pushed left and up to its
// far edges.
Rect keepOnMonitor(Rect proposed, Size window, Rect monitor);

// Skins are drawn in pixels at kBaseDpi. In a DPI-aware installer on a denser display every
// position, size, image and the shape are scaled by dpi / kBaseDpi here, in one place; an unaware
// installer's windows are scaled by Windows itself.
constexpr int kBaseDpi = 96;
// 1000 %: far beyond any display, and small enough that no scaled coordinate overflows.
constexpr int kMaxDpi = 960;
static_assert(2 * kCoordinateLimit < 0x7FFFFFFF / kMaxDpi, "a button's far edge scales in an int");

// The DPI to draw at: the display's when the installer is DPI-aware, kept within kBaseDpi and
// kMaxDpi; kBaseDpi otherwise.
int drawingDpi(bool installerDpiAware, int displayDpi);

// value * dpi / kBaseDpi, rounded half away from zero.
int scaled(int value, int dpi);
Rect scaledRect(Rect r, int dpi);
Size scaledSize(Size size, int dpi);
// The inverse for sizes that the dialog template gives in device pixels already, so that a
// missing image's stand-in is not scaled twice.
Size unscaledSize(Size size, int dpi);

// The window's name: the skin's, else the installer's caption, else kDefaultDialogName.
const Char* dialogName(const Char* fromSkin, const Char* installerCaption);

// The image to draw for a button, or kImageCount for a control that is not one of the three.
ImageIndex imageForButton(int controlId, bool pressed);

// The button with this control id, or null.
const ButtonSpec* findButton(int controlId);

// What the dialog ends with for a command from this control while focusedId has the keyboard
// focus. Owner-drawn buttons are never the dialog's default button, so Enter arrives as OK's
// command whichever button has the focus (and a click gives its button the focus first): OK's
// command presses the focused button.
int resultForCommand(int controlId, int focusedId);

// Focused buttons show an inverted frame this far inside their edges, this thick.
constexpr int kFocusFrameInset = 3;
constexpr int kFocusFrameThickness = 2;

} // namespace splash
