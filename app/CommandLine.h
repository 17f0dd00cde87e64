// The program driven from a command line, for scripts and administrators:
//   CalveraTessel.exe /repair <files or folders...> [/out <folder>] [/name prefix|suffix]
//                     [/report <file>] [/quiet]
// repairs without the wizard and ends with an exit code. Any other command line opens the window.
#pragma once

#include "../repair/PathRules.h"

#include <string>
#include <vector>

// Exit codes of a command-line run.
constexpr int kExitAllRepaired = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

struct CommandLineRequest {
    enum Kind {
        WINDOW, // not a command-line run: the window opens as always
        USAGE, // "/?": the usage text, exit code 0
        WRONG, // a usage error: `error`, then the usage text, exit code 2
        REPAIR,
    };
    Kind kind = WINDOW;
    std::vector<std::wstring> paths; // files and folders after /repair, as given
    std::wstring outFolder; // empty: a "Repaired" folder beside each workbook
    int nameMode = NAME_PREFIX;
    std::wstring reportPath; // empty: no report
    bool quiet = false;
    std::string error; // the program's own text; names in it are the user's, in the ANSI code page
};

// The arguments after the program's name. Switches start with "/" or "-" and are matched without
// regard to case; a run is asked for only by "/repair" or "/?" (anything else keeps the window).
CommandLineRequest ParseRepairCommandLine(const std::vector<std::wstring>& args);

// The process's own arguments after the program's name, as the user typed them (wide).
std::vector<std::wstring> ProcessArguments();

// Runs a request of kind USAGE, WRONG or REPAIR and gives the process's exit code. Text goes to
// the console the program was started from (or the output it was redirected to); without either,
// the usage text and errors show in a message box.
int RunCommandLine(const CommandLineRequest& request);
