// Process entry, the fullscreen main window and its message loop.
#include <windows.h>

#include <imm.h>

#include <cstdint>

#include "app/app.h"
#include "platform/platform.h"

int32_t g_screenWidth = 0;
int32_t g_screenHeight = 0;

namespace {

constexpr const char* kClassName = "Default Class Name";
constexpr const char* kWindowTitle = "Sample Program";
constexpr int kSharedResourceId = 32512;  // IDI_APPLICATION and IDC_ARROW

plat::WindowHandle AsPlat(HWND window) { return reinterpret_cast<plat::WindowHandle>(window); }

void SetImeStatusWindow(HWND window, WPARAM command) {
    SendMessageA(ImmGetDefaultIMEWnd(window), WM_IME_CONTROL, command, 0);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            AppWindowCreated(AsPlat(window));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            SetImeStatusWindow(window, IMC_OPENSTATUSWINDOW);
            AppWindowDestroyed();
            return 0;
        case WM_PAINT:
            AppPaint();
            return 0;
        case WM_KEYDOWN:
            AppKeyDown(AsPlat(window), static_cast<uint32_t>(wParam));
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageA(nullptr, MAKEINTRESOURCEA(kSharedResourceId),
                                                      IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    windowClass.hCursor = static_cast<HCURSOR>(LoadImageA(
        nullptr, MAKEINTRESOURCEA(kSharedResourceId), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    windowClass.hIconSm = windowClass.hIcon;
    if (RegisterClassExA(&windowClass) == 0) return nullptr;

    HDC screen = GetDC(nullptr);
    g_screenWidth = GetDeviceCaps(screen, HORZRES);
    g_screenHeight = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    RECT frame{0, 0, g_screenWidth, g_screenHeight};

    // Hidden before the window exists, so start-up messages already show without it.
    ShowCursor(FALSE);

    HWND window = CreateWindowExA(0, kClassName, kWindowTitle, WS_POPUP, 0, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetImeStatusWindow(window, IMC_CLOSESTATUSWINDOW);
    return window;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = CreateMainWindow(instance);
    if (window == nullptr) {
        plat::ShowMessageBox(nullptr, text::kWindowCreationFailed, text::kCaptionError,
                             plat::BoxIcon::None);
        return 1;
    }
    // The show command of the process is disregarded: the window is always shown plainly.
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    MSG message;
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0 || fetched == -1) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    AppShutdown();
    return 0;
}
