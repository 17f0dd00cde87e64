#include "markup/ImageParams.h"

#include "draw/RixEffectPainter.h"
#include "markup/MarkupText.h"

namespace {

void ReadDrawnSize(const RixValueContext& context, std::string_view value, int& size, bool& bPercent)
{
    if (!value.empty() && value.back() == '%') {
        size = LeadingDecimal(value);
        bPercent = true;
    } else {
        size = ParseSize(context, value, size, false);
        bPercent = false;
    }
}

} // namespace

DWORD ParseEffectLetters(std::string_view letters, const RixShadowSettings& shadow)
{
    DWORD style = 0;
    for (char c : letters) {
        if (c == 'g')
            style |= EFFECT_GREY;
        else if (c == 'd')
            style |= EFFECT_DARKER;
        else if (c == 'l')
            style |= EFFECT_LIGHTER;
        else if (c == 's' && (shadow.nOffsetX != 0 || shadow.nOffsetY != 0))
            style |= shadow.bSoftShadow ? EFFECT_SOFTSHADOW : EFFECT_SHADOW;
    }
    return style;
}

ImageParams ReadImageParams(std::string_view params, const RixValueContext& context, const RixShadowSettings& shadow)
{
    ImageParams image;
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value)) {
        if (name == "index")
            image.nIndex = ParseSize(context, value, image.nIndex, false);
        else if (name == "idres")
            image.nIdRes = ParseSize(context, value, image.nIdRes, false);
        else if (name == "iddll")
            image.nIdDll = ParseSize(context, value, image.nIdDll, false);
        else if (name == "handle")
            image.nHandle = ParseUnsignedAuto(value);
        else if (name == "file")
            image.strFile = value;
        else if (name == "srcdll")
            image.strSrcDll = value;
        else if (name == "mask") {
            // The transparent colour is a key, not a colour drawn: switched-off colours leave it alone.
            RixColourContext keyColours = context.colours;
            keyColours.bNormalColours = true;
            image.bMask = true;
            image.crMask = ParseColour(keyColours, value, image.crMask);
        } else if (name == "style")
            image.dwStyle = image.dwHotStyle = ParseEffectLetters(value, shadow);
        else if (name == "hotstyle")
            image.dwHotStyle = ParseEffectLetters(value, shadow);
        else if (name == "cx")
            image.cx = ParseSize(context, value, image.cx, false);
        else if (name == "cy")
            image.cy = ParseSize(context, value, image.cy, false);
        else if (name == "width")
            ReadDrawnSize(context, value, image.nWidth, image.bWidthPercent);
        else if (name == "height")
            ReadDrawnSize(context, value, image.nHeight, image.bHeightPercent);
        else if (name == "speed")
            image.nSpeed = ParseSize(context, value, image.nSpeed, false);
    }
    return image;
}
