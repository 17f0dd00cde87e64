#include "PictureBackground.h"

#include "Gdi.h"

BOOL PaintPictureBackground(HDC hDC, HBITMAP hBitmap)
{
    if (!hBitmap)
        return FALSE;
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof(bm), &bm);
    gdi::MemoryDC memDC(hDC);
    gdi::SelectGuard select(memDC, hBitmap);
    ::BitBlt(hDC, 0, 0, bm.bmWidth, bm.bmHeight, memDC, 0, 0, SRCCOPY);
    return TRUE;
}

HBITMAP LoadPicture(UINT nBitmapId, UINT flags)
{
    return static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nBitmapId), IMAGE_BITMAP, 0, 0, flags));
}
