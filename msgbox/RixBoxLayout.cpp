#include "msgbox/RixBoxLayout.h"

#include <algorithm>

SIZE RixButtonSizeForExtent(SIZE extent)
{
    return { ::MulDiv(extent.cx, RIXBOX_MIN_BUTTON_WIDTH, 45), ::MulDiv(extent.cy, RIXBOX_MIN_BUTTON_HEIGHT, 13) };
}

int RixButtonRowCandidate(int nButtons, int nButtonWidth)
{
    return RIXBOX_BUTTON_GAP + nButtons * (nButtonWidth + RIXBOX_BUTTON_GAP);
}

int RixButtonRowLeft(const RECT& client, int nAlign, int nButtons, int nButtonWidth)
{
    const int nRowWidth = nButtons * (nButtonWidth + RIXBOX_BUTTON_GAP) - RIXBOX_BUTTON_GAP;
    if (nAlign == 0)
        return client.left + RIXBOX_BUTTON_GAP;
    if (nAlign == 1)
        return client.right - RIXBOX_BUTTON_GAP - nRowWidth;
    return client.left + (client.right - client.left - nRowWidth) / 2;
}

int RixButtonRowTop(const RECT& client, int nButtonHeight, bool bCheckBoxBelow)
{
    int top = client.bottom - RIXBOX_BAND_MARGIN - nButtonHeight;
    if (bCheckBoxBelow)
        top -= RIXBOX_CHECKBOX_SIZE + RIXBOX_BAND_MARGIN;
    return top;
}

int RixCheckBoxBottom(const RECT& client, int nButtonHeight, bool bBelow)
{
    return bBelow ? client.bottom - RIXBOX_BAND_MARGIN : client.bottom - 2 * RIXBOX_BAND_MARGIN - nButtonHeight;
}

int RixButtonBandExtra(bool bDecorated, bool bCheckBox)
{
    int extra = bDecorated ? 2 * RIXBOX_BAND_MARGIN : RIXBOX_BAND_MARGIN;
    if (bCheckBox)
        extra += RIXBOX_CHECKBOX_SIZE + RIXBOX_BAND_MARGIN;
    return extra;
}

int RixMarkupBandSize(int nMeasured, int nMargin)
{
    return std::max(0, nMeasured + 2 * nMargin);
}
