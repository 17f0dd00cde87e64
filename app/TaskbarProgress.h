// The progress of a long task on a window's taskbar button, where the platform offers it
// (ITaskbarList3, Windows 7 and later). Where it does not, every call does nothing.
// Window thread only: the taskbar object lives in the thread that made it.
#pragma once

#include "../framework/Platform.h"

#include <shobjidl.h>

class CTaskbarProgress {
public:
    explicit CTaskbarProgress(HWND hWnd = nullptr);
    // Takes the button back to no progress.
    ~CTaskbarProgress();
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    // The window whose button shows the progress; the taskbar object is asked for on first use.
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    // `done` of `total` steps; a total of 0 shows work of unknown length.
    void Show(ULONGLONG done, ULONGLONG total);
    void Clear();

    // Where the taskbar object comes from: the platform's by default. The factory's object is
    // released by its user.
    using Factory = ITaskbarList3* (*)();
    static Factory SetFactory(Factory factory);

private:
    bool Ready();

    HWND m_hWnd;
    ITaskbarList3* m_pTaskbar = nullptr;
    bool m_bAsked = false;
    bool m_bShown = false;
};
