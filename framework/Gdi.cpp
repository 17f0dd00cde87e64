#include "Gdi.h"

namespace gdi {
namespace {
std::atomic<int> g_liveObjects{0};
}

int LiveObjects()
{
    return g_liveObjects.load();
}
void CountCreated()
{
    ++g_liveObjects;
}
void CountReleased()
{
    --g_liveObjects;
}

} // namespace gdi
