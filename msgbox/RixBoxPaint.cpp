// Painting the box: the band backgrounds and separators, built once into a cached bitmap of the
// expanded size, and the markup of the text bands over them.
#include "msgbox/RixBoxLayout.h"
#include "msgbox/RixMessageBoxDialog.h"

#include <algorithm>
#include <optional>

namespace {

void FillBand(RixEffectPainter& painter, HDC hDC, const RixBoxBand& band, const RECT& rect)
{
    if (band.nEffect >= 0 && rect.bottom > rect.top && rect.right > rect.left)
        painter.DrawEffect(hDC, band.nEffect, rect, band.crColor1, band.crColor2, band.crColor3, 0, 0);
}

void DrawLinePiece(HDC hDC, int nSeparator, int x1, int x2, int y)
{
    if (x2 <= x1)
        return;
    switch (nSeparator) {
    case 1: {
        RECT edge = { x1, y, x2, y };
        ::DrawEdge(hDC, &edge, EDGE_ETCHED, BF_TOP);
        break;
    }
    case 2:
        RixEffectPainter::DrawLine(hDC, x1, y, x2, y, RGB(0, 0, 0), RIXLINE_SOLID, 1);
        break;
    case 3:
        RixEffectPainter::DrawLine(hDC, x1, y, x2, y, RGB(255, 255, 255), RIXLINE_SOLID, 1);
        break;
    default:
        break;
    }
}

} // namespace

void RixMessageBoxDialog::DrawSeparator(HDC hDC, const RixBoxBand& band, const std::string& text, const RECT& rect)
{
    if (band.nSeparator == 0)
        return;
    const int y = rect.top;
    const int left = rect.left + RIXBOX_TEXT_INSET;
    const int right = rect.right - RIXBOX_TEXT_INSET;
    if (text.empty()) {
        DrawLinePiece(hDC, band.nSeparator, left, right, y);
        return;
    }
    SIZE extent = { 0, 0 };
    ::GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &extent);
    int textLeft = left;
    if (band.nSeparatorAlign == 1)
        textLeft = right - extent.cx;
    else if (band.nSeparatorAlign == 2)
        textLeft = left + (right - left - extent.cx) / 2;
    const int textRight = textLeft + extent.cx;
    // Embossed, the way the platform draws disabled text, centred on the line.
    ::DrawStateA(hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()), static_cast<WPARAM>(text.size()),
        textLeft, y - extent.cy / 2, extent.cx, extent.cy, DST_TEXT | DSS_DISABLED);
    if (band.nSeparatorAlign == 0) {
        DrawLinePiece(hDC, band.nSeparator, textRight + RIXBOX_TEXT_INSET, right, y);
    } else if (band.nSeparatorAlign == 1) {
        DrawLinePiece(hDC, band.nSeparator, left, textLeft - RIXBOX_TEXT_INSET, y);
    } else {
        DrawLinePiece(hDC, band.nSeparator, left, textLeft - RIXBOX_TEXT_INSET, y);
        DrawLinePiece(hDC, band.nSeparator, textRight + RIXBOX_TEXT_INSET, right, y);
    }
}

void RixMessageBoxDialog::BuildBackground(HDC hDC, const RECT& work)
{
    RixEffectPainter& painter = m_TextRenderer.GetEffectPainter();
    if (m_Params.bkBox.nEffect >= 0)
        painter.DrawEffect(hDC, m_Params.bkBox.nEffect, work, m_Params.bkBox.crColor1, m_Params.bkBox.crColor2,
            m_Params.bkBox.crColor3, 0, 0);
    else
        ::FillRect(hDC, &work, ::GetSysColorBrush(COLOR_BTNFACE));

    gdi::SelectGuard font(hDC, m_Font.get());
    int top = work.top;
    if (m_nHeaderHeight != 0) {
        const RECT header = { work.left, top, work.right, top + m_nHeaderHeight };
        FillBand(painter, hDC, m_Params.bkHeader, header);
        DrawSeparator(
            hDC, m_Params.bkHeader, m_strHeaderSeparator, { work.left, header.bottom, work.right, header.bottom });
        top = header.bottom;
    }
    top += m_nMessageHeight;
    const RECT buttons = { work.left, top, work.right, top + m_nButtonBandHeight };
    FillBand(painter, hDC, m_Params.bkButtons, buttons);
    DrawSeparator(hDC, m_Params.bkButtons, m_strButtonsSeparator, buttons);
    if (!m_strMoreText.empty()) {
        const RECT more = { work.left, buttons.bottom, work.right, work.bottom };
        FillBand(painter, hDC, m_Params.bkMore, more);
        DrawSeparator(hDC, m_Params.bkMore, m_strMoreSeparator, more);
    }
}

