#include "ChildProcess.h"

ChildProcess::ChildProcess(const std::string& testFilter, const Environment& environment)
{
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    std::wstring command = L"\"" + self + L"\" --gtest_filter=" + std::wstring(testFilter.begin(), testFilter.end());
    // The child inherits our environment as it is at its start: set for it, then put back. It runs
    // the one case its filter names, whatever share of the cases this process was dealt: without
    // the sharding variables, which would deal that one case to a single shard.
    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const wchar_t* name : { L"GTEST_TOTAL_SHARDS", L"GTEST_SHARD_INDEX", L"GTEST_SHARD_STATUS_FILE" }) {
        saved.emplace_back(name, EnvironmentValue(name));
        ::SetEnvironmentVariableW(name, nullptr);
    }
    for (const auto& [name, value] : environment) {
        saved.emplace_back(name, EnvironmentValue(name.c_str()));
        ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
        m_process = {};
    for (const auto& [name, value] : saved)
        ::SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
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

std::wstring EnvironmentValue(const wchar_t* name)
{
    DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    size = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(size);
    return value;
}
