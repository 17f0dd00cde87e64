// The renderer's link calls the box makes. Until the renderer reports links these do nothing.
#pragma once

#include "markup/RixMarkupRenderer.h"

inline void RixBoxSetHoverTarget(RixMarkupRenderer&, HWND, UINT, LPARAM) { }
inline bool RixBoxLinkHover(RixMarkupRenderer&, POINT)
{
    return false;
}
inline void RixBoxLinkClick(RixMarkupRenderer&, POINT) { }
