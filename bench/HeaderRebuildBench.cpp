// Prints how long rebuilding a lost header takes against the least any rebuild that looks at every
// sector can do: reading the file once. Figures only; nothing here passes or fails.
#include "../repair/HeaderRebuild.h"
#include "../repair/RepairSteps.h"
#include "../tests/repair/CfbWriter.h"
#include "Seconds.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

double ReadOnce(const std::string& path)
{
    double start = Seconds();
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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

void Measure(const std::string& folder, uint64_t size)
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
    std::string path = folder + "\\bench.xls";

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
    ::DeleteFileA(path.c_str());
}

} // namespace

int main()
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "tessel-rebuild-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    Measure(folder, 1ull << 20);
    Measure(folder, 8ull << 20);
    Measure(folder, 64ull << 20);
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
