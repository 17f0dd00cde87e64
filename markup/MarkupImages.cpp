// Images on a line: "bmp", "icon" and "ilst" loaded from the program, a file, a module or a handle,
// sized, placed like any other object and drawn through the effect painter. An image that does not
// load, or would be absurdly large, takes no room and draws nothing.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr DWORD kShadowBits = EFFECT_SHADOW | EFFECT_SOFTSHADOW;

// A module named by the text, opened for one image as resources only: none of its code runs.
class DataModule {
public:
    explicit DataModule(const std::string& path)
        : m_hModule(PictureSourceIsLocal(path)
                  ? ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                  : nullptr)
    {
    }
    ~DataModule()
    {
        if (m_hModule)
            ::FreeLibrary(m_hModule);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    HMODULE get() const { return m_hModule; }

private:
    HMODULE m_hModule;
};

bool FitsPixelLimit(long long width, long long height)
{
    return width > 0 && height > 0 && width * height <= kMaxImagePixels;
}

bool LoadFromModule(HMODULE hModule, int id, bool bIcon, SIZE load, RixImagePlacement& placement)
{
    if (!hModule || id <= 0 || id > 0xFFFF)
        return false;
    if (bIcon) {
        placement.ownedIcon.reset(static_cast<HICON>(
            ::LoadImageA(hModule, MAKEINTRESOURCEA(id), IMAGE_ICON, load.cx, load.cy, LR_DEFAULTCOLOR)));
        placement.hIcon = placement.ownedIcon.get();
        return placement.hIcon != nullptr;
    }
    placement.ownedBitmap = LoadBitmapResource(hModule, id);
    placement.hBitmap = placement.ownedBitmap.get();
    return placement.hBitmap != nullptr;
}

bool LoadFromFile(const std::string& path, bool bIcon, SIZE load, RixImagePlacement& placement)
{
    if (bIcon) {
        placement.ownedIcon = LoadIconFile(path, load);
        placement.hIcon = placement.ownedIcon.get();
        return placement.hIcon != nullptr;
    }
    placement.ownedBitmap = LoadBitmapFile(path);
    placement.hBitmap = placement.ownedBitmap.get();
    return placement.hBitmap != nullptr;
}

// A handle from the text is only used when it is what the tag draws; anything else is not an image.
bool BorrowHandle(UINT_PTR handle, bool bIcon, RixImagePlacement& placement)
{
    if (bIcon) {
        const HICON hIcon = reinterpret_cast<HICON>(handle);
        ICONINFO info {};
        if (!::GetIconInfo(hIcon, &info))
            return false;
        const gdi::Bitmap mask(info.hbmMask), color(info.hbmColor);
        placement.hIcon = hIcon;
        return true;
    }
    const HBITMAP hBitmap = reinterpret_cast<HBITMAP>(handle);
    if (::GetObjectType(hBitmap) != OBJ_BITMAP)
        return false;
    placement.hBitmap = hBitmap;
    return true;
}

// A drawn side: a percentage of the natural one, or pixels as given.
int ScaleSide(int natural, int value, bool bPercent)
{
    return bPercent ? ::MulDiv(natural, value, 100) : value;
}

SIZE ScaleSize(SIZE natural, const ImageParams& image)
{
    return SIZE { ScaleSide(natural.cx, image.nWidth, image.bWidthPercent),
        ScaleSide(natural.cy, image.nHeight, image.bHeightPercent) };
}

} // namespace

void RixMarkupRenderer::ConfigureShadow(
    int nOffsetX, int nOffsetY, int nDarkness, bool bSoftShadow, int nBlurWidth, int nBlurHeight)
{
    m_Shadow.nOffsetX = std::clamp(nOffsetX, -kMaxMarkupSize, kMaxMarkupSize);
    m_Shadow.nOffsetY = std::clamp(nOffsetY, -kMaxMarkupSize, kMaxMarkupSize);
    // Below 0 the channels would pass 255 and bleed into each other.
    m_Shadow.nDarkness = std::clamp(nDarkness, 0, 100);
    m_Shadow.bSoftShadow = bSoftShadow;
    m_Shadow.nBlurWidth = std::clamp(nBlurWidth, 0, kMaxMarkupSize);
    m_Shadow.nBlurHeight = std::clamp(nBlurHeight, 0, kMaxMarkupSize);
    const int channel = ::MulDiv(255, 100 - m_Shadow.nDarkness, 100);
    m_crShadow = RGB(channel, channel, channel);
}

