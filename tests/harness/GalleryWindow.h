// The window a gallery program shows its page in, for the screenshots and for a look by eye: a plain
// overlapped window with the given client size, which lives until it is closed.
#pragma once

#include <windows.h>

class GalleryPage {
public:
    virtual void Paint(HWND hWnd) = 0;
    // Any other message the page takes: true, with its result, where it took it.
    virtual bool OnMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
    // The window is made, not yet shown.
    virtual void OnCreated(HWND) { }

protected:
    ~GalleryPage() = default;
};

struct GalleryWindow {
    const char* className;
    const char* title;
    SIZE content;
    HICON icon;
};

// Shows the page until the window is closed: the program's exit code, 1 where the window could not
// be made.
int RunGalleryWindow(HINSTANCE hInstance, const GalleryWindow& window, GalleryPage& page, int nCmdShow);
