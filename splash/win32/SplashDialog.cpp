#include "splash/win32/SplashDialog.h"

#include "splash/ImageDirectory.h"
#include "splash/RegionFile.h"
#include "splash/SplashLayout.h"

#include <windowsx.h>

namespace splash {

namespace {

// Valid while one dialog runs; the plug-in is not made for two calls at once.
struct DialogState {
    HBITMAP images[kImageCount];
    Size imageSizes[kImageCount];
    Size window;
    Point picture;
    const Char* directory;
};
DialogState g_state;

Size bitmapSize(HBITMAP bitmap) {
    BITMAP info;
    if (bitmap == nullptr || GetObject(bitmap, sizeof info, &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

HBITMAP loadImage(const Char* fileName) {
    Char path[kPathCapacity];
    if (g_state.directory == nullptr || !joinPath(path, g_state.directory, fileName)) {
        return nullptr;
    }
    return static_cast<HBITMAP>(
        LoadImage(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void loadImageAt(ImageIndex index) {
    g_state.images[index] = loadImage(kImageFileNames[index]);
    g_state.imageSizes[index] = bitmapSize(g_state.images[index]);
}

int readSetting(void* context, const Char* section, const Char* key, int fallback) {
    const Char* settingsPath = static_cast<const Char*>(context);
    if (settingsPath == nullptr) {
        return fallback;
    }
    return static_cast<int>(GetPrivateProfileInt(section, key, fallback, settingsPath));
}

Size screenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

Size windowSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
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
    const HRGN region = ExtCreateRegion(nullptr, data.size, reinterpret_cast<RGNDATA*>(data.bytes));
    if (region != nullptr && !SetWindowRgn(dialog, region, FALSE)) {
        DeleteObject(region);
    }
}

void initialise(HWND dialog, const Char* directory) {
    g_state.directory = directory;
    loadImageAt(kBackground);
    g_state.window = sizeOrFallback(g_state.imageSizes[kBackground], windowSize(dialog));

    // The shape is made for the skin's background; the plain dialog without it keeps its
    // template's rectangle, so that its buttons are never cut off.
    if (g_state.images[kBackground] != nullptr) {
        applyRegion(dialog);
    }

    for (int index = kPicture; index < kImageCount; ++index) {
        loadImageAt(static_cast<ImageIndex>(index));
    }

    Char settingsPath[kPathCapacity];
    void* settings = nullptr;
    if (directory != nullptr && joinPath(settingsPath, directory, kSettingsFileName)) {
        settings = settingsPath;
    }
    g_state.picture = picturePosition(readSetting, settings);

    for (const ButtonSpec& button : kButtons) {
        const HWND control = GetDlgItem(dialog, button.controlId);
        const Size size = sizeOrFallback(g_state.imageSizes[button.normal], windowSize(control));
        const Rect r = buttonRect(button, size, readSetting, settings);
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER);
    }

    // The dialog is shown only now, in its final size and place, so it never flashes elsewhere.
    const Point origin = centredOrigin(g_state.window, screenSize());
    SetWindowPos(dialog, HWND_TOPMOST, origin.x, origin.y, g_state.window.width,
                 g_state.window.height, SWP_SHOWWINDOW);
}

void blit(HDC target, int x, int y, HDC source, ImageIndex index) {
    if (g_state.images[index] == nullptr) {
        return;
    }
    const HGDIOBJ previous = SelectObject(source, g_state.images[index]);
    BitBlt(target, x, y, g_state.imageSizes[index].width, g_state.imageSizes[index].height, source,
           0, 0, SRCCOPY);
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

    if (g_state.images[kBackground] == nullptr) {
        const RECT all = {0, 0, g_state.window.width, g_state.window.height};
        FillRect(canvasDc, &all, systemColourBrush(COLOR_BTNFACE));
    }
    blit(canvasDc, 0, 0, imageDc, kBackground);
    blit(canvasDc, g_state.picture.x, g_state.picture.y, imageDc, kPicture);
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
    const ButtonSpec* button = findButton(static_cast<int>(item.CtlID));
    if (button != nullptr) {
        DrawText(item.hDC, button->name, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

// Drawn whenever the button has the focus, not only after a key was pressed, so that the button
// that Enter presses can always be seen.
// The frame is the outer rectangle inverted and its inside inverted back.
void drawFocusFrame(HDC dc, const RECT& button) {
    RECT r = {button.left + kFocusFrameInset, button.top + kFocusFrameInset,
              button.right - kFocusFrameInset, button.bottom - kFocusFrameInset};
    if (r.right - r.left <= 2 * kFocusFrameThickness ||
        r.bottom - r.top <= 2 * kFocusFrameThickness) {
        return;
    }
    InvertRect(dc, &r);
    r = {r.left + kFocusFrameThickness, r.top + kFocusFrameThickness,
         r.right - kFocusFrameThickness, r.bottom - kFocusFrameThickness};
    InvertRect(dc, &r);
}

void drawButtonFace(const DRAWITEMSTRUCT& item, bool pressed) {
    const ImageIndex index = imageForButton(static_cast<int>(item.CtlID), pressed);
    if (index == kImageCount || g_state.images[index] == nullptr) {
        drawPlainButton(item, pressed);
        return;
    }
    const HDC imageDc = CreateCompatibleDC(item.hDC);
    blit(item.hDC, item.rcItem.left, item.rcItem.top, imageDc, index);
    DeleteDC(imageDc);
}

// The whole button is drawn for every action, including a mere change of focus, so that a frame
// left by the focus is always painted over.
void drawButton(const DRAWITEMSTRUCT& item) {
    drawButtonFace(item, (item.itemState & ODS_SELECTED) != 0);
    if ((item.itemState & ODS_FOCUS) != 0) {
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
        initialise(dialog, reinterpret_cast<const Char*>(lParam));
        return TRUE;
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
        const Rect r =
            clampToScreen({proposed->left, proposed->top, proposed->right, proposed->bottom},
                          g_state.window, screenSize());
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

INT_PTR runSplashDialog(HINSTANCE module, const Char* directory) {
    return DialogBoxParam(module, MAKEINTRESOURCE(QV_SPLASH_DIALOG), nullptr, dialogProc,
                          reinterpret_cast<LPARAM>(directory));
}

} // namespace splash
