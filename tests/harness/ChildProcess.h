// This test program started again to run one scenario test in a process of its own, so that a
// test can end it, log it off or measure it from outside.
#pragma once

#include "framework/Platform.h"

#include <string>
#include <utility>
#include <vector>

class ChildProcess {
public:
    // Names and values are wide: values are mostly paths.
    using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

    // Runs the test named by the filter, with these variables added to the environment.
    ChildProcess(const std::string& testFilter, const Environment& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    HANDLE Process() const { return m_process.hProcess; }
    // Waits for the end; false when it has not ended in time. The exit code then is 259.
    bool Wait(DWORD ms);
    DWORD ExitCode() const;

private:
    PROCESS_INFORMATION m_process = {};
};

// The value of a variable of this process's environment, or empty.
std::wstring EnvironmentValue(const wchar_t* name);
