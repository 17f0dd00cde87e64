#include "Gdi.h"

namespace gdi {
namespace {
std::atomic<int> g_liveObjects { 0 };
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

void gdi::FillSolid(HDC hDC, const RECT& rc, COLORREF color)
{
    const COLORREF old = ::SetBkColor(hDC, color);
    ::ExtTextOutA(hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(hDC, old);
}
