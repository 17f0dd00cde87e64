// A dialog that paints a picture as its background, at its top left corner.
#pragma once

#include "Dialog.h"
#include "Gdi.h"

class CPictureDialog : public CDialog {
public:
    CPictureDialog(UINT nIDTemplate, UINT nPictureId, HWND hWndParent);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    gdi::Bitmap m_background;
};
