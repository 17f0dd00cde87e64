// Prints how long rebuilding a lost header takes against the least any rebuild that looks at every
// sector can do: reading the file once. Figures only; nothing here passes or fails.
#include "../repair/HeaderRebuild.h"
#include "../repair/RepairSteps.h"
#include "../tests/repair/CfbWriter.h"
#include "Seconds.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
}

double ReadOnce(const std::wstring& path)
{
    double start = Seconds();
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> buffer(64 * 1024);
    DWORD got = 0;
    while (::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) { }
    ::CloseHandle(h);
    return Seconds() - start;
}

void Report(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %-28s min %8.4f s  median %8.4f s\n", what, times.front(), times[times.size() / 2]);
}

void Measure(const std::wstring& folder, uint64_t size)
{
    CfbImage image = BuildCfb([&] {
        CfbLayout layout;
        layout.root = { CfbStream("Workbook", size), CfbStream("SummaryInformation", 300) };
        return layout;
    }());
    image.PutBof("Workbook");
    std::string damaged = image.bytes;
    damaged.replace(0, 512, 512, '\0');
    damaged.replace(0, kHeaderPatchSize, reinterpret_cast<const char*>(kHeaderPatch.data()), kHeaderPatchSize);
    std::wstring path = folder + L"\\bench.xls";

    std::vector<double> rebuild, floor;
    int rebuilt = 0;
    for (int round = 0; round < kRounds; round++) {
        WriteBytes(path, damaged);
        floor.push_back(ReadOnce(path));
        double start = Seconds();
        rebuilt += RebuildHeader(path);
        rebuild.push_back(Seconds() - start);
    }
    std::printf("%.1f MiB, %zu table sectors (%d of %d rebuilt):\n", static_cast<double>(damaged.size()) / (1 << 20),
        image.fatSectors.size(), rebuilt, kRounds);
    Report("rebuild", rebuild);
    Report("floor: one read of the file", floor);
    std::sort(rebuild.begin(), rebuild.end());
    std::sort(floor.begin(), floor.end());
    std::printf("  ratio of medians %.2f\n", rebuild[kRounds / 2] / floor[kRounds / 2]);
    std::fflush(stdout);
    ::DeleteFileW(path.c_str());
}

} // namespace

int main()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tessel-rebuild-bench";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    Measure(folder, 1ull << 20);
    Measure(folder, 8ull << 20);
    Measure(folder, 64ull << 20);
    ::RemoveDirectoryW(folder.c_str());
    return 0;
}