void RixMarkupRenderer::SetImageList(HIMAGELIST hImageList)
{
    if (hImageList == m_ImageList.get())
        return;
    m_ImageList.reset(hImageList);
    int cx = 0, cy = 0;
    if (!hImageList || !::ImageList_GetIconSize(hImageList, &cx, &cy))
        cx = cy = 0;
    m_ImageListIconSize = SIZE { cx, cy };
}

bool RixMarkupRenderer::LoadImageSource(RixTag tag, const ImageParams& image, RixImagePlacement& placement)
{
    const bool bIcon = tag == RixTag::Icon;
    SIZE load {};
    if (bIcon) {
        load.cx = image.bWidthPercent ? ::MulDiv(::GetSystemMetrics(SM_CXICON), image.nWidth, 100) : image.nWidth;
        load.cy = image.bHeightPercent ? ::MulDiv(::GetSystemMetrics(SM_CYICON), image.nHeight, 100) : image.nHeight;
        // 0 loads the icon at its own size; a size no icon has is not asked for.
        if (load.cx < 0 || load.cy < 0 || static_cast<long long>(load.cx) * load.cy > kMaxImagePixels)
            return false;
    }
    if (image.nIdRes != 0 && LoadFromModule(::GetModuleHandleA(nullptr), image.nIdRes, bIcon, load, placement))
        return true;
    if (!image.strFile.empty() && LoadFromFile(image.strFile, bIcon, load, placement))
        return true;
    if (image.nIdDll != 0) {
        if (!image.strSrcDll.empty()) {
            const DataModule module(image.strSrcDll);
            if (LoadFromModule(module.get(), image.nIdDll, bIcon, load, placement))
                return true;
        } else if (LoadFromModule(m_ResourceModule.Get(), image.nIdDll, bIcon, load, placement)) {
            return true;
        }
    }
    if (image.nHandle != 0 && BorrowHandle(image.nHandle, bIcon, placement))
        return true;
    // A strip that names no source at all shows a picture of the image list instead.
    const bool bNoSource = image.nIdRes == 0 && image.strFile.empty() && image.nIdDll == 0 && image.nHandle == 0;
    if (tag != RixTag::ImageStrip || !bNoSource || !m_ImageList)
        return false;
    placement.nFrameCount = ::ImageList_GetImageCount(m_ImageList.get());
    if (placement.nFrame < 0 || placement.nFrame >= placement.nFrameCount)
        return false;
    placement.ownedIcon.reset(::ImageList_GetIcon(m_ImageList.get(), placement.nFrame, ILD_NORMAL));
    placement.hIcon = placement.ownedIcon.get();
    return placement.hIcon != nullptr;
}

bool RixMarkupRenderer::SizeImage(RixTag tag, const ImageParams& image, RixImagePlacement& placement)
{
    if (tag == RixTag::Icon) {
        const SIZE natural = RixEffectPainter::GetIconSize(placement.hIcon);
        // A loaded icon is drawn as it loaded; a borrowed one is sized like a bitmap.
        placement.drawn = placement.ownedIcon ? natural : ScaleSize(natural, image);
    } else if (tag == RixTag::Bitmap) {
        placement.drawn = ScaleSize(RixEffectPainter::GetBitmapSize(placement.hBitmap), image);
    } else if (placement.hIcon) {
        placement.drawn = ScaleSize(m_ImageListIconSize, image);
    } else {
        const SIZE strip = RixEffectPainter::GetBitmapSize(placement.hBitmap);
        SIZE frame { image.cx, image.cy };
        if (frame.cx == 0 && frame.cy == 0)
            frame.cx = frame.cy = std::min(strip.cx, strip.cy);
        else if (frame.cx == 0)
            frame.cx = frame.cy;
        else if (frame.cy == 0)
            frame.cy = frame.cx;
        if (frame.cx <= 0 || frame.cy <= 0)
            return false;
        const long long count = static_cast<long long>(strip.cx / frame.cx) * (strip.cy / frame.cy);
        placement.nFrameCount = static_cast<int>(std::min<long long>(count, INT_MAX));
        if (placement.nFrame < 0 || placement.nFrame >= count)
            return false;
        placement.bStripFrame = true;
        placement.frame = frame;
        placement.drawn = ScaleSize(frame, image);
    }
    return FitsPixelLimit(placement.drawn.cx, placement.drawn.cy);
}

