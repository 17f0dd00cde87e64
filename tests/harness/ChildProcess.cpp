#include "ChildProcess.h"

ChildProcess::ChildProcess(const std::string& testFilter, const Environment& environment)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=" + testFilter;
    // The child inherits our environment as it is at its start: set for it, then put back.
    std::vector<std::pair<std::string, std::string>> saved;
    for (const auto& [name, value] : environment) {
        saved.emplace_back(name, EnvironmentValue(name.c_str()));
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
        m_process = {};
    for (const auto& [name, value] : saved)
        ::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
}

ChildProcess::~ChildProcess()
{
    if (!Started())
        return;
    // A child still running when its test gives up is ended, so no scenario outlives its test.
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
        ::TerminateProcess(m_process.hProcess, 3);
    ::CloseHandle(m_process.hProcess);
    ::CloseHandle(m_process.hThread);
}

bool ChildProcess::Wait(DWORD ms)
{
    return Started() && ::WaitForSingleObject(m_process.hProcess, ms) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (Started())
        ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

std::string EnvironmentValue(const char* name)
{
    DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::string();
    std::string value(size, '\0');
    size = ::GetEnvironmentVariableA(name, value.data(), size);
    value.resize(size);
    return value;
}
