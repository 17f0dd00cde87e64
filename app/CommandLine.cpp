#include "CommandLine.h"

#include "../framework/PathText.h"
#include "../framework/Platform.h"

#include <shellapi.h>

namespace {

// A switch's name without its "/" or "-"; empty for an argument that is not a switch.
std::wstring SwitchName(const std::wstring& arg)
{
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-'))
        return {};
    std::wstring name = arg.substr(1);
    ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

CommandLineRequest Wrong(std::string error)
{
    CommandLineRequest request;
    request.kind = CommandLineRequest::WRONG;
    request.error = std::move(error);
    return request;
}

} // namespace

CommandLineRequest ParseRepairCommandLine(const std::vector<std::wstring>& args)
{
    bool asked = false;
    for (const std::wstring& arg : args) {
        const std::wstring name = SwitchName(arg);
        if (name == L"?" || name == L"help") {
            CommandLineRequest usage;
            usage.kind = CommandLineRequest::USAGE;
            return usage;
        }
        asked = asked || name == L"repair";
    }
    // The window's own switches and anything else a shortcut may pass keep the window.
    if (!asked)
        return {};

    CommandLineRequest request;
    request.kind = CommandLineRequest::REPAIR;
    bool outGiven = false, nameGiven = false, reportGiven = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::wstring name = SwitchName(args[i]);
        if (name.empty()) {
            request.paths.push_back(args[i]);
            continue;
        }
        if (name == L"repair")
            continue;
        if (name == L"quiet") {
            request.quiet = true;
            continue;
        }
        const bool valued = name == L"out" || name == L"name" || name == L"report";
        if (!valued)
            return Wrong("Unknown option: " + NarrowForDisplay(args[i]));
        if (i + 1 >= args.size() || !SwitchName(args[i + 1]).empty() || args[i + 1].empty())
            return Wrong("The option " + NarrowForDisplay(args[i]) + " needs a value.");
        const std::wstring& value = args[++i];
        bool& given = name == L"out" ? outGiven : name == L"report" ? reportGiven : nameGiven;
        if (given)
            return Wrong("The option " + NarrowForDisplay(args[i - 1]) + " is given twice.");
        given = true;
        if (name == L"out") {
            request.outFolder = value;
        } else if (name == L"report") {
            request.reportPath = value;
        } else {
            std::wstring mode = value;
            ::CharLowerBuffW(mode.data(), static_cast<DWORD>(mode.size()));
            if (mode == L"prefix")
                request.nameMode = NAME_PREFIX;
            else if (mode == L"suffix")
                request.nameMode = NAME_SUFFIX;
            else
                return Wrong("The option /name takes prefix or suffix, not " + NarrowForDisplay(value) + ".");
        }
    }
    if (request.paths.empty())
        return Wrong("Name the workbooks or folders to repair after /repair.");
    return request;
}

std::vector<std::wstring> ProcessArguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv)
        return args;
    for (int i = 1; i < count; i++)
        args.emplace_back(argv[i]);
    ::LocalFree(argv);
    return args;
}
