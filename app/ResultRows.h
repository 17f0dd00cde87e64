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
// A row takes a new image by being deleted and inserted again at its index with its first four
// columns (the status column is written afterwards by the caller).
void SetRowImage(HWND hList, int row, int image);
// Appends a row: source name and folder, empty output columns, the given image.
int AppendRow(HWND hList, const std::wstring& name, const std::wstring& folder, int image);
