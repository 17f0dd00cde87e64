// The report of a run: one line per workbook with its source, its repaired copy, its status and
// what was lost, as CSV in UTF-8 with a byte-order mark, so that Excel opens it as it is (names in
// every script) and any CSV reader can read it back.
#pragma once

#include <string>
#include <vector>

struct ReportRow {
    std::wstring source; // full path of the workbook
    std::wstring output; // full path of the repaired copy; empty when none was written
    std::wstring status; // the result list's status text
    std::wstring lost; // what the copy lacks, where it is only partly recovered
};

// The whole file: BOM, the header line, then one line per row; lines end in CR LF. A field with a
// comma, a quote, a line break or a blank at either end is quoted, its quotes doubled.
std::string ReportCsv(const std::vector<ReportRow>& rows);

// Writes the report under a temporary name beside the file, then puts it in the file's place:
// the file is either the whole new report or what it was before. False when it could not be written.
bool WriteReport(const std::wstring& path, const std::vector<ReportRow>& rows);
