// Answers the modal dialogs that the code under test opens on this thread (message boxes, file
// dialogs, setting dialogs), so that the code runs unchanged. A short thread timer looks for new
// dialog windows while the dialog's own modal loop pumps.
#pragma once

#include "framework/Platform.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

struct SeenDialog {
    std::string caption;
    std::string text;  // the texts of its static controls, one per line (a message box: its texts)
    std::string klass; // window class
    std::string filters; // the items of its combo boxes, one per line (a file dialog's file types)
};

class ModalAnswerer {
public:
    using Action = std::function<void(HWND)>;

    // Hands each new dialog to the next action; dialogs beyond the list are cancelled (a question
    // that cannot be cancelled is answered No).
    explicit ModalAnswerer(std::vector<Action> actions = {});
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    const std::vector<SeenDialog>& Seen() const { return m_seen; }
    size_t Count() const { return m_seen.size(); }

    // Presses the button with this id.
    static Action Press(int id);
    // Moves the file dialog into the folder, types the names field (such as "\"a.xls\" \"b.xls\""),
    // then presses Open. Without a folder, only the names field is typed (a full path, say).
    static Action OpenFiles(const std::wstring& folder, const std::wstring& fileNameField);
    // Points the shell's folder browser at the folder and confirms it. When the browser did not
    // take the folder (the selected item is not named like it), it is cancelled instead: nothing
    // may be written to whatever folder happened to be selected. beforeSelecting, if given, runs
    // first, with the browser open (a test may hold the choice there).
    static Action BrowseTo(const std::wstring& folder, std::function<void()> beforeSelecting = {});

private:
    static void Dismiss(HWND hWnd);
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static LRESULT CALLBACK OnGetMessage(int nCode, WPARAM wParam, LPARAM lParam);
    void Poll();

    std::vector<Action> m_actions;
    std::vector<SeenDialog> m_seen;
    std::set<HWND> m_known;
    UINT_PTR m_timer = 0;
    HHOOK m_hook = nullptr;
    DWORD m_lastPoll = 0;
    int m_polling = 0; // polls under way (an action may pump messages)
    ModalAnswerer* m_previous = nullptr;
};

// The texts of a window's static children, one per line.
std::string StaticTexts(HWND hWnd);
// What a dialog says: a formatted message box's message and "more" texts, else its static texts.
std::string DialogTexts(HWND hWnd);
