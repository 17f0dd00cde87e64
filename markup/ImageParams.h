// The attributes of the image tags ("bmp", "icon", "ilst"), read into one record before each tag.
#pragma once

#include "markup/MarkupValues.h"

#include <string>
#include <string_view>

// Shadow settings of the renderer, which the "s" effect letter depends on.
struct RixShadowSettings {
    int nOffsetX = 4;
    int nOffsetY = 4;
    int nDarkness = 50;
    bool bSoftShadow = true;
    int nBlurWidth = 7;
    int nBlurHeight = 7;
};

struct ImageParams {
    int nIndex = 0;
    int nIdRes = 0;
    int nIdDll = 0;
    UINT_PTR nHandle = 0;
    std::string strFile;
    std::string strSrcDll;
    bool bMask = false;
    COLORREF crMask = 0x00FF00FF;
    DWORD dwStyle = 0;
    DWORD dwHotStyle = 0;
    int cx = 0;
    int cy = 0;
    // Drawn size: a percentage of the natural size, or pixels.
    int nWidth = 100;
    bool bWidthPercent = true;
    int nHeight = 100;
    bool bHeightPercent = true;
    int nSpeed = 0;
};

// The image effect flags of a "style" or "hotstyle" value ("g", "d", "l", "s").
DWORD ParseEffectLetters(std::string_view letters, const RixShadowSettings& shadow);

ImageParams ReadImageParams(std::string_view params, const RixValueContext& context, const RixShadowSettings& shadow);
