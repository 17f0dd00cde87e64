// Windows that paint a picture as their background copy it to their top left corner.
#pragma once

#include "Platform.h"

// Copies the whole bitmap to (0, 0); FALSE (nothing painted) without a bitmap.
BOOL PaintPictureBackground(HDC hDC, HBITMAP hBitmap);
HBITMAP LoadPicture(UINT nBitmapId, UINT flags = 0);
