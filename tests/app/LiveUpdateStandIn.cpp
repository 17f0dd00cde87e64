// Stands in for the live-update program in tests: writes the arguments it was started with into
// "liveupdate-args.txt" beside itself (after those of earlier starts), then ends.
#include "framework/Platform.h"

#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder = self;
    folder = folder.substr(0, folder.find_last_of('\\'));
    std::ofstream out(folder + "\\liveupdate-args.txt", std::ios::binary | std::ios::app);
    for (int i = 1; i < argc; i++)
        out << argv[i] << '\n';
    return 0;
}
