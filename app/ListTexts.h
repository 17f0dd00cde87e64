// Texts that name a user's workbooks inside a message: a few names, then how many more.
#pragma once

#include <string>
#include <vector>

// "a.xls, b.xls and c.xls", or with more than `shown` names "a.xls, b.xls, c.xls and 4 more".
// The names are escaped for markup (their characters are text).
std::string NamesAndMore(const std::vector<std::wstring>& names, size_t shown);

// What adding dropped files or a folder came to.
struct AddOutcome {
    size_t added = 0;
    std::vector<std::wstring> duplicates; // names of workbooks already in the list
    std::vector<std::wstring> notWorkbooks; // names of files that are not workbooks
    std::vector<std::wstring> missing; // names of paths that were not there
};

// The notice after adding: empty when every workbook found was added and none was refused.
std::string AddNoticeText(const AddOutcome& outcome);
