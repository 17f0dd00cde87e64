// CIconButton: a self-drawn push button (or check box) showing an icon or a bitmap beside its
// caption. It swaps image and colours while the mouse is over it or it is pressed, can paint itself
// over a snapshot of its parent's background so that it looks transparent, and shows a tool tip.
#pragma once

#include "../framework/Controls.h"
#include "../framework/Gdi.h"

#include <initializer_list>
#include <optional>

// Results of the setters.
constexpr int ICONBUTTON_OK = 0;
constexpr int ICONBUTTON_BAD_IMAGE = 1;        // the icon or bitmap handle cannot be queried
constexpr int ICONBUTTON_MASK_FAILED = 2;      // the transparency mask cannot be created
constexpr int ICONBUTTON_BAD_COLOR_INDEX = 3;  // colour index above ICONBUTTON_COLOR_LAST
constexpr int ICONBUTTON_BAD_ALIGN = 4;        // image placement above ICONBUTTON_ALIGN_NONE
constexpr int ICONBUTTON_BAD_SHADE = 5;        // colour offset outside -255..255
constexpr int ICONBUTTON_BAD_PRESS_STYLE = 6;  // unknown pressed style

// Colour slots. "In" is the hot state: the mouse is over the button or it is pressed.
constexpr BYTE ICONBUTTON_COLOR_BK_IN = 0;
constexpr BYTE ICONBUTTON_COLOR_FG_IN = 1;
constexpr BYTE ICONBUTTON_COLOR_BK_OUT = 2;
constexpr BYTE ICONBUTTON_COLOR_FG_OUT = 3;
constexpr BYTE ICONBUTTON_COLOR_BK_FOCUS = 4;
constexpr BYTE ICONBUTTON_COLOR_FG_FOCUS = 5;
constexpr BYTE ICONBUTTON_COLOR_LAST = ICONBUTTON_COLOR_FG_FOCUS;
constexpr int ICONBUTTON_COLOR_COUNT = ICONBUTTON_COLOR_LAST + 1;

// Where the image goes relative to the caption.
constexpr BYTE ICONBUTTON_ALIGN_LEFT = 0;
constexpr BYTE ICONBUTTON_ALIGN_ABOVE = 1;
constexpr BYTE ICONBUTTON_ALIGN_RIGHT = 2;
constexpr BYTE ICONBUTTON_ALIGN_NONE = 3;

// How far image and caption move while pressed.
constexpr int ICONBUTTON_PRESS_DIAGONAL = 0; // (1,1)
constexpr int ICONBUTTON_PRESS_DOWN = 1;     // (0,2)

// Largest colour offset ShadeColor accepts either way.
constexpr short ICONBUTTON_MAX_SHADE = 255;

class CIconButton : public CButton {
public:
    // Image slots: the hot one is required, the normal one is optional.
    static constexpr int kImageHot = 0;
    static constexpr int kImageNormal = 1;

    // Image and caption rectangles worked out for one paint.
    struct ImagePlacement {
        RECT image;   // left/top where the image goes; right/bottom = left/top + its size
        RECT caption; // what is left for the caption
    };

    CIconButton();
    ~CIconButton() override;

    // Loads both icons from the program's resources; nIconOutId 0 means no normal icon.
    int SetIcon(int nIconInId, int nIconOutId = 0);
    // Takes ownership of both icons, also when it fails.
    int SetIcon(HICON hIconIn, HICON hIconOut = nullptr);
    // Takes ownership of both bitmaps (and changes them: transparent pixels become black).
    int SetBitmapPair(HBITMAP hBitmapIn, COLORREF crTransColorIn, HBITMAP hBitmapOut = nullptr,
                      COLORREF crTransColorOut = 0);

    int SetAlign(BYTE byAlign, BOOL bRepaint = TRUE);
    int SetPressShift(int nStyle, BOOL bRepaint = TRUE);
    int SetCheck(int nCheck, BOOL bRepaint = TRUE);
    int GetCheck() const { return m_nCheck; }

    int ResetColors(BOOL bRepaint = TRUE);
    int SetColor(BYTE byColorIndex, COLORREF crColor, BOOL bRepaint = TRUE);
    int GetColor(BYTE byColorIndex, COLORREF* pcrColor) const;
    int ShadeColor(BYTE byColorIndex, short shShade, BOOL bRepaint = TRUE);

    // Paints over a snapshot of the parent's background from now on (a fresh one is taken).
    int UseParentBackground(BOOL bRepaint = TRUE);

    void SetToolTipText(LPCSTR lpszText, BOOL bActivate = TRUE);
    const CToolTipCtrl& GetToolTip() const { return m_ToolTip; }

    BOOL IsHot() const { return m_bHot; }
    BYTE GetImagePlacement() const { return m_nImagePlacement; }
    POINT GetPressShift() const { return m_ptPressShift; }
    BOOL IsCheckMode() const { return m_bCheckMode; }
    BOOL IsDefault() const { return m_bIsDefault; }
    UINT GetButtonType() const { return m_nButtonType; }

