#include "GalleryWindow.h"

namespace {

LRESULT CALLBACK GalleryProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* page = reinterpret_cast<GalleryPage*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    LRESULT result = 0;
    switch (message) {
    case WM_NCCREATE:
        ::SetWindowLongPtrA(
            hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        break;
    case WM_ERASEBKGND:
        // The page paints every pixel.
        return 1;
    case WM_PAINT:
        if (page) {
            page->Paint(hWnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        if (page && page->OnMessage(hWnd, message, wParam, lParam, result))
            return result;
        break;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

int RunGalleryWindow(HINSTANCE hInstance, const GalleryWindow& window, GalleryPage& page, int nCmdShow)
{
    WNDCLASSEXA wc {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = GalleryProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hIcon = window.icon;
    wc.lpszClassName = window.className;
    if (!::RegisterClassExA(&wc))
        return 1;
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame { 0, 0, window.content.cx, window.content.cy };
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND hWnd = ::CreateWindowExA(0, window.className, window.title, style, 0, 0, frame.right - frame.left,
        frame.bottom - frame.top, nullptr, nullptr, hInstance, &page);
    if (!hWnd) {
        ::UnregisterClassA(window.className, hInstance);
        return 1;
    }
    page.OnCreated(hWnd);
    ::ShowWindow(hWnd, nCmdShow);
    ::UpdateWindow(hWnd);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::UnregisterClassA(window.className, hInstance);
    return static_cast<int>(msg.wParam);
}
