// Rectangle borders and lines in the pen styles the markup knows; style 6 doubles them.
#include "draw/RixEffectPainter.h"

namespace {

int PenStyleFor(int nStyle)
{
    switch (nStyle) {
    case RIXLINE_DASHED:
        return PS_DASH;
    case RIXLINE_DOTTED:
        return PS_DOT;
    case RIXLINE_DASHDOT:
        return PS_DASHDOT;
    case RIXLINE_DASHDOTDOT:
        return PS_DASHDOTDOT;
    default:
        return PS_SOLID;
    }
}

// Leaves the DC's current position where the caller had it.
class PositionGuard {
public:
    explicit PositionGuard(HDC hDC) : m_hDC(hDC) { ::GetCurrentPositionEx(hDC, &m_point); }
    ~PositionGuard() { ::MoveToEx(m_hDC, m_point.x, m_point.y, nullptr); }
    PositionGuard(const PositionGuard&) = delete;
    PositionGuard& operator=(const PositionGuard&) = delete;

private:
    HDC m_hDC;
    POINT m_point{};
};

} // namespace

void RixEffectPainter::DrawBorder(HDC hDC, const RECT& rect, COLORREF clrTopLeft, COLORREF clrBottomRight,
                                  int nStyle, int nPenWidth)
{
    if (nStyle == RIXLINE_NONE || nPenWidth <= 0)
        return;
    const int penStyle = PenStyleFor(nStyle);
    const gdi::Pen topLeft(::CreatePen(penStyle, nPenWidth, clrTopLeft));
    const gdi::Pen bottomRight(clrBottomRight != clrTopLeft ? ::CreatePen(penStyle, nPenWidth, clrBottomRight)
                                                            : nullptr);
    const HPEN hBottomRight = bottomRight ? bottomRight.get() : topLeft.get();
    if (!topLeft || !hBottomRight)
        return;
    PositionGuard position(hDC);
    auto frame = [&](int x1, int y1, int x2, int y2) {
        {
            gdi::SelectGuard select(hDC, topLeft.get());
            ::MoveToEx(hDC, x1, y2, nullptr);
            ::LineTo(hDC, x1, y1);
            ::LineTo(hDC, x2, y1);
        }
        gdi::SelectGuard select(hDC, hBottomRight);
        ::MoveToEx(hDC, x2, y1, nullptr);
        ::LineTo(hDC, x2, y2);
        ::LineTo(hDC, x1, y2);
    };
    const int h = nPenWidth / 2;
    const RECT outer{rect.left + h, rect.top + h, rect.right - h, rect.bottom - h};
    frame(outer.left, outer.top, outer.right, outer.bottom);
    if (nStyle == RIXLINE_DOUBLE) {
        const int inset = 2 * nPenWidth;
        frame(outer.left + inset, outer.top + inset, outer.right - inset, outer.bottom - inset);
    }
}

void RixEffectPainter::DrawLine(HDC hDC, int x1, int y1, int x2, int y2, COLORREF color, int nStyle, int nPenWidth)
{
    if (nStyle == RIXLINE_NONE || nPenWidth <= 0)
        return;
    const gdi::Pen pen(::CreatePen(PenStyleFor(nStyle), nPenWidth, color));
    if (!pen)
        return;
    PositionGuard position(hDC);
    gdi::SelectGuard select(hDC, pen.get());
    ::MoveToEx(hDC, x1, y1, nullptr);
    ::LineTo(hDC, x2, y2);
    if (nStyle == RIXLINE_DOUBLE) {
        const int gap = 2 * nPenWidth;
        const int down = (x1 != x2) ? gap : 0;
        const int right = (y1 != y2) ? gap : 0;
        ::MoveToEx(hDC, x1 + right, y1 + down, nullptr);
        ::LineTo(hDC, x2 + right, y2 + down);
    }
}
