#include "splash/win32/SplashDialog.h"

#include "splash/ImageDirectory.h"
#include "splash/RegionFile.h"
#include "splash/SplashLayout.h"
#include "splash/SplashText.h"

#include <windowsx.h>

namespace splash {

namespace {

// Valid while one dialog runs; the plug-in is not made for two calls at once.
struct DialogState {
    HBITMAP images[kImageCount];
    Size imageSizes[kImageCount];
    Size window; // in device pixels
    Point picture;
    int dpi;
    // The focus frame waits for the keyboard, so that mouse users see the skin as it was drawn.
    bool keyboardUsed;
};
DialogState g_state;

// What show hands to the dialog.
struct DialogStart {
    const Char* directory;
    HWND installer;
};

// GetDpiForMonitor's MDT_EFFECTIVE_DPI, and LoadLibraryEx's LOAD_LIBRARY_SEARCH_SYSTEM32, which
// the headers offer only when built for Windows 8 and later.
constexpr int kEffectiveDpi = 0;
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

Size bitmapSize(HBITMAP bitmap) {
    BITMAP info;
    if (bitmap == nullptr || GetObject(bitmap, sizeof info, &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

HBITMAP loadImage(const Char* directory, const Char* fileName) {
    Char path[kPathCapacity];
    if (directory == nullptr || !joinPath(path, directory, fileName)) {
        return nullptr;
    }
    return static_cast<HBITMAP>(
        LoadImage(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void loadImageAt(const Char* directory, ImageIndex index) {
    g_state.images[index] = loadImage(directory, kImageFileNames[index]);
    g_state.imageSizes[index] = bitmapSize(g_state.images[index]);
}

int readSetting(void* context, const Char* section, const Char* key, int fallback) {
    const Char* settingsPath = static_cast<const Char*>(context);
    if (settingsPath == nullptr) {
        return fallback;
    }
    return static_cast<int>(GetPrivateProfileInt(section, key, fallback, settingsPath));
}

// A name from the settings file, or fallback.
void readName(const Char* settingsPath, const Char* section, const Char* fallback, Char* out) {
    if (settingsPath == nullptr || GetPrivateProfileString(section, kKeyText, fallback, out,
                                                           kNameCapacity, settingsPath) == 0) {
        copyText(out, kNameCapacity, fallback);
    }
}

Rect toRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

MONITORINFO monitorInfo(HMONITOR monitor) {
    MONITORINFO info;
    info.cbSize = sizeof info;
    GetMonitorInfo(monitor, &info);
    return info;
}

// GetDpiForMonitor (shcore.dll, Windows 8.1 and later) gives each monitor its own DPI for an
// installer that is aware per monitor; before, every monitor has the system's DPI. shcore.dll is
// taken from the system folder only: installers run from download folders, where anyone may have
// dropped a DLL of that name. Windows 7 has neither that search nor the DLL.
int displayDpi(HMONITOR monitor) {
    UINT dpi = 0;
    UINT dpiY = 0;
    const HMODULE shcore = LoadLibraryEx(QV_TEXT("shcore.dll"), nullptr, kSearchSystemFolderOnly);
    if (shcore != nullptr) {
        const auto getDpi = reinterpret_cast<GetDpiForMonitorFunction>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
        if (getDpi == nullptr || getDpi(monitor, kEffectiveDpi, &dpi, &dpiY) != S_OK) {
            dpi = 0;
        }
        FreeLibrary(shcore);
    }
    if (dpi == 0) {
        const HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return static_cast<int>(dpi);
}

// The template's sizes are device pixels already (its font is scaled with the display).
Size templateSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return unscaledSize({r.right - r.left, r.bottom - r.top}, g_state.dpi);
}

bool readFromFile(void* context, void* buffer, unsigned size) {
    DWORD got = 0;
    return ReadFile(static_cast<HANDLE>(context), buffer, size, &got, nullptr) && got == size;
}

// The shape file is looked up in the current directory (where the installer extracted it), by
// its bare name.
void applyRegion(HWND dialog) {
    const HANDLE file = CreateFile(kRegionFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    RegionData data;
    const bool valid = readRegionFile(readFromFile, file, data);
    CloseHandle(file);
    if (!valid) {
        return;
    }
    const FLOAT factor = static_cast<FLOAT>(g_state.dpi) / kBaseDpi;
    const XFORM scale = {factor, 0, 0, factor, 0, 0};
    const HRGN region = ExtCreateRegion(g_state.dpi == kBaseDpi ? nullptr : &scale, data.size,
                                        reinterpret_cast<RGNDATA*>(data.bytes));
    if (region != nullptr && !SetWindowRgn(dialog, region, FALSE)) {
        DeleteObject(region);
    }
}

// The window text that screen readers announce: the skin's name, else the installer's caption.
void nameDialog(HWND dialog, const Char* settingsPath, HWND installer) {
    Char name[kNameCapacity];
    Char caption[kNameCapacity];
    readName(settingsPath, kDialogSection, QV_TEXT(""), name);
    if (installer == nullptr || GetWindowText(installer, caption, kNameCapacity) == 0) {
        caption[0] = '\0';
    }
    SetWindowText(dialog, dialogName(name, caption));
}

void initialise(HWND dialog, const DialogStart& start) {
    const Char* directory = start.directory;
    // The installer's window is on the monitor the user looks at; before it has one (in .onInit),
    // this is the primary monitor.
    const HMONITOR monitor = MonitorFromWindow(start.installer, MONITOR_DEFAULTTONEAREST);
    g_state.dpi = drawingDpi(IsProcessDPIAware() != FALSE, displayDpi(monitor));
    g_state.keyboardUsed = false;

    loadImageAt(directory, kBackground);
    g_state.window = scaledSize(
        sizeOrFallback(g_state.imageSizes[kBackground], templateSize(dialog)), g_state.dpi);

    // The shape is made for the skin's background; the plain dialog without it keeps its
    // template's rectangle, so that its buttons are never cut off.
    if (g_state.images[kBackground] != nullptr) {
        applyRegion(dialog);
    }

    for (int index = kPicture; index < kImageCount; ++index) {
        loadImageAt(directory, static_cast<ImageIndex>(index));
    }

    Char settingsFile[kPathCapacity];
    Char* settingsPath = nullptr;
    if (directory != nullptr && joinPath(settingsFile, directory, kSettingsFileName)) {
        settingsPath = settingsFile;
    }
    g_state.picture = picturePosition(readSetting, settingsPath);

    nameDialog(dialog, settingsPath, start.installer);

    Char name[kNameCapacity];
    for (const ButtonSpec& button : kButtons) {
        const HWND control = GetDlgItem(dialog, button.controlId);
        const Size size = sizeOrFallback(g_state.imageSizes[button.normal], templateSize(control));
        const Rect r = scaledRect(buttonRect(button, size, readSetting, settingsPath), g_state.dpi);
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER);
        // Screen readers announce a button by its text, "&" marking the access key.
        readName(settingsPath, button.section, button.defaultName, name);
        SetWindowText(control, name);
    }

    // The dialog is shown only now, in its final size and place, so it never flashes elsewhere.
    const Point origin = centredOrigin(g_state.window, toRect(monitorInfo(monitor).rcWork));
    SetWindowPos(dialog, HWND_TOPMOST, origin.x, origin.y, g_state.window.width,
                 g_state.window.height, SWP_SHOWWINDOW);
}

// Draws the image into r (device pixels). At kBaseDpi that is a plain copy; scaled, HALFTONE
// averages the source pixels instead of dropping or repeating whole rows.
void blit(HDC target, const RECT& r, HDC source, ImageIndex index) {
    if (g_state.images[index] == nullptr) {
        return;
    }
    if (g_state.dpi != kBaseDpi) {
        SetStretchBltMode(target, HALFTONE);
        SetBrushOrgEx(target, 0, 0, nullptr);
    }
    const HGDIOBJ previous = SelectObject(source, g_state.images[index]);
    StretchBlt(target, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0,
               g_state.imageSizes[index].width, g_state.imageSizes[index].height, SRCCOPY);
    SelectObject(source, previous);
}

// A system colour given where a brush is taken, as FillRect allows.
HBRUSH systemColourBrush(int colourIndex) {
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(colourIndex + 1));
}

// Drawn off screen first so that the picture never flickers over a bare background.
void eraseBackground(HDC windowDc) {
    const HDC canvasDc = CreateCompatibleDC(windowDc);
    const HDC imageDc = CreateCompatibleDC(windowDc);
    const HBITMAP canvas =
        CreateCompatibleBitmap(windowDc, g_state.window.width, g_state.window.height);
    const HGDIOBJ previousCanvas = SelectObject(canvasDc, canvas);

    const RECT all = {0, 0, g_state.window.width, g_state.window.height};
    if (g_state.images[kBackground] == nullptr) {
        FillRect(canvasDc, &all, systemColourBrush(COLOR_BTNFACE));
    }
    blit(canvasDc, all, imageDc, kBackground);
    const Size picture = g_state.imageSizes[kPicture];
    const Rect at =
        scaledRect({g_state.picture.x, g_state.picture.y, g_state.picture.x + picture.width,
                    g_state.picture.y + picture.height},
                   g_state.dpi);
    blit(canvasDc, {at.left, at.top, at.right, at.bottom}, imageDc, kPicture);
    BitBlt(windowDc, 0, 0, g_state.window.width, g_state.window.height, canvasDc, 0, 0, SRCCOPY);

    SelectObject(canvasDc, previousCanvas);
    DeleteObject(canvas);
    DeleteDC(imageDc);
    DeleteDC(canvasDc);
}

// Without its image a button is drawn as a plain box with its name, so that it can still be found
// and pressed.
void drawPlainButton(const DRAWITEMSTRUCT& item, bool pressed) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, systemColourBrush(pressed ? COLOR_BTNSHADOW : COLOR_WINDOW));
    Char name[kNameCapacity];
    GetWindowText(item.hwndItem, name, kNameCapacity);
    DrawText(item.hDC, name, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The frame is the outer rectangle inverted and its inside inverted back.
void drawFocusFrame(HDC dc, const RECT& button) {
    const int inset = scaled(kFocusFrameInset, g_state.dpi);
    const int thickness = scaled(kFocusFrameThickness, g_state.dpi);
    RECT r = {button.left + inset, button.top + inset, button.right - inset, button.bottom - inset};
    if (r.right - r.left <= 2 * thickness || r.bottom - r.top <= 2 * thickness) {
        return;
    }
    InvertRect(dc, &r);
    r = {r.left + thickness, r.top + thickness, r.right - thickness, r.bottom - thickness};
    InvertRect(dc, &r);
}

// Windows moves the focus for an arrow key without telling the dialog on every system; the key
// is still down while the button draws its new focus.
bool arrowKeyDown() {
    for (int key = VK_LEFT; key <= VK_DOWN; ++key) {
        if (GetKeyState(key) < 0) {
            return true;
        }
    }
    return false;
}

void drawButtonFace(const DRAWITEMSTRUCT& item, bool pressed) {
    const ImageIndex index = imageForButton(static_cast<int>(item.CtlID), pressed);
    if (index == kImageCount || g_state.images[index] == nullptr) {
        drawPlainButton(item, pressed);
        return;
    }
    const HDC imageDc = CreateCompatibleDC(item.hDC);
    blit(item.hDC, item.rcItem, imageDc, index);
    DeleteDC(imageDc);
}

// The whole button is drawn for every action, including a mere change of focus, so that a frame
// left by the focus is always painted over.
void drawButton(const DRAWITEMSTRUCT& item) {
    if ((item.itemAction & ODA_FOCUS) != 0 && arrowKeyDown()) {
        g_state.keyboardUsed = true;
    }
    drawButtonFace(item, (item.itemState & ODS_SELECTED) != 0);
    if ((item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) == ODS_FOCUS && g_state.keyboardUsed) {
        drawFocusFrame(item.hDC, item.rcItem);
    }
}

void releaseImages() {
    for (HBITMAP& image : g_state.images) {
        if (image != nullptr) {
            DeleteObject(image);
            image = nullptr;
        }
    }
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, *reinterpret_cast<const DialogStart*>(lParam));
        return TRUE;
    // Tab and Shift+Tab (under Wine the arrow keys too) move the focus through this message.
    case WM_NEXTDLGCTL:
        g_state.keyboardUsed = true;
        return FALSE;
    case WM_UPDATEUISTATE:
        if (LOWORD(wParam) == UIS_CLEAR && (HIWORD(wParam) & UISF_HIDEFOCUS) != 0) {
            g_state.keyboardUsed = true;
        }
        return FALSE;
    case WM_ERASEBKGND:
        eraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_DRAWITEM:
        drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        EndDialog(dialog, resultForCommand(LOWORD(wParam), GetDlgCtrlID(GetFocus())));
        return TRUE;
    case WM_LBUTTONDOWN: {
        // The click arrives in client coordinates; the caption drag that follows wants the same
        // point on the screen.
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(dialog, &at);
        PostMessage(dialog, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
        return TRUE;
    }
    case WM_MOVING: {
        auto* proposed = reinterpret_cast<RECT*>(lParam);
        const HMONITOR monitor = MonitorFromRect(proposed, MONITOR_DEFAULTTONEAREST);
        const Rect r = keepOnMonitor(toRect(*proposed), g_state.window,
                                     toRect(monitorInfo(monitor).rcMonitor));
        *proposed = {r.left, r.top, r.right, r.bottom};
        return TRUE;
    }
    case WM_DESTROY:
        releaseImages();
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR runSplashDialog(HINSTANCE module, const Char* directory, HWND installer) {
    const DialogStart start = {directory, installer};
    return DialogBoxParam(module, MAKEINTRESOURCE(QV_SPLASH_DIALOG), nullptr, dialogProc,
                          reinterpret_cast<LPARAM>(&start));
}

} // namespace splash