    // Where an image of cx by cy goes inside rcItem, and what is left of rcCaption for the text.
    static ImagePlacement ComputeImagePlacement(BYTE byAlign, const RECT& rcItem, const RECT& rcCaption, int cx,
                                                int cy, BOOL bHasCaption, POINT ptMargin, BOOL bShift,
                                                POINT ptShift);
    // Which image slot to draw (kImageHot/kImageNormal), or -1 when there is none.
    static int ChooseImage(BOOL bHasHot, BOOL bHasNormal, BOOL bPressed, BOOL bHot, BOOL bCheckMode);
    // A monochrome mask of hSource: white where it has crTransparent, black elsewhere. Those pixels
    // of hSource are turned black so that the pair can be drawn with SRCAND + SRCPAINT.
    static gdi::Bitmap CreateMaskFromBitmap(HBITMAP hSource, int cx, int cy, COLORREF crTransparent);

    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    virtual void DrawItem(DRAWITEMSTRUCT* pDrawItemStruct);

protected:
    virtual void PaintFace(HDC hdc, RECT& rcFace);
    virtual void PaintEdge(HDC hdc, const RECT& rcEdge);
    virtual void PaintIcon(HDC hdc, BOOL bHasCaption, const RECT& rcItem, RECT& rcCaption, BOOL bIsPressed,
                           BOOL bIsDisabled);
    virtual void PaintBitmap(HDC hdc, BOOL bHasCaption, const RECT& rcItem, RECT& rcCaption, BOOL bIsPressed,
                             BOOL bIsDisabled);
    virtual void PaintCaption(HDC hdc, BOOL bHasCaption, const RECT& rcItem, RECT& rcCaption, BOOL bIsPressed,
                              BOOL bIsDisabled);

    struct IconImage {
        gdi::Icon hIcon;
        int cx = 0;
        int cy = 0;
    };
    struct BitmapImage {
        gdi::Bitmap hBitmap;
        int cx = 0;
        int cy = 0;
        gdi::Bitmap hMask;
        COLORREF crTransparent = 0;
    };

    static constexpr POINT kDefaultImageMargin = {3, 3};
    static constexpr POINT kPressShiftDiagonal = {1, 1};
    static constexpr POINT kPressShiftDown = {0, 2};
    static constexpr UINT kTypeBits = 0x1F;        // the type bits of the style as we keep them
    static constexpr UINT kTypeMask = 0x0F;        // the button type proper
    static constexpr WPARAM kStyleClearBits = 0x14; // with kStyleSetBits: any type becomes BS_OWNERDRAW
    static constexpr WPARAM kStyleSetBits = 0x0B;
    static constexpr int kFocusInset = 3;
    static constexpr int kMaxTipWidth = 400;
    static constexpr UINT_PTR kToolId = 1;
    static constexpr COLORREF kWhite = RGB(255, 255, 255);
    static constexpr COLORREF kBlack = RGB(0, 0, 0);

    BOOL m_bEmbossDisabled = TRUE;
    POINT m_ptImageMargin = kDefaultImageMargin;
    POINT m_ptPressShift = kPressShiftDiagonal;
    BOOL m_bFlat = TRUE;
    BOOL m_bHot = FALSE;
    BOOL m_bUseSnapshot = FALSE;
    BOOL m_bIsPressed = FALSE;
    BOOL m_bIsFocused = FALSE;
    BOOL m_bIsDisabled = FALSE;
    BOOL m_bIsDefault = FALSE;
    BOOL m_bCheckMode = FALSE;
    BYTE m_nImagePlacement = ICONBUTTON_ALIGN_LEFT;
    BOOL m_bHotBorder = TRUE;
    BOOL m_bFlatFocusRect = FALSE;
    COLORREF m_colors[ICONBUTTON_COLOR_COUNT] = {};
    CToolTipCtrl m_ToolTip;
    std::optional<gdi::MemoryDC> m_dcSnapshot;
    gdi::Bitmap m_bmpSnapshot;
    HGDIOBJ m_pbmpPrevSnapshot = nullptr;
    BOOL m_bTrackInactive = TRUE;
    int m_nCheck = 0;
    UINT m_nButtonType = kTypeBits;
    DWORD m_dwTipStyle = 0;
    IconImage m_icons[2];
    BitmapImage m_bitmaps[2];

private:
    // Frees every icon, bitmap and mask; handles listed in keep are only let go of, not destroyed
    // (the caller hands them back in).
    void ReleaseImages(std::initializer_list<const void*> keep = {});
    void Repaint(BOOL bRepaint);
    void InitToolTip();
    // Draws the parent's background behind the button; FALSE when no snapshot can be had.
    BOOL PaintSnapshot(HDC hdc);
    BOOL TakeSnapshot();
    void DiscardSnapshot();
    void TrackHot(WPARAM wMouseKeys);
    void LeaveHot();
    void MoveFocusAway();
    void OnClicked();
};