void RixMessageBoxDialog::PaintBox(HDC hPaintDC)
{
    RECT work;
    ::GetClientRect(m_hWnd, &work);
    if (!m_bMoreShown)
        work.bottom += m_nMoreHeight;
    const int nWidth = work.right - work.left;
    const int nHeight = work.bottom - work.top;
    if (nWidth <= 0 || nHeight <= 0)
        return;

    std::optional<gdi::WindowDC> windowDC;
    HDC hDC = hPaintDC;
    if (!hDC) {
        windowDC.emplace(m_hWnd);
        hDC = *windowDC;
    }
    if (!hDC)
        return;

    // The effects are the costly part: they are computed once, for the expanded size.
    if (!m_Background) {
        m_Background.reset(::CreateCompatibleBitmap(hDC, nWidth, nHeight));
        m_BackgroundSize = { nWidth, nHeight };
        if (m_Background) {
            gdi::MemoryDC memory(hDC);
            gdi::SelectGuard select(memory, m_Background.get());
            BuildBackground(memory, work);
        }
    }

    gdi::Bitmap frame(::CreateCompatibleBitmap(hDC, nWidth, nHeight));
    gdi::MemoryDC memory(hDC);
    // A box too large for an off-screen bitmap is painted straight into the window.
    const bool bOffScreen = frame && memory;
    HDC hTarget = bOffScreen ? static_cast<HDC>(memory) : hDC;
    gdi::SelectGuard selectFrame(memory, bOffScreen ? frame.get() : nullptr);
    if (m_Background) {
        gdi::MemoryDC source(hDC);
        gdi::SelectGuard select(source, m_Background.get());
        ::BitBlt(hTarget, 0, 0, std::min<int>(nWidth, m_BackgroundSize.cx), std::min<int>(nHeight, m_BackgroundSize.cy),
            source, 0, 0, SRCCOPY);
    } else {
        BuildBackground(hTarget, work);
    }

    {
        gdi::SelectGuard font(hTarget, m_Font.get());
        const int headerBottom = work.top + m_nHeaderHeight;
        if (m_nHeaderHeight != 0 && !m_strHeader.empty())
            m_HeaderRenderer.DrawMeasuredMarkup(hTarget,
                { work.left + RIXBOX_TEXT_MARGIN_X, work.top + RIXBOX_TEXT_MARGIN_Y, work.right - RIXBOX_TEXT_MARGIN_X,
                    work.top + m_nHeaderHeight - RIXBOX_TEXT_MARGIN_Y });
        if (m_nMessageHeight != 0)
            m_TextRenderer.DrawMeasuredMarkup(hTarget,
                { work.left + RIXBOX_TEXT_MARGIN_X, headerBottom + RIXBOX_TEXT_MARGIN_Y,
                    work.right - RIXBOX_TEXT_MARGIN_X, headerBottom + m_nMessageHeight - RIXBOX_TEXT_MARGIN_Y });
        if (m_bMoreShown && m_nMoreHeight != 0)
            m_MoreRenderer.DrawMeasuredMarkup(hTarget,
                { work.left + RIXBOX_TEXT_MARGIN_X, work.bottom - m_nMoreHeight + RIXBOX_TEXT_MARGIN_Y,
                    work.right - RIXBOX_TEXT_MARGIN_X, work.bottom });
    }
    if (!bOffScreen)
        return;

    if (hPaintDC) {
        ::BitBlt(hDC, 0, 0, nWidth, nHeight, memory, 0, 0, SRCCOPY);
        return;
    }
    // A link changed under the mouse: only the text bands are drawn again.
    const int nTextBands = m_nHeaderHeight + m_nMessageHeight;
    ::BitBlt(hDC, 0, 0, nWidth, nTextBands, memory, 0, 0, SRCCOPY);
    if (m_bMoreShown && m_nMoreHeight != 0)
        ::BitBlt(hDC, 0, nHeight - m_nMoreHeight, nWidth, m_nMoreHeight, memory, 0, nHeight - m_nMoreHeight, SRCCOPY);
}
