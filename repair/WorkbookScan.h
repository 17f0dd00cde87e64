// Finding the workbooks a user points at: files named one by one, and whole folders with their
// sub-folders. Paths are wide (see framework/PathText.h).
#pragma once

#include "../framework/Platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A workbook found on disk, with what the source list shows of it.
struct FoundWorkbook {
    std::wstring folder; // as the list shows it: no trailing backslash ("D:" at a drive root)
    std::wstring name;
    uint64_t size = 0;
    FILETIME created = {};
    FILETIME accessed = {};
    FILETIME written = {};

    std::wstring Path() const { return folder + L"\\" + name; }
};

struct WorkbookScan {
    std::vector<FoundWorkbook> found;
    std::vector<std::wstring> notWorkbooks; // files named one by one whose name does not end in ".xls"
    std::vector<std::wstring> missing; // named paths that are neither a file nor a folder
    bool cancelled = false;
};

// What a scan has done so far, and a request to stop it; read and written from other threads.
struct ScanProgress {
    std::atomic<bool> cancel { false };
    std::atomic<size_t> found { 0 };
    std::atomic<size_t> folders { 0 };
};

// Every workbook at or under each full path, in the order given: a file is taken as it is, a
// folder is searched with all its sub-folders. Inside folders, hidden and system entries are
// passed over (Excel's lock files, "~$Book1.xls", are hidden), and so are folder links (junctions
// and symbolic links), which can lead a search round in circles or out of the tree the user
// chose. In each folder its workbooks come first, in name order, then its sub-folders, in name
// order. A cancelled scan stops at its next entry and keeps what it found.
WorkbookScan ScanForWorkbooks(const std::vector<std::wstring>& paths, ScanProgress* progress = nullptr);

// A path as the scan and the list keep it: full, without a trailing backslash unless it is a
// drive's root ("C:\"). Empty when it cannot be made full.
std::wstring FullPathOf(const std::wstring& path);
