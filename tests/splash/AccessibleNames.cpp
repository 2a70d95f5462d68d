// Prints what a screen reader announces for the visible dialog and its controls: the accessible
// name of each, read through oleacc as assistive technology reads it, one line each, the dialog
// first. Ends with 1 when no dialog is shown.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kClassCapacity = 64;
// IAccessible's interface id. MinGW-w64's oleacc import library resolves IID_IAccessible to a
// function's import thunk, not to the GUID, so every query for it fails with E_NOINTERFACE.
constexpr GUID kAccessibleInterface = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
    wchar_t name[kClassCapacity];
    if (IsWindowVisible(window) && GetClassNameW(window, name, kClassCapacity) > 0 &&
        std::wcscmp(name, kDialogClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The tests' names are ASCII, which %ls passes on unchanged.
void printName(HWND window) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                          kAccessibleInterface,
                                          reinterpret_cast<void**>(&accessible)))) {
        std::printf("(no accessible object)\n");
        return;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
        std::printf("%ls\n", name);
        SysFreeString(name);
    } else {
        std::printf("(no name)\n");
    }
    accessible->Release();
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
    printName(child);
    return TRUE;
}

} // namespace

int main() {
    HWND dialog = nullptr;
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        std::fprintf(stderr, "no visible dialog (expected the splash)\n");
        return 1;
    }
    CoInitialize(nullptr);
    printName(dialog);
    EnumChildWindows(dialog, printChild, 0);
    CoUninitialize();
    return 0;
}
