#include "IconButton.h"

#include <algorithm>
#include <string>

namespace {

// A negative extent grows left/up from x/y.
void FillSolid(HDC hdc, int x, int y, int cx, int cy, COLORREF cr)
{
    gdi::FillSolid(
        hdc, RECT { std::min(x, x + cx), std::min(y, y + cy), std::max(x, x + cx), std::max(y, y + cy) }, cr);
}

using gdi::FillSolid;

// Top and left edges in crTopLeft, right and bottom edges in crBottomRight.
void Draw3dRect(HDC hdc, const RECT& rc, COLORREF crTopLeft, COLORREF crBottomRight)
{
    const int x = rc.left;
    const int y = rc.top;
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    FillSolid(hdc, x, y, cx - 1, 1, crTopLeft);
    FillSolid(hdc, x, y, 1, cy - 1, crTopLeft);
    FillSolid(hdc, x + cx, y, -1, cy, crBottomRight);
    FillSolid(hdc, x, y + cy, cx, -1, crBottomRight);
}

void PolylineInColor(HDC hdc, COLORREF cr, const POINT (&points)[3])
{
    gdi::Pen pen(::CreatePen(PS_SOLID, 1, cr));
    if (!pen)
        return;
    gdi::SelectGuard selPen(hdc, pen.get());
    ::Polyline(hdc, points, 3);
}

int CentreOffset(LONG extent, int size)
{
    return (static_cast<int>(extent) - size) / 2;
}

bool IsCheckBoxType(UINT type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

// The size of an icon from its own bitmaps; the hot spot of an icon is only its centre rounded down.
bool QueryIconSize(HICON hIcon, int& cx, int& cy)
{
    ICONINFO info = {};
    if (!hIcon || !::GetIconInfo(hIcon, &info))
        return false;
    gdi::Bitmap color(info.hbmColor);
    gdi::Bitmap mask(info.hbmMask);
    BITMAP bm = {};
    if (color && ::GetObjectA(color.get(), sizeof(bm), &bm)) {
        cx = bm.bmWidth;
        cy = bm.bmHeight;
    } else if (mask && ::GetObjectA(mask.get(), sizeof(bm), &bm)) {
        // A monochrome icon keeps its AND and XOR masks one above the other.
        cx = bm.bmWidth;
        cy = bm.bmHeight / 2;
    } else {
        cx = 2 * static_cast<int>(info.xHotspot);
        cy = 2 * static_cast<int>(info.yHotspot);
    }
    return true;
}

bool IsListed(const void* h, std::initializer_list<const void*> keep)
{
    return h && std::find(keep.begin(), keep.end(), h) != keep.end();
}

template <class TOwner> void ReleaseUnlessKept(TOwner& owner, std::initializer_list<const void*> keep)
{
    if (IsListed(owner.get(), keep))
        owner.release();
    else
        owner.reset();
}

} // namespace

CIconButton::CIconButton()
{
    ResetColors(FALSE);
}

CIconButton::~CIconButton()
{
    // Windows first, so nothing paints with the images while they go.
    m_ToolTip.DestroyWindow();
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    DiscardSnapshot();
    ReleaseImages();
}

void CIconButton::ReleaseImages(std::initializer_list<const void*> keep)
{
    for (IconImage& icon : m_icons) {
        ReleaseUnlessKept(icon.hIcon, keep);
        icon.cx = icon.cy = 0;
    }
    for (BitmapImage& bitmap : m_bitmaps) {
        ReleaseUnlessKept(bitmap.hBitmap, keep);
        bitmap.hMask.reset();
        bitmap.cx = bitmap.cy = 0;
        bitmap.crTransparent = 0;
    }
}

void CIconButton::Repaint(BOOL bRepaint)
{
    // Without a window InvalidateRect would repaint the whole desktop.
    if (bRepaint && m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

int CIconButton::SetIcon(int nIconInId, int nIconOutId)
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    auto load = [hInstance](int id) -> HICON {
        return static_cast<HICON>(::LoadImageA(hInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    };
    HICON hIconIn = load(nIconInId);
    HICON hIconOut = nIconOutId ? load(nIconOutId) : nullptr;
    return SetIcon(hIconIn, hIconOut);
}

int CIconButton::SetIcon(HICON hIconIn, HICON hIconOut)
{
    // One handle in both slots would be destroyed twice.
    if (hIconOut == hIconIn)
        hIconOut = nullptr;
    ReleaseImages({ hIconIn, hIconOut });
    m_icons[kImageHot].hIcon.reset(hIconIn);
    m_icons[kImageNormal].hIcon.reset(hIconOut);

    for (int i = kImageHot; i <= kImageNormal; ++i) {
        IconImage& icon = m_icons[i];
        if (i == kImageNormal && !icon.hIcon)
            continue;
        if (!QueryIconSize(icon.hIcon.get(), icon.cx, icon.cy)) {
            ReleaseImages();
            return ICONBUTTON_BAD_IMAGE;
        }
    }
    Repaint(TRUE);
    return ICONBUTTON_OK;
}

int CIconButton::SetBitmapPair(HBITMAP hBitmapIn, COLORREF crTransColorIn, HBITMAP hBitmapOut, COLORREF crTransColorOut)
{
    // One handle in both slots would be deleted twice and masked twice.
    if (hBitmapOut == hBitmapIn)
        hBitmapOut = nullptr;
    ReleaseImages({ hBitmapIn, hBitmapOut });
    // Own both before anything can fail, so a failure frees both.
    m_bitmaps[kImageHot].hBitmap.reset(hBitmapIn);
    m_bitmaps[kImageHot].crTransparent = crTransColorIn;
    m_bitmaps[kImageNormal].hBitmap.reset(hBitmapOut);
    m_bitmaps[kImageNormal].crTransparent = crTransColorOut;

    for (BitmapImage& bitmap : m_bitmaps) {
        if (!bitmap.hBitmap)
            continue;
        BITMAP bm = {};
        if (::GetObjectType(bitmap.hBitmap.get()) != OBJ_BITMAP
            || !::GetObjectA(bitmap.hBitmap.get(), sizeof(bm), &bm)) {
            ReleaseImages();
            return ICONBUTTON_BAD_IMAGE;
        }
        bitmap.cx = bm.bmWidth;
        bitmap.cy = bm.bmHeight;
        bitmap.hMask = CreateMaskFromBitmap(bitmap.hBitmap.get(), bitmap.cx, bitmap.cy, bitmap.crTransparent);
        if (!bitmap.hMask) {
            ReleaseImages();
            return ICONBUTTON_MASK_FAILED;
        }
    }
    Repaint(TRUE);
    return ICONBUTTON_OK;
}

gdi::Bitmap CIconButton::CreateMaskFromBitmap(HBITMAP hSource, int cx, int cy, COLORREF crTransparent)
{
    if (!hSource || cx <= 0 || cy <= 0)
        return {};
    gdi::Bitmap mask(::CreateBitmap(cx, cy, 1, 1, nullptr));
    gdi::MemoryDC dcSource(nullptr);
    gdi::MemoryDC dcMask(nullptr);
    if (!mask || !dcSource.get() || !dcMask.get())
        return {};
    {
        gdi::SelectGuard selSource(dcSource, hSource);
        gdi::SelectGuard selMask(dcMask, mask.get());
        // A bitmap selected into some other DC cannot be selected here.
        if (::GetCurrentObject(dcSource, OBJ_BITMAP) != hSource || ::GetCurrentObject(dcMask, OBJ_BITMAP) != mask.get())
            return {};

        // Colour to monochrome: pixels of the background colour become white, the rest black.
        ::SetBkColor(dcSource, crTransparent);
        if (!::BitBlt(dcMask, 0, 0, cx, cy, dcSource, 0, 0, SRCCOPY))
            return {};
        // Monochrome to colour: white bits take the background (black), black bits the text colour (white).
        ::SetTextColor(dcSource, kWhite);
        ::SetBkColor(dcSource, kBlack);
        if (!::BitBlt(dcSource, 0, 0, cx, cy, dcMask, 0, 0, SRCAND))
            return {};
    }
    return mask;
}

int CIconButton::SetAlign(BYTE byAlign, BOOL bRepaint)
{
    if (byAlign > ICONBUTTON_ALIGN_NONE)
        return ICONBUTTON_BAD_ALIGN;
    m_nImagePlacement = byAlign;
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

int CIconButton::SetPressShift(int nStyle, BOOL bRepaint)
{
    switch (nStyle) {
    case ICONBUTTON_PRESS_DIAGONAL:
        m_ptPressShift = kPressShiftDiagonal;
        break;
    case ICONBUTTON_PRESS_DOWN:
        m_ptPressShift = kPressShiftDown;
        break;
    default:
        return ICONBUTTON_BAD_PRESS_STYLE;
    }
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

int CIconButton::SetCheck(int nCheck, BOOL bRepaint)
{
    if (m_bCheckMode) {
        m_nCheck = nCheck ? 1 : 0;
        Repaint(bRepaint);
    }
    return ICONBUTTON_OK;
}

int CIconButton::ResetColors(BOOL bRepaint)
{
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF crText = ::GetSysColor(COLOR_BTNTEXT);
    m_colors[ICONBUTTON_COLOR_BK_IN] = crFace;
    m_colors[ICONBUTTON_COLOR_FG_IN] = crText;
    m_colors[ICONBUTTON_COLOR_BK_OUT] = crFace;
    m_colors[ICONBUTTON_COLOR_FG_OUT] = crText;
    m_colors[ICONBUTTON_COLOR_BK_FOCUS] = crFace;
    m_colors[ICONBUTTON_COLOR_FG_FOCUS] = crText;
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

int CIconButton::SetColor(BYTE byColorIndex, COLORREF crColor, BOOL bRepaint)
{
    if (byColorIndex > ICONBUTTON_COLOR_LAST)
        return ICONBUTTON_BAD_COLOR_INDEX;
    m_colors[byColorIndex] = crColor;
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

int CIconButton::GetColor(BYTE byColorIndex, COLORREF* pcrColor) const
{
    // Nowhere to put it counts as a bad request for that slot.
    if (byColorIndex > ICONBUTTON_COLOR_LAST || !pcrColor)
        return ICONBUTTON_BAD_COLOR_INDEX;
    *pcrColor = m_colors[byColorIndex];
    return ICONBUTTON_OK;
}

int CIconButton::ShadeColor(BYTE byColorIndex, short shShade, BOOL bRepaint)
{
    if (byColorIndex > ICONBUTTON_COLOR_LAST)
        return ICONBUTTON_BAD_COLOR_INDEX;
    if (shShade < -ICONBUTTON_MAX_SHADE || shShade > ICONBUTTON_MAX_SHADE)
        return ICONBUTTON_BAD_SHADE;
    const COLORREF cr = m_colors[byColorIndex];
    const int r = GetRValue(cr);
    const int g = GetGValue(cr);
    const int b = GetBValue(cr);
    // One offset for all three channels keeps the hue; it stops where the first channel saturates.
    int offset = shShade;
    if (shShade > 0)
        offset = std::min({ offset, 255 - r, 255 - g, 255 - b });
    else
        offset = std::max({ offset, -r, -g, -b });
    m_colors[byColorIndex] = RGB(r + offset, g + offset, b + offset);
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

int CIconButton::UseParentBackground(BOOL bRepaint)
{
    m_bUseSnapshot = TRUE;
    DiscardSnapshot();
    Repaint(bRepaint);
    return ICONBUTTON_OK;
}

void CIconButton::InitToolTip()
{
    m_ToolTip.EnsureCreated(m_hWnd, m_dwTipStyle, FALSE, kMaxTipWidth);
}

void CIconButton::SetToolTipText(LPCSTR lpszText, BOOL bActivate)
{
    if (!lpszText || !m_ToolTip.EnsureCreated(m_hWnd, m_dwTipStyle, FALSE, kMaxTipWidth))
        return;
    m_ToolTip.SetControlTip(m_hWnd, lpszText, kToolId);
    m_ToolTip.Activate(bActivate);
}

CIconButton::ImagePlacement CIconButton::ComputeImagePlacement(BYTE byAlign, const RECT& rcItem, const RECT& rcCaption,
    int cx, int cy, BOOL bHasCaption, POINT ptMargin, BOOL bShift, POINT ptShift)
{
    RECT rcImage = rcItem;
    RECT rcText = rcCaption;
    switch (byAlign) {
    case ICONBUTTON_ALIGN_LEFT:
        if (bHasCaption) {
            rcImage.left += ptMargin.x;
            rcText.left += cx + ptMargin.x;
        } else {
            rcImage.left += CentreOffset(rcImage.right - rcImage.left, cx);
        }
        rcImage.top += CentreOffset(rcImage.bottom - rcImage.top, cy);
        break;
    case ICONBUTTON_ALIGN_ABOVE:
        rcImage.left += CentreOffset(rcImage.right - rcImage.left, cx);
        if (bHasCaption) {
            rcImage.top = ptMargin.y;
            rcText.top += cy;
        } else {
            rcImage.top += CentreOffset(rcImage.bottom - rcImage.top, cy);
        }
        break;
    case ICONBUTTON_ALIGN_RIGHT:
        if (bHasCaption) {
            rcText.right -= rcText.left + cx + ptMargin.x;
            rcText.left = ptMargin.x;
            rcImage.left = rcItem.right - ptMargin.x - cx;
            rcImage.top += CentreOffset(rcImage.bottom - rcImage.top, cy);
        } else {
            rcImage.left += CentreOffset(rcImage.right - rcImage.left, cx);
        }
        break;
    default: // ICONBUTTON_ALIGN_NONE: top-left of the item
        break;
    }
    if (bShift)
        ::OffsetRect(&rcImage, ptShift.x, ptShift.y);
    rcImage.right = rcImage.left + cx;
    rcImage.bottom = rcImage.top + cy;
    return { rcImage, rcText };
}

int CIconButton::ChooseImage(BOOL bHasHot, BOOL bHasNormal, BOOL bPressed, BOOL bHot, BOOL bCheckMode)
{
    // A check box keeps its normal image under the mouse; only its checked state counts.
    const bool bIn = bPressed || (!bCheckMode && bHot);
    if (bHasNormal && !bIn)
        return kImageNormal;
    if (bHasHot)
        return kImageHot;
    return bHasNormal ? kImageNormal : -1;
}

void CIconButton::PreSubclassWindow()
{
    LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    m_nButtonType = static_cast<UINT>(style) & kTypeBits;
    const UINT type = m_nButtonType & kTypeMask;
    if (IsCheckBoxType(type))
        m_bCheckMode = TRUE;
    if (type == BS_DEFPUSHBUTTON) {
        m_bIsDefault = TRUE;
        m_nButtonType = BS_PUSHBUTTON;
    }
    style = (style & ~static_cast<LONG_PTR>(kTypeBits)) | BS_OWNERDRAW;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, style);
    ::SetWindowPos(
        m_hWnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CButton::PreSubclassWindow();
}

BOOL CIconButton::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg) {
        InitToolTip();
        if (m_ToolTip.m_hWnd)
            m_ToolTip.RelayEvent(pMsg);
        // A double click acts as two clicks.
        if (pMsg->message == WM_LBUTTONDBLCLK && pMsg->hwnd == m_hWnd)
            pMsg->message = WM_LBUTTONDOWN;
    }
    return CButton::PreTranslateMessage(pMsg);
}

LRESULT CIconButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: {
        const LRESULT result = CButton::WindowProc(message, wParam, lParam);
        TrackHot(wParam);
        return result;
    }
    case WM_MOUSELEAVE:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
        LeaveHot();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            LeaveHot();
        break;
    case WM_ENABLE:
        if (!wParam) {
            MoveFocusAway();
            LeaveHot();
        }
        break;
    case WM_SYSCOLORCHANGE:
        DiscardSnapshot();
        ResetColors(TRUE);
        break;
    case WM_MOVE:
    case WM_SIZE:
        // The snapshot shows the old place or has the old size.
        DiscardSnapshot();
        break;
    case WM_GETDLGCODE: {
        LRESULT code = CButton::WindowProc(message, wParam, lParam);
        code &= ~static_cast<LRESULT>(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        return code | (m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case BM_SETSTYLE: {
        // The dialog manager moves the default state around with this; the control stays owner-drawn.
        const UINT type = static_cast<UINT>(wParam) & kTypeMask;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            m_bIsDefault = type == BS_DEFPUSHBUTTON;
        return CButton::WindowProc(message, (wParam & ~kStyleClearBits) | kStyleSetBits, lParam);
    }
    case BM_SETCHECK:
        SetCheck(wParam == BST_CHECKED || wParam == BST_INDETERMINATE ? 1 : 0, TRUE);
        return 0;
    case BM_GETCHECK:
        return m_nCheck;
    default:
        break;
    }
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CIconButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        if (pResult)
            *pResult = TRUE;
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (pResult)
            *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnClicked();
        return FALSE; // the parent still gets the click
    default:
        break;
    }
    return CButton::OnChildNotify(message, wParam, lParam, pResult);
}

void CIconButton::OnClicked()
{
    ::SetFocus(m_hWnd);
    if (m_bCheckMode) {
        m_nCheck = m_nCheck ? 0 : 1;
        Repaint(TRUE);
    }
}

void CIconButton::TrackHot(WPARAM wMouseKeys)
{
    POINT pt = {};
    ::GetCursorPos(&pt);
    HWND hWndUnder = ::WindowFromPoint(pt);
    if (((wMouseKeys & MK_LBUTTON) && !m_bHot) || !m_bFlat)
        return;
    if (hWndUnder == m_hWnd && (::GetActiveWindow() || m_bTrackInactive)) {
        if (!m_bHot) {
            m_bHot = TRUE;
            Repaint(TRUE);
            TRACKMOUSEEVENT tme = {};
            tme.cbSize = sizeof(tme);
            tme.dwFlags = TME_LEAVE;
            tme.hwndTrack = m_hWnd;
            ::TrackMouseEvent(&tme);
        }
    } else {
        LeaveHot();
    }
}

void CIconButton::LeaveHot()
{
    if (m_bFlat && m_bHot) {
        m_bHot = FALSE;
        Repaint(TRUE);
    }
}

void CIconButton::MoveFocusAway()
{
    // Only the focus holder hands it on; disabling a button must not pull the focus from elsewhere.
    if (!m_hWnd || ::GetFocus() != m_hWnd)
        return;
    HWND hParent = ::GetParent(m_hWnd);
    HWND hNext = hParent ? ::GetNextDlgTabItem(hParent, m_hWnd, FALSE) : nullptr;
    if (hNext && hNext != m_hWnd)
        ::SetFocus(hNext);
    else if (hParent)
        ::SetFocus(hParent);
}

BOOL CIconButton::TakeSnapshot()
{
    HWND hParent = ::GetParent(m_hWnd);
    if (!hParent)
        return FALSE;
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);
    const int cx = rcClient.right - rcClient.left;
    const int cy = rcClient.bottom - rcClient.top;
    if (cx <= 0 || cy <= 0)
        return FALSE;
    RECT rcWindow = {};
    ::GetWindowRect(m_hWnd, &rcWindow);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcWindow), 2);

    gdi::WindowDC dcParent(hParent);
    if (!static_cast<HDC>(dcParent))
        return FALSE;
    gdi::MemoryDC dcSnapshot(dcParent);
    gdi::Bitmap bmpSnapshot(::CreateCompatibleBitmap(dcParent, cx, cy));
    if (!dcSnapshot.get() || !bmpSnapshot)
        return FALSE;
    HGDIOBJ hPrev = ::SelectObject(dcSnapshot, bmpSnapshot.get());
    if (!hPrev)
        return FALSE;

    // The screen may already show our own pixels at this place, so let the parent paint its
    // background into the snapshot; copy the screen only when it does not erase.
    POINT ptOrg = {};
    ::SetViewportOrgEx(dcSnapshot, -rcWindow.left, -rcWindow.top, &ptOrg);
    const LRESULT erased = ::SendMessageA(hParent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dcSnapshot.get()), 0);
    ::SetViewportOrgEx(dcSnapshot, ptOrg.x, ptOrg.y, nullptr);
    if (!erased)
        ::BitBlt(dcSnapshot, 0, 0, cx, cy, dcParent, rcWindow.left, rcWindow.top, SRCCOPY);

    m_bmpSnapshot = std::move(bmpSnapshot);
    m_dcSnapshot.emplace(std::move(dcSnapshot));
    m_pbmpPrevSnapshot = hPrev;
    return TRUE;
}

void CIconButton::DiscardSnapshot()
{
    if (m_dcSnapshot && m_pbmpPrevSnapshot)
        ::SelectObject(m_dcSnapshot->get(), m_pbmpPrevSnapshot);
    m_pbmpPrevSnapshot = nullptr;
    m_dcSnapshot.reset();
    m_bmpSnapshot.reset();
}

BOOL CIconButton::PaintSnapshot(HDC hdc)
{
    if (!m_dcSnapshot && !TakeSnapshot())
        return FALSE;
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);
    return ::BitBlt(
        hdc, 0, 0, rcClient.right - rcClient.left, rcClient.bottom - rcClient.top, m_dcSnapshot->get(), 0, 0, SRCCOPY);
}

void CIconButton::DrawItem(DRAWITEMSTRUCT* pDrawItemStruct)
{
    if (!pDrawItemStruct || !pDrawItemStruct->hDC)
        return;
    HDC hdc = pDrawItemStruct->hDC;
    const UINT state = pDrawItemStruct->itemState;
    const BOOL bSelected = (state & ODS_SELECTED) != 0;
    m_bIsPressed = m_bCheckMode ? (bSelected || m_nCheck != 0) : bSelected;
    m_bIsFocused = (state & ODS_FOCUS) != 0;
    m_bIsDisabled = (state & ODS_DISABLED) != 0;

    // Everything we change in the DC goes back as it was.
    const int nSaved = ::SaveDC(hdc);
    RECT rc = pDrawItemStruct->rcItem;
    ::SetBkMode(hdc, TRANSPARENT);

    if (!m_bUseSnapshot || !PaintSnapshot(hdc))
        PaintFace(hdc, rc);
    PaintEdge(hdc, rc);

    const BOOL bHasCaption = ::GetWindowTextLengthA(m_hWnd) > 0;
    const RECT& rcItem = pDrawItemStruct->rcItem;
    RECT rcCaption = rcItem;
    if (m_icons[kImageHot].hIcon || m_icons[kImageNormal].hIcon)
        PaintIcon(hdc, bHasCaption, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);
    if (m_bitmaps[kImageHot].hBitmap || m_bitmaps[kImageNormal].hBitmap) {
        ::SetBkColor(hdc, kWhite);
        PaintBitmap(hdc, bHasCaption, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);
    }
    if (bHasCaption)
        PaintCaption(hdc, bHasCaption, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);

    if (m_bIsFocused && (!m_bFlat || m_bFlatFocusRect)) {
        RECT rcFocus = rc;
        ::InflateRect(&rcFocus, -kFocusInset, -kFocusInset);
        // The dotted pattern takes the DC's colours; keep it the usual black on white.
        ::SetTextColor(hdc, kBlack);
        ::SetBkColor(hdc, kWhite);
        ::DrawFocusRect(hdc, &rcFocus);
    }
    if (nSaved)
        ::RestoreDC(hdc, nSaved);
}

void CIconButton::PaintFace(HDC hdc, RECT& rcFace)
{
    if (!m_bFlat && (m_bIsFocused || m_bIsDefault)) {
        ::FrameRect(hdc, &rcFace, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::InflateRect(&rcFace, -1, -1);
    }
    COLORREF crFace = m_colors[ICONBUTTON_COLOR_BK_OUT];
    if (m_bHot || m_bIsPressed)
        crFace = m_colors[ICONBUTTON_COLOR_BK_IN];
    else if (m_bIsFocused)
        crFace = m_colors[ICONBUTTON_COLOR_BK_FOCUS];
    FillSolid(hdc, rcFace, crFace);
}

void CIconButton::PaintEdge(HDC hdc, const RECT& rcEdge)
{
    if (m_bIsPressed) {
        if (!m_bFlat)
            ::FrameRect(hdc, &rcEdge, ::GetSysColorBrush(COLOR_BTNSHADOW));
        else if (m_bHotBorder)
            Draw3dRect(hdc, rcEdge, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        return;
    }
    if (!m_bFlat) {
        const LONG l = rcEdge.left;
        const LONG t = rcEdge.top;
        const LONG r = rcEdge.right;
        const LONG b = rcEdge.bottom;
        PolylineInColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT), { { l, b - 1 }, { l, t }, { r, t } });
        PolylineInColor(hdc, ::GetSysColor(COLOR_3DLIGHT), { { l + 1, b - 1 }, { l + 1, t + 1 }, { r, t + 1 } });
        PolylineInColor(hdc, ::GetSysColor(COLOR_3DDKSHADOW), { { l, b - 1 }, { r - 1, b - 1 }, { r - 1, t - 1 } });
        PolylineInColor(hdc, ::GetSysColor(COLOR_BTNSHADOW), { { l + 1, b - 2 }, { r - 2, b - 2 }, { r - 2, t } });
        return;
    }
    if (m_bHot && m_bHotBorder)
        Draw3dRect(hdc, rcEdge, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
}

void CIconButton::PaintIcon(
    HDC hdc, BOOL bHasCaption, const RECT& rcItem, RECT& rcCaption, BOOL bIsPressed, BOOL bIsDisabled)
{
    const int index = ChooseImage(m_icons[kImageHot].hIcon.get() != nullptr,
        m_icons[kImageNormal].hIcon.get() != nullptr, bIsPressed, m_bHot, m_bCheckMode);
    if (index < 0)
        return;
    const IconImage& icon = m_icons[index];
    const ImagePlacement place = ComputeImagePlacement(m_nImagePlacement, rcItem, rcCaption, icon.cx, icon.cy,
        bHasCaption, m_ptImageMargin, bIsPressed && !m_bCheckMode, m_ptPressShift);
    rcCaption = place.caption;
    ::DrawStateA(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.hIcon.get()), 0, place.image.left,
        place.image.top, icon.cx, icon.cy, DST_ICON | (bIsDisabled ? DSS_DISABLED : DSS_NORMAL));
}

void CIconButton::PaintBitmap(
    HDC hdc, BOOL bHasCaption, const RECT& rcItem, RECT& rcCaption, BOOL bIsPressed, BOOL bIsDisabled)
{
    const int index = ChooseImage(m_bitmaps[kImageHot].hBitmap.get() != nullptr,
        m_bitmaps[kImageNormal].hBitmap.get() != nullptr, bIsPressed, m_bHot, m_bCheckMode);
    if (index < 0)
        return;
    const BitmapImage& image = m_bitmaps[index];
    const ImagePlacement place = ComputeImagePlacement(m_nImagePlacement, rcItem, rcCaption, image.cx, image.cy,
        bHasCaption, m_ptImageMargin, bIsPressed && !m_bCheckMode, m_ptPressShift);
    rcCaption = place.caption;
    if (!image.hMask || image.cx <= 0 || image.cy <= 0)
        return;
    const int x = place.image.left;
    const int y = place.image.top;

    gdi::MemoryDC dcImage(hdc);
    gdi::MemoryDC dcMask(hdc);
    if (!dcImage.get() || !dcMask.get())
        return;

    if (bIsDisabled && m_bEmbossDisabled) {
        gdi::Bitmap bmpFlat(::CreateCompatibleBitmap(hdc, image.cx, image.cy));
        if (!bmpFlat)
            return;
        {
            // The image on white, so that DrawState can emboss it.
            gdi::MemoryDC dcFlat(hdc);
            if (!dcFlat.get())
                return;
            gdi::SelectGuard selFlat(dcFlat, bmpFlat.get());
            gdi::SelectGuard selImage(dcImage, image.hBitmap.get());
            gdi::SelectGuard selMask(dcMask, image.hMask.get());
            ::SetTextColor(dcFlat, kBlack);
            ::SetBkColor(dcFlat, kWhite);
            FillSolid(dcFlat, 0, 0, image.cx, image.cy, kWhite);
            ::BitBlt(dcFlat, 0, 0, image.cx, image.cy, dcMask, 0, 0, SRCAND);
            ::BitBlt(dcFlat, 0, 0, image.cx, image.cy, dcImage, 0, 0, SRCPAINT);
        }
        // DrawState selects the bitmap itself, so it must be out of dcFlat by now.
        ::DrawStateA(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(bmpFlat.get()), 0, x, y, image.cx, image.cy,
            DST_BITMAP | DSS_DISABLED);
        return;
    }

    gdi::SelectGuard selImage(dcImage, image.hBitmap.get());
    gdi::SelectGuard selMask(dcMask, image.hMask.get());
    // The mask's black bits take the text colour: it must be black for SRCAND to cut the hole.
    ::SetTextColor(hdc, kBlack);
    ::SetBkColor(hdc, kWhite);
    ::BitBlt(hdc, x, y, image.cx, image.cy, dcMask, 0, 0, SRCAND);
    ::BitBlt(hdc, x, y, image.cx, image.cy, dcImage, 0, 0, SRCPAINT);
}

void CIconButton::PaintCaption(
    HDC hdc, BOOL bHasCaption, const RECT& /*rcItem*/, RECT& rcCaption, BOOL bIsPressed, BOOL bIsDisabled)
{
    if (!bHasCaption)
        return;
    const std::string text = GetWindowText();
    if (text.empty())
        return;
    HFONT hFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    gdi::SelectGuard selFont(hdc, hFont);

    if (bIsPressed && !m_bCheckMode)
        ::OffsetRect(&rcCaption, m_ptPressShift.x, m_ptPressShift.y);

    // Measure the wrapped block, then centre it in the caption area.
    RECT rcText = rcCaption;
    ::DrawTextA(hdc, text.c_str(), -1, &rcText, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    ::OffsetRect(&rcText,
        rcCaption.left - rcText.left + ((rcCaption.right - rcCaption.left) - (rcText.right - rcText.left)) / 2,
        rcCaption.top - rcText.top + ((rcCaption.bottom - rcCaption.top) - (rcText.bottom - rcText.top)) / 2);
    rcCaption = rcText;

    ::SetBkMode(hdc, TRANSPARENT);
    if (bIsDisabled) {
        RECT rcHighlight = rcCaption;
        ::OffsetRect(&rcHighlight, 1, 1);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextA(hdc, text.c_str(), -1, &rcHighlight, DT_WORDBREAK | DT_CENTER);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextA(hdc, text.c_str(), -1, &rcCaption, DT_WORDBREAK | DT_CENTER);
        return;
    }
    BYTE fg = ICONBUTTON_COLOR_FG_OUT;
    BYTE bk = ICONBUTTON_COLOR_BK_OUT;
    if (m_bHot || bIsPressed) {
        fg = ICONBUTTON_COLOR_FG_IN;
        bk = ICONBUTTON_COLOR_BK_IN;
    } else if (m_bIsFocused) {
        fg = ICONBUTTON_COLOR_FG_FOCUS;
        bk = ICONBUTTON_COLOR_BK_FOCUS;
    }
    ::SetTextColor(hdc, m_colors[fg]);
    ::SetBkColor(hdc, m_colors[bk]);
    ::DrawTextA(hdc, text.c_str(), -1, &rcCaption, DT_WORDBREAK | DT_CENTER);
}