int RixMarkupRenderer::PlaceObject(int nHeight)
{
    if (m_bMeasuring) {
        m_Line.nHeight = std::max(m_Line.nHeight, nHeight);
        return m_nY;
    }
    switch (m_Style.nVertAlign) {
    case RIXVALIGN_TOP:
        return m_nY;
    case RIXVALIGN_CENTER:
        return m_nY + (m_Line.nHeight - nHeight) / 2;
    case RIXVALIGN_BOTTOM:
        return m_nY + m_Line.nHeight - nHeight;
    default:
        return m_nY + m_Line.nHeight - m_Line.nDescent - nHeight;
    }
}

void RixMarkupRenderer::LayoutImage(RixTag tag, std::string_view params)
{
    const ImageParams image = ReadImageParams(params, ValueContext(), m_Shadow);
    RixImagePlacement placement;
    placement.nFrame = image.nIndex;
    // A strip with a speed shows the frame its record holds; records and strips pair up in text order.
    const bool bRecorded = tag == RixTag::ImageStrip && image.nSpeed != 0;
    if (bRecorded && !m_bMeasuring) {
        const size_t record = static_cast<size_t>(++m_nStripCounter);
        if (record < m_StripRecords.size())
            placement.nFrame = m_StripRecords[record].nFrame;
    }
    const bool bTakesRoom = LoadImageSource(tag, image, placement) && SizeImage(tag, image, placement);
    if (bRecorded && m_bMeasuring)
        m_StripRecords.push_back(StripFrameRecord { image.nIndex, placement.nFrameCount, 0, image.nSpeed });
    if (!bTakesRoom)
        return;

    // The shadow's room is kept whether the normal or the hot style casts it, so that hovering does not
    // move the text; never less than the image itself.
    placement.room = placement.drawn;
    if ((image.dwStyle | image.dwHotStyle) & kShadowBits) {
        placement.bOffset = true;
        placement.room.cx += std::max(m_Shadow.nOffsetX, 0);
        placement.room.cy += std::max(m_Shadow.nOffsetY, 0);
    }
    // An image that does not fit goes to the next line; on an empty line there is no better place.
    const int room = m_nAvailable + m_rcLayout.left - m_nX;
    if (m_nWrapWidth != 0 && m_nAvailable != 0 && placement.room.cx > room && m_nX != m_nLineStartX)
        EndLine(1);
    if (m_bMeasuring)
        m_Line.nAlign = m_Style.nHorzAlign;
    else
        m_nLineRemaining -= placement.room.cx;
    const int top = PlaceObject(placement.room.cy);
    if (!m_bMeasuring) {
        RecordHotArea(RECT { m_nX, top, m_nX + placement.room.cx, top + placement.room.cy });
        DrawImage(image, placement, top);
    }
    MoveX(placement.room.cx);
}

void RixMarkupRenderer::DrawImage(const ImageParams& image, const RixImagePlacement& placement, int nTop)
{
    const bool bHot = m_Style.nLinkKind != RIXLINK_NONE && m_nLinkCounter == m_nHoverLink;
    DWORD style = bHot ? image.dwHotStyle : image.dwStyle;
    COLORREF effect = m_crShadow;
    if (!m_bNormalColours) {
        style = (style & kShadowBits) | EFFECT_MASKCOLOR;
        effect = m_crDisabledText;
    }
    // A blur wider than the image leaves no shadow; it never needs to be larger than the image.
    const SIZE drawn = placement.drawn;
    const int blurWidth = std::clamp<int>(m_Shadow.nBlurWidth, 0, drawn.cx);
    const int blurHeight = std::clamp<int>(m_Shadow.nBlurHeight, 0, drawn.cy);
    const BOOL bOffset = placement.bOffset ? TRUE : FALSE;
    const BOOL bMask = image.bMask ? TRUE : FALSE;
    const int dx = m_Shadow.nOffsetX, dy = m_Shadow.nOffsetY;
    if (placement.hIcon)
        m_EffectPainter.DrawIconEffect(m_hDC, m_nX, nTop, drawn.cx, drawn.cy, placement.hIcon, style, bOffset, dx, dy,
            blurWidth, blurHeight, effect);
    else if (placement.bStripFrame)
        m_EffectPainter.DrawStripFrame(m_hDC, m_nX, nTop, drawn.cx, drawn.cy, placement.hBitmap, placement.nFrame,
            placement.frame.cx, placement.frame.cy, bMask, image.crMask, style, bOffset, dx, dy, blurWidth, blurHeight,
            effect);
    else
        m_EffectPainter.DrawBitmapEffect(m_hDC, m_nX, nTop, drawn.cx, drawn.cy, placement.hBitmap, bMask, image.crMask,
            style, bOffset, dx, dy, blurWidth, blurHeight, effect);
}
