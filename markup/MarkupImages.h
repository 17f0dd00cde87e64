// What the renderer keeps for the image tags ("bmp", "icon", "ilst"): strip records, the module that
// resource ids without a module of their own are read from, and the picture one tag places and draws.
#pragma once

#include "framework/Gdi.h"
#include "markup/BitmapFiles.h"

// One per "ilst" tag with a speed, in text order: the measure pass records the frame, the draw pass
// reads it back, so that something advancing the frames between passes would be seen by the draw.
struct StripFrameRecord {
    int nFrame = 0;
    int nFrameCount = 0;
    int nReserved = 0;
    int nSpeed = 0;
};

// The module "iddll" reads from when a tag names none: borrowed, or owned and freed with the holder.
class RixResourceModule {
public:
    RixResourceModule() = default;
    ~RixResourceModule() { Reset(nullptr, false); }
    RixResourceModule(const RixResourceModule&) = delete;
    RixResourceModule& operator=(const RixResourceModule&) = delete;

    HMODULE Get() const { return m_hModule; }
    void Reset(HMODULE hModule, bool bOwned)
    {
        if (m_bOwned && m_hModule && m_hModule != hModule)
            ::FreeLibrary(m_hModule);
        m_hModule = hModule;
        m_bOwned = bOwned && hModule != nullptr;
    }

private:
    HMODULE m_hModule = nullptr;
    bool m_bOwned = false;
};

// The picture of one image tag, once loaded and sized. Handles named by the text are borrowed; what
// the tag loaded itself is owned and released when the tag is done.
struct RixImagePlacement {
    gdi::Bitmap ownedBitmap;
    gdi::Icon ownedIcon;
    HBITMAP hBitmap = nullptr;
    HICON hIcon = nullptr;
    // A strip frame: its index and size.
    bool bStripFrame = false;
    int nFrame = 0;
    int nFrameCount = 0;
    SIZE frame {};
    // The size drawn and the room taken on the line (the drawn size plus the shadow offsets).
    SIZE drawn {};
    SIZE room {};
    bool bOffset = false;
};
