#include "RunReport.h"

#include "../framework/PathText.h"
#include "../framework/Platform.h"

namespace {

std::string Field(const std::string& value)
{
    const bool quoted = value.find_first_of(",\"\r\n") != std::string::npos
        || (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quoted)
        return value;
    std::string field = "\"";
    for (char c : value) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + "\"";
}

} // namespace

std::string ReportCsv(const std::vector<ReportRow>& rows)
{
    std::string csv = "\xEF\xBB\xBF"
                      "Source,Repaired copy,Status,What was lost\r\n";
    for (const ReportRow& row : rows) {
        csv += Field(Utf8Text(row.source)) + "," + Field(Utf8Text(row.output)) + "," + Field(Utf8Text(row.status)) + ","
            + Field(Utf8Text(row.lost)) + "\r\n";
    }
    return csv;
}

bool WriteReport(const std::wstring& path, const std::vector<ReportRow>& rows)
{
    const std::string csv = ReportCsv(rows);
    if (csv.size() > MAXDWORD)
        return false;
    const std::wstring temporary = path + L".tmp";
    HANDLE hFile = ::CreateFileW(
        LongPathForm(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = ::WriteFile(hFile, csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr)
        && written == csv.size() && ::FlushFileBuffers(hFile);
    ::CloseHandle(hFile);
    if (!whole
        || !::MoveFileExW(LongPathForm(temporary).c_str(), LongPathForm(path).c_str(),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(LongPathForm(temporary).c_str());
        return false;
    }
    return true;
}
