// Creating the buttons and the check box, measuring the bands and placing the controls.
#include "msgbox/RixBoxButtons.h"
#include "msgbox/RixBoxLayout.h"
#include "msgbox/RixBoxTexts.h"
#include "msgbox/RixMessageBoxDialog.h"

#include <algorithm>

namespace {

constexpr DWORD kCheckBoxStyle = 0x50010003; // child, visible, tab stop, auto check box
constexpr DWORD kButtonStyle = 0x50010000; // child, visible, tab stop
constexpr DWORD kDefaultStyle = 0x50010001; // ... and the default push button
constexpr DWORD kDisabledStyle = 0x58010000; // child, visible, disabled, tab stop

SIZE TextExtent(HDC hDC, const std::string& text)
{
    SIZE size = { 0, 0 };
    ::GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

bool Decorated(const RixBoxBand& band)
{
    return band.nEffect >= 0 || band.nSeparator != 0;
}

} // namespace

std::string RixMessageBoxDialog::ButtonCaption(int nId, size_t nIndex) const
{
    if (nId >= RIXID_CUSTOM1 && nId <= RIXID_CUSTOM4 && nIndex < m_CustomCaptions.size())
        return m_CustomCaptions[nIndex];
    if (nId == RIXID_MORE)
        return m_strMoreCaption;
    return Caption(nId);
}

SIZE RixMessageBoxDialog::CreateControlsAndMeasure()
{
    DestroyControls();
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    gdi::WindowDC screen(nullptr);
    gdi::SelectGuard font(screen, m_Font.get());
    int nWidest = 0;
    auto candidate = [&](int nWidth) { nWidest = std::max(nWidest, nWidth); };

    // Header band; a negative minimum height is no header band.
    m_nHeaderHeight = std::max(0, m_Params.nHeaderHeight);
    if (m_nHeaderHeight != 0) {
        m_strHeader = ResolveText(m_Params.lpszHeader);
        if (!m_strHeader.empty()) {
            SIZE measured = { 0, 0 };
            m_HeaderRenderer.MeasureMarkup(screen, m_strHeader.c_str(), measured);
            m_nHeaderHeight = std::max(m_nHeaderHeight, RixMarkupBandSize(measured.cy, RIXBOX_TEXT_MARGIN_Y));
            candidate(RixMarkupBandSize(measured.cx, RIXBOX_TEXT_MARGIN_X));
        }
        if (m_Params.bkHeader.nSeparator != 0) {
            m_strHeaderSeparator = ResolveText(m_Params.bkHeader.lpszSeparatorText);
            candidate(TextExtent(screen, m_strHeaderSeparator).cx + 2 * RIXBOX_TEXT_INSET);
        }
    }

    // Message band.
    m_nMessageHeight = 0;
    if (!m_strMarkup.empty()) {
        SIZE measured = { 0, 0 };
        m_TextRenderer.MeasureMarkup(screen, m_strMarkup.c_str(), measured);
        m_nMessageHeight = RixMarkupBandSize(measured.cy, RIXBOX_TEXT_MARGIN_Y);
        candidate(RixMarkupBandSize(measured.cx, RIXBOX_TEXT_MARGIN_X));
    }

    // "More" band.
    m_nMoreHeight = 0;
    if (!m_strMoreText.empty()) {
        SIZE measured = { 0, 0 };
        m_MoreRenderer.MeasureMarkup(screen, m_strMoreText.c_str(), measured);
        m_nMoreHeight = RixMarkupBandSize(measured.cy, RIXBOX_TEXT_MARGIN_Y);
        candidate(RixMarkupBandSize(measured.cx, RIXBOX_TEXT_MARGIN_X));
    }

    // Button band decoration.
    const bool bCheckBox = (m_Params.dwStyle & RIXMB_CHECKBOX) != 0;
    const int nExtra = RixButtonBandExtra(Decorated(m_Params.bkButtons), bCheckBox);
    if (Decorated(m_Params.bkButtons)) {
        m_strButtonsSeparator = ResolveText(m_Params.bkButtons.lpszSeparatorText);
        if (m_Params.bkButtons.nSeparator != 0)
            candidate(TextExtent(screen, m_strButtonsSeparator).cx + 2 * RIXBOX_TEXT_INSET);
    }
    if (!m_strMoreText.empty() && m_Params.bkMore.nSeparator != 0)
        m_strMoreSeparator = ResolveText(m_Params.bkMore.lpszSeparatorText);

    // Check box and its label.
    if (bCheckBox) {
        const std::string caption
            = Caption(RIXID_CHECKBOX_CAPTION, m_Params.lpszCheckBoxText ? m_Params.lpszCheckBoxText : nullptr);
        const SIZE extent = TextExtent(screen, caption);
        candidate(extent.cx + 2 * RIXBOX_CHECKBOX_LEFT + 20);
        m_hCheckBox = ::CreateWindowExA(0, "BUTTON", "", kCheckBoxStyle, 0, 0, RIXBOX_CHECKBOX_SIZE,
            RIXBOX_CHECKBOX_SIZE, m_hWnd, nullptr, hInstance, nullptr);
        if (m_hCheckBox && (m_Params.dwStyle & RIXMB_CHECKED))
            ::SendMessageA(m_hCheckBox, BM_SETCHECK, BST_CHECKED, 0);
        m_hCheckLabel = ::CreateWindowExA(0, "STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, extent.cx,
            RIXBOX_CHECKBOX_SIZE, m_hWnd, nullptr, hInstance, nullptr);
        if (m_hCheckLabel)
            ::SendMessageA(m_hCheckLabel, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font.get()), FALSE);
    }

