// Rows of the result list, changed only through synchronous messages, so the worker thread can
// use them while the window thread owns the list. Names and folders are wide; the status texts are
// the program's own.
#pragma once

#include "../framework/Platform.h"

#include <string>

enum ResultColumn {
    RESULT_SOURCE_NAME,
    RESULT_SOURCE_FOLDER,
    RESULT_OUTPUT_NAME,
    RESULT_OUTPUT_FOLDER,
    RESULT_STATUS,
    RESULT_LOST
};

std::wstring GetRowText(HWND hList, int row, int column);
void SetRowText(HWND hList, int row, int column, const std::wstring& text);
void SetRowText(HWND hList, int row, int column, const char* text);
// A row takes a new image where it is, keeping its texts. (Deleting the row and inserting it again
// shows the same, but moves every row below it twice and costs the list a redraw each time.)
void SetRowImage(HWND hList, int row, int image);
// Appends a row: source name and folder, empty output columns, the given image.
int AppendRow(HWND hList, const std::wstring& name, const std::wstring& folder, int image);

// Holds a list's drawing while many rows go in, then has it paint them once: a visible list that
// draws after every row it takes spends most of the time drawing.
class CListRedrawPause {
public:
    explicit CListRedrawPause(HWND hList);
    ~CListRedrawPause();
    CListRedrawPause(const CListRedrawPause&) = delete;
    CListRedrawPause& operator=(const CListRedrawPause&) = delete;

private:
    HWND m_hList;
};
