#include "ListTexts.h"

#include "../markup/MarkupEscape.h"

namespace {

// Names shown in a notice before "and N more".
constexpr size_t kNoticeNames = 3;

std::string Count(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string NamesAndMore(const std::vector<std::wstring>& names, size_t shown)
{
    const size_t listed = names.size() <= shown ? names.size() : shown;
    std::string text;
    for (size_t i = 0; i < listed; i++) {
        if (i > 0)
            text += listed == names.size() && i == listed - 1 ? " and " : ", ";
        text += MarkupEscapedName(names[i]);
    }
    if (listed < names.size())
        text += " and " + std::to_string(names.size() - listed) + " more";
    return text;
}

std::string AddNoticeText(const AddOutcome& outcome)
{
    const bool refused = !outcome.duplicates.empty() || !outcome.notWorkbooks.empty() || !outcome.missing.empty();
    if (outcome.added > 0 && !refused)
        return {};
    std::string text = outcome.added == 0 && !refused
        ? "No Excel workbooks (.xls) were found there."
        : Count(outcome.added, "workbook", "workbooks") + " added to the list.";
    if (!outcome.duplicates.empty())
        text += "\r\nAlready in the list: " + NamesAndMore(outcome.duplicates, kNoticeNames) + ".";
    if (!outcome.notWorkbooks.empty())
        text += "\r\nNot Excel workbooks (.xls): " + NamesAndMore(outcome.notWorkbooks, kNoticeNames) + ".";
    if (!outcome.missing.empty())
        text += "\r\nNot found: " + NamesAndMore(outcome.missing, kNoticeNames) + ".";
    return text;
}
