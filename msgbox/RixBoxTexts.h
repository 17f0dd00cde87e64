// Texts of the box: fields that hold either a pointer to text or a string resource id, the captions
// of its buttons and the count-down formats.
#pragma once

#include "msgbox/RixMessageBox.h"

#include <string>
#include <string_view>

// Ids of the captions that are no buttons.
constexpr int RIXID_CHECKBOX_CAPTION = 0x01000000;
constexpr int RIXID_COUNTDOWN_FORMAT = static_cast<int>(0x80000000u);

// A string resource, read with the box's 260-character buffer; empty when it cannot be loaded.
std::string RixLoadString(HINSTANCE hModule, UINT nId);

// A text field: values up to 0xFFFF are string resource ids (never loaded with bNoStringRes, which
// then gives empty text), anything else points to the text.
std::string RixResolveText(LPCSTR lpszText, HINSTANCE hStringModule, bool bNoStringRes);

// The built-in English caption of a button or caption id, and the string resource that may replace
// it (0 for none).
const char* RixDefaultCaption(int nId);
UINT RixCaptionResource(int nId);

// A caption: the caller's override for the id, else the string resource, else lpszDefault when it
// gives text, else the built-in caption.
std::string RixResolveCaption(
    int nId, const RixCaptionMap* pOverrides, HINSTANCE hStringModule, bool bNoStringRes, LPCSTR lpszDefault = nullptr);

// Fills a format such as "%s (%d seconds remaining)": the first %s takes the text, the first %d the
// count, %% is a percent sign. Any other conversion is kept as it stands, so that a format from a
// resource or a caller can never read arguments that are not there.
std::string RixFormatCount(std::string_view format, std::string_view text, int nCount);

// "%s%d": a prefix and a decimal number.
std::string RixFormatValueName(std::string_view prefix, int nId);