    // The buttons.
    const bool bReport = m_Params.nReportMessage != 0 && m_Params.hwndOwner != nullptr;
    const RixButtonPlan plan
        = RixPlanButtons(m_Params.dwStyle, ResolveText(m_Params.lpszButtonLines), bReport, !m_strMoreText.empty());
    m_bEscape = plan.bEscape;
    m_CustomCaptions = plan.customCaptions;
    if (!m_strMoreText.empty()) {
        m_strLessCaption = Caption(RIXID_LESS);
        m_strMoreCaption = Caption(RIXID_MORE);
    }
    m_nDefaultIndex = RixDefaultButtonIndex(m_Params.dwStyle, plan.ids.size());

    const bool bCaptionMode = m_Params.nDisableSeconds > 0 && m_Params.bCountdownInCaption;
    m_nButtonWidth = m_nButtonHeight = 0;
    for (size_t i = 0; i < plan.ids.size(); ++i) {
        const int nId = plan.ids[i];
        const std::string caption = ButtonCaption(nId, i);
        SIZE extent = TextExtent(screen, caption);
        if (nId == RIXID_MORE) {
            const SIZE less = TextExtent(screen, m_strLessCaption);
            extent = { std::max(extent.cx, less.cx), std::max(extent.cy, less.cy) };
        }
        const SIZE size = RixButtonSizeForExtent(extent);
        m_nButtonWidth = std::max(m_nButtonWidth, static_cast<int>(size.cx));
        m_nButtonHeight = std::max(m_nButtonHeight, static_cast<int>(size.cy));

        const bool bDefault = static_cast<int>(i) == m_nDefaultIndex;
        DWORD dwStyle = kButtonStyle;
        std::string shown = caption;
        if (bCaptionMode) {
            if (nId != IDHELP)
                dwStyle = kDisabledStyle;
        } else {
            if (bDefault) {
                dwStyle = m_Params.nDisableSeconds > 0 && nId != IDHELP ? kDisabledStyle : kDefaultStyle;
                m_strSavedCaption = caption;
                if (m_nRemaining > 0)
                    shown = RixFormatCount("%s = %d", caption, m_nRemaining);
            }
        }
        const int nControlId = nId == IDCANCEL && !m_bEscape ? RIXBOX_QUIET_CANCEL_ID : nId;
        HWND hButton = ::CreateWindowExA(0, "BUTTON", shown.c_str(), dwStyle, 0, 0, 0, 0, m_hWnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(nControlId)), hInstance, nullptr);
        if (hButton)
            ::SendMessageA(hButton, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font.get()), FALSE);
        m_Buttons.emplace_back(nId, hButton);
    }
    if (HWND hDefault = DefaultButton()) {
        if (::IsWindowEnabled(hDefault))
            ::SendMessageA(m_hWnd, DM_SETDEFID, static_cast<WPARAM>(DefaultControlId()), 0);
        ::SetFocus(hDefault);
    }

    m_nButtonWidth = std::max(m_nButtonWidth, RIXBOX_MIN_BUTTON_WIDTH);
    m_nButtonHeight = std::max(m_nButtonHeight, RIXBOX_MIN_BUTTON_HEIGHT);
    candidate(RixButtonRowCandidate(static_cast<int>(m_Buttons.size()), m_nButtonWidth));
    m_nButtonBandHeight = m_nButtonHeight + nExtra;

    const int nWidth = nWidest + 2 * ::GetSystemMetrics(SM_CXDLGFRAME);
    const int nHeight = m_nHeaderHeight + m_nMessageHeight + m_nButtonBandHeight + ::GetSystemMetrics(SM_CYCAPTION)
        + 2 * ::GetSystemMetrics(SM_CYDLGFRAME);
    return { nWidth, nHeight };
}

void RixMessageBoxDialog::PlaceControls()
{
    RECT r;
    ::GetClientRect(m_hWnd, &r);
    const bool bCheckBox = (m_Params.dwStyle & RIXMB_CHECKBOX) != 0;
    const bool bBelow = bCheckBox && (m_Params.dwStyle & RIXMB_CHECKBOXBELOW);
    const int nCount = static_cast<int>(m_Buttons.size());
    const int top = RixButtonRowTop(r, m_nButtonHeight, bBelow);
    int left = RixButtonRowLeft(r, m_Params.nButtonAlign, nCount, m_nButtonWidth);
    for (const auto& [id, hWnd] : m_Buttons) {
        ::MoveWindow(hWnd, left, top, m_nButtonWidth, m_nButtonHeight, FALSE);
        left += m_nButtonWidth + RIXBOX_BUTTON_GAP;
    }
    if (!bCheckBox)
        return;
    const int bottom = RixCheckBoxBottom(r, m_nButtonHeight, bBelow);
    ::MoveWindow(m_hCheckBox, r.left + RIXBOX_CHECKBOX_LEFT, bottom - RIXBOX_CHECKBOX_SIZE, RIXBOX_CHECKBOX_SIZE,
        RIXBOX_CHECKBOX_SIZE, FALSE);
    RECT label;
    ::GetWindowRect(m_hCheckLabel, &label);
    ::MoveWindow(m_hCheckLabel, r.left + RIXBOX_CHECKBOX_LEFT + RIXBOX_CHECKBOX_SIZE + RIXBOX_CHECKBOX_SIZE / 2,
        bottom - RIXBOX_CHECKBOX_SIZE, label.right - label.left, label.bottom - label.top, FALSE);
}
