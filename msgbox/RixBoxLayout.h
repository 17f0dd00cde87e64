// The box's layout arithmetic: band heights, button sizes and where the row and the check box go.
#pragma once

#include "framework/Platform.h"

// Layout constants, in pixels.
constexpr int RIXBOX_TEXT_INSET = 5;
constexpr int RIXBOX_TEXT_MARGIN_X = 14;
constexpr int RIXBOX_TEXT_MARGIN_Y = 14;
constexpr int RIXBOX_CHECKBOX_LEFT = 10;
constexpr int RIXBOX_CHECKBOX_SIZE = 13;
constexpr int RIXBOX_BUTTON_GAP = 11;
constexpr int RIXBOX_BAND_MARGIN = 11;
constexpr int RIXBOX_MIN_BUTTON_WIDTH = 80;
constexpr int RIXBOX_MIN_BUTTON_HEIGHT = 23;

// The size a button caption asks for: its extent scaled to the 80 x 23 button of a 45 x 13 caption.
SIZE RixButtonSizeForExtent(SIZE extent);

// Width of a row of n buttons with the gaps at both ends.
int RixButtonRowCandidate(int nButtons, int nButtonWidth);

// Left edge of the first button: nAlign 0 left, 1 right, anything else centred.
int RixButtonRowLeft(const RECT& client, int nAlign, int nButtons, int nButtonWidth);

// Top edge of the button row; the check box below the buttons lifts the row.
int RixButtonRowTop(const RECT& client, int nButtonHeight, bool bCheckBoxBelow);

// Bottom edge of the check box (and of its label).
int RixCheckBoxBottom(const RECT& client, int nButtonHeight, bool bBelow);

// Extra height of the button band above the buttons' own: the band margin, doubled when the band
// has an effect or a separator, and room for the check box.
int RixButtonBandExtra(bool bDecorated, bool bCheckBox);

// Height (or width) of a markup band around a measured size; nothing measured gives no band.
int RixMarkupBandSize(int nMeasured, int nMargin);
