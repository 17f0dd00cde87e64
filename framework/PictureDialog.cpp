#include "PictureDialog.h"

#include "PictureBackground.h"

CPictureDialog::CPictureDialog(UINT nIDTemplate, UINT nPictureId, HWND hWndParent)
    : CDialog(nIDTemplate, hWndParent), m_background(LoadPicture(nPictureId))
{
}

LRESULT CPictureDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Without the picture the dialog is erased as usual.
    if (message == WM_ERASEBKGND && PaintPictureBackground(reinterpret_cast<HDC>(wParam), m_background.get()))
        return TRUE;
    return CDialog::WindowProc(message, wParam, lParam);
}
