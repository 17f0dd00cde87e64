// Background fills: 64-band gradients, and the patterned effects computed one byte per pixel into the
// pattern buffer, whose palette is a ramp through the three colours.
#include "draw/NoiseColours.h"
#include "draw/NoiseSource.h"
#include "draw/RixEffectPainter.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace {

int Cube(int m)
{
    return m * m * m / 16384;
}

// The metal effect's scratches. They all lie on anti-diagonals (x + y constant, top-down), each one a
// run of rows on one of them, and a pixel shows the last scratch over it, or black. Drawn point by
// point they would be one store to another cache line each, and the noise run would read them back;
// instead they are swept along the picture as the run asks for its rows: line[u] is what the
// anti-diagonal u = x + y shows at the current row, which changes only where a scratch starts or
// ends, and row y is line[y .. y + W).
class ScratchSweep {
public:
    // Each scratch is two pieces.
    static constexpr int kMostScratches = 200;

    ScratchSweep(int W, int H)
        : m_nHeight(H)
        , m_line(static_cast<size_t>(W) + H - 1, BYTE { 0 })
        , m_diagonals(m_line.size(), Diagonal {})
        , m_from(2 * static_cast<size_t>(H) + 3, 0)
    {
    }

    // The rows first .. end - 1 (top-down) of anti-diagonal u, within the picture, over every
    // earlier piece. Before the first row is asked for.
    void Add(int64_t u, int64_t first, int64_t end, BYTE value)
    {
        if (first >= end)
            return;
        Diagonal& d = m_diagonals[static_cast<size_t>(u)];
        // Kept in stored rows, which the run asks for in order: bottom-up.
        m_u[m_nPieces] = static_cast<int>(u);
        m_first[m_nPieces] = m_nHeight - static_cast<int>(end);
        m_end[m_nPieces] = m_nHeight - static_cast<int>(first);
        m_value[m_nPieces] = value;
        m_before[m_nPieces] = d.latest;
        d.latest = static_cast<int16_t>(m_nPieces++);
    }

    // Stored row r (rows asked for in order, from 0 on), valid until the next is asked for.
    const uint8_t* Row(int r)
    {
        if (!m_bSorted)
            Sort();
        for (const int last = m_from[2 * static_cast<size_t>(r) + 1]; m_nDone < last; ++m_nDone)
            Change(m_changes[m_nDone], r);
        return m_line.data() + (m_nHeight - 1 - r);
    }

private:
    static constexpr int kMostPieces = 2 * kMostScratches;

    // What an anti-diagonal shows is its latest piece there: the one with the highest number, as
    // pieces are numbered in the order drawn.
    // (Piece numbers and counts fit 16 bits: there are at most kMostPieces.)
    struct Diagonal {
        int16_t latest = -1; // the last piece added to it (each piece names the one before)
        int16_t showing = -1;
        int16_t pieces = 0; // there at this row
    };

    // Each piece comes at its first row and goes at its end; within a row, what goes goes before
    // what comes (keys 2 r and 2 r + 1). The changes, a piece's number times two plus one where it
    // comes, are put in order by key in a counting sort: from[k + 1] counts key k's changes first,
    // then from[k] is where they start, then (once they are in) where they end.
    void Sort()
    {
        m_bSorted = true;
        std::vector<int>& from = m_from;
        for (int i = 0; i < m_nPieces; ++i) {
            ++from[2 * static_cast<size_t>(m_end[i]) + 1];
            ++from[2 * static_cast<size_t>(m_first[i]) + 2];
        }
        for (size_t k = 1; k < from.size(); ++k)
            from[k] += from[k - 1];
        for (int i = 0; i < m_nPieces; ++i) {
            m_changes[from[2 * static_cast<size_t>(m_end[i])]++] = 2 * i;
            m_changes[from[2 * static_cast<size_t>(m_first[i]) + 1]++] = 2 * i + 1;
        }
    }

    // A piece that comes shows if it is later than the one showing; a piece that goes leaves black
    // behind it, or (rarely) the latest earlier piece still there.
    void Change(int change, int r)
    {
        const int i = change >> 1;
        const size_t u = static_cast<size_t>(m_u[i]);
        Diagonal& d = m_diagonals[u];
        if (change & 1) {
            const bool later = i > d.showing;
            d.showing = later ? static_cast<int16_t>(i) : d.showing;
            m_line[u] = later ? m_value[i] : m_line[u];
            ++d.pieces;
            return;
        }
        --d.pieces;
        if (d.showing != i)
            return;
        int shown = -1;
        if (d.pieces > 0)
            for (int p = d.latest; p >= 0 && shown < 0; p = m_before[p])
                shown = m_first[p] <= r && r < m_end[p] ? p : -1;
        d.showing = static_cast<int16_t>(shown);
        m_line[u] = shown >= 0 ? m_value[shown] : BYTE { 0 };
    }

    int m_nHeight;
    std::vector<BYTE> m_line;
    std::vector<Diagonal> m_diagonals;
    std::vector<int> m_from;
    bool m_bSorted = false;
    int m_nDone = 0;
    // The pieces, field by field, each with the one before it on its anti-diagonal (or -1).
    int m_nPieces = 0;
    int m_u[kMostPieces], m_first[kMostPieces], m_end[kMostPieces], m_before[kMostPieces];
    BYTE m_value[kMostPieces];
    int m_changes[2 * kMostPieces];
};

// The noise term: the generator scaled to 0 .. 2G, less G; a pattern continues this thread's
// sequence wherever the last one left it. Each row is one run of the lanes over a row of base
// values, so the values are drawn in row-by-row order as one plain call per pixel would draw them.
// Where the processor can, each run also writes the row's colours into the buffer's 32-bit rows,
// which the draw then copies as they are.
class NoiseRows {
public:
    NoiseRows(PaletteDib& dib, int amplitude)
        : m_dib(dib)
        , m_nAmplitude(amplitude)
        , m_divisor(32767 / std::max(1, 2 * amplitude))
        , m_state(rixnoise::State())
        , m_base(static_cast<size_t>(std::max(0, dib.GetWidth())))
    {
        uint32_t table[256];
        if (dib.GetColorCount() == 256 && rixcolours::HasBytePermute() && rixnoise::QuotientsFitBytes(m_divisor)) {
            std::memcpy(table, dib.GetColorTable(), sizeof table);
            if (rixnoise::SplitTable(table, m_planes))
                m_pColours = dib.ColourRows();
        }
        // Each row is noted once, and the noted rows run in one go: no row has to move them.
        if (m_pColours) {
            m_noted.reserve(static_cast<size_t>(std::max(0, dib.GetHeight())));
            m_rows.reserve(m_noted.capacity());
        }
    }
    ~NoiseRows() { rixnoise::State() = State(); }
    NoiseRows(const NoiseRows&) = delete;
    NoiseRows& operator=(const NoiseRows&) = delete;

    // The row's base values, filled by the caller before Add or AddUnshifted; a caller that changes
    // them (or the keep mask it passes) asks for the pointer again.
    int16_t* Base()
    {
        Trim();
        m_bBaseChanged = true;
        return m_base.data();
    }
    // Row r (stored order) = base[x] + add + N (+ the extras), modulo 256. With colours, rows wide
    // enough are only noted here and run all at once when the state is next asked for or at Finish.
    void Add(int r, int add, const rixnoise::NoiseExtras& extras = {}) { Run(r, add - m_nAmplitude, extras); }
    // The metal effect adds the scaled value without taking the amplitude off, and the bytes' row r.
    // Rows noted with the bytes are run before the bytes' source goes: at RunNoted at the latest.
    void AddUnshifted(int r, int add, ScratchSweep& bytes) { Run(r, add, {}, &bytes); }
    // Whether the base may be given as bytes (modulo 256) instead: ByteBase, then, for a new one.
    bool TakesBytes() const { return m_pColours != nullptr; }
    uint8_t* ByteBase()
    {
        Trim();
        m_bBaseChanged = false;
        m_bytes.resize(m_bytes.size() + m_base.size());
        return m_bytes.data() + m_bytes.size() - m_base.size();
    }
    uint32_t& State()
    {
        Flush();
        return m_state;
    }
    BYTE* Row(int r) { return m_dib.GetBits() + static_cast<size_t>(r) * m_dib.GetStride(); }
    // Runs the rows noted so far.
    void RunNoted() { Flush(); }
    // Once every row has had its run, the colours written with them are the buffer's.
    void Finish()
    {
        Flush();
        if (m_pColours && m_nRuns == m_dib.GetHeight())
            m_dib.ColoursWritten();
    }

private:
    struct Noted {
        size_t base;
        size_t keep;
        int add, firstAdd;
    };

    void Run(int r, int add, const rixnoise::NoiseExtras& extras, ScratchSweep* bytes = nullptr)
    {
        const int W = static_cast<int>(m_base.size());
        ++m_nRuns;
        if (!m_pColours) {
            rixnoise::NoiseExtras own = extras;
            own.bytes = bytes ? bytes->Row(r) : nullptr;
            rixnoise::AddNoise(m_state, m_divisor, m_base.data(), add, Row(r), W, own);
            return;
        }
        // The combined runs add in bytes; each change of the base (and keep mask) is kept for the
        // rows noted after it.
        if (!m_noted.empty()
            && (r != m_nFirstNoted + static_cast<int>(m_noted.size()) || extras.second != m_pSecond
                || bytes != m_pBytes))
            Flush();
        if (m_bBaseChanged || m_bytes.empty()) {
            m_bytes.resize(m_bytes.size() + W);
            rixnoise::ToBytes(m_base.data(), m_bytes.data() + m_bytes.size() - W, W);
            if (extras.keepFirst)
                m_keep.insert(m_keep.end(), extras.keepFirst, extras.keepFirst + W);
            m_bBaseChanged = false;
        }
        const size_t base = m_bytes.size() - W, keep = extras.keepFirst ? m_keep.size() - W : 0;
        if (W >= 64) {
            if (m_noted.empty()) {
                m_nFirstNoted = r;
                m_pSecond = extras.second;
                m_pBytes = bytes;
            }
            m_noted.push_back(Noted { base, keep, add, extras.firstAdd });
            return;
        }
        rixnoise::NoiseExtras own = extras;
        own.keepFirst = extras.keepFirst ? m_keep.data() + keep : nullptr;
        own.bytes = bytes ? bytes->Row(r) : nullptr;
        rixnoise::AddNoiseColours(m_state, m_divisor, m_bytes.data() + base, add, Row(r),
            m_pColours + static_cast<size_t>(r) * W, W, own, m_planes);
    }

    // The kept bases stay within a bound: past it, the rows noted so far run and the kept bases go
    // (the next one is kept afresh).
    void Trim()
    {
        if (m_bytes.size() + m_base.size() <= kKeptBytes)
            return;
        Flush();
        m_bytes.clear();
        m_keep.clear();
    }

    // Runs the noted rows as one.
    void Flush()
    {
        if (m_noted.empty())
            return;
        const int W = static_cast<int>(m_base.size());
        m_rows.clear();
        for (const Noted& n : m_noted)
            m_rows.push_back(rixnoise::RowTerms {
                m_bytes.data() + n.base, m_pSecond ? m_keep.data() + n.keep : nullptr, n.add, n.firstAdd });
        rixnoise::AddNoiseColoursRows(m_state, m_pSecond, m_divisor, m_rows.data(), W, static_cast<int>(m_rows.size()),
            Row(m_nFirstNoted), m_dib.GetStride(), m_pColours + static_cast<size_t>(m_nFirstNoted) * W, m_pBytes,
            m_nFirstNoted, m_planes);
        m_noted.clear();
    }

    PaletteDib& m_dib;
    int m_nAmplitude;
    rixnoise::Divisor m_divisor;
    uint32_t m_state;
    std::vector<int16_t> m_base;
    bool m_bBaseChanged = true;
    rixnoise::ColourPlanes m_planes;
    uint32_t* m_pColours = nullptr;
    int m_nRuns = 0;
    // The base values (bytes) and keep masks as they were at each change, and the rows noted so far.
    static constexpr size_t kKeptBytes = size_t { 1 } << 20;
    std::vector<uint8_t> m_bytes;
    std::vector<int8_t> m_keep;
    std::vector<Noted> m_noted;
    std::vector<rixnoise::RowTerms> m_rows;
    int m_nFirstNoted = 0;
    uint32_t* m_pSecond = nullptr;
    ScratchSweep* m_pBytes = nullptr;
};

int Channel(COLORREF c, int shift)
{
    return static_cast<int>((c >> shift) & 0xFF);
}

using gdi::FillSolid;

// A gradient across or down a rectangle is one line of pixels repeated: the line is built once from
// its bands (64 per gradient, a band whose span is empty skipped). Across, the line is laid over the
// rectangle in one fill with a pattern brush, not one fill per band per column; down, as a narrow
// column copied across.
class GradientLine {
public:
    // Adds a gradient of `extent` pixels from one colour toward the other (63/64 of the way).
    void Append(int extent, COLORREF from, COLORREF to)
    {
        if (extent <= 0)
            return;
        const size_t start = m_pixels.size();
        m_pixels.resize(start + static_cast<size_t>(extent));
        for (int i = 0; i < 64; ++i) {
            const int64_t first = (i * static_cast<int64_t>(extent)) >> 6;
            const int64_t last = ((i + 1) * static_cast<int64_t>(extent)) >> 6;
            if (last <= first)
                continue;
            const Band band { static_cast<int>(start + first), static_cast<int>(start + last),
                BandColour(from, to, i) };
            // Neighbouring bands of one colour (close colours, short gradients) are one fill.
            if (!m_bands.empty() && m_bands.back().last == band.first && m_bands.back().color == band.color)
                m_bands.back().last = band.last;
            else
                m_bands.push_back(band);
            std::fill(m_pixels.begin() + band.first, m_pixels.begin() + band.last, ToPixel(band.color));
        }
    }

    // `column` is kept by the caller between fills: the narrow bitmap a gradient down is copied from.
    void Fill(HDC hDC, const RECT& rect, bool horizontal, PaletteDib& column) const
    {
        if (rect.right <= rect.left || rect.bottom <= rect.top || m_pixels.empty())
            return;
        if (CanUsePattern(hDC)
            && (horizontal ? FillWithPattern(hDC, rect) : CheaperAsColumn(rect) && FillWithColumn(hDC, rect, column)))
            return;
        // On targets where a copy would be dithered, scaled or turned: one solid fill per band, with
        // the DC's own brush rather than a new one each time.
        const HGDIOBJ old = ::SelectObject(hDC, ::GetStockObject(DC_BRUSH));
        const COLORREF oldColour = ::GetDCBrushColor(hDC);
        for (const Band& band : m_bands) {
            ::SetDCBrushColor(hDC, band.color);
            if (horizontal)
                ::PatBlt(
                    hDC, rect.left + band.first, rect.top, band.last - band.first, rect.bottom - rect.top, PATCOPY);
            else
                ::PatBlt(
                    hDC, rect.left, rect.top + band.first, rect.right - rect.left, band.last - band.first, PATCOPY);
        }
        ::SetDCBrushColor(hDC, oldColour);
        ::SelectObject(hDC, old);
    }

private:
    struct Band {
        int first, last;
        COLORREF color;
    };

    static COLORREF BandColour(COLORREF from, COLORREF to, int i)
    {
        int rgb[3];
        for (int k = 0; k < 3; ++k) {
            const int a = Channel(from, 8 * k), b = Channel(to, 8 * k);
            rgb[k] = (64 * a + i * (b - a)) >> 6;
        }
        return RGB(rgb[0], rgb[1], rgb[2]);
    }
    // COLORREF 0x00BBGGRR to the 32-bit pixel 0x00RRGGBB.
    static uint32_t ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

    // A plain true-colour raster target. (The bitmap of a memory DC answers for its depth: asking
    // the DC for its capabilities costs more than the whole fill on some platforms.)
    static bool CanUsePattern(HDC hDC)
    {
        if (::GetMapMode(hDC) != MM_TEXT || ::GetGraphicsMode(hDC) != GM_COMPATIBLE)
            return false;
        switch (::GetObjectType(hDC)) {
        case OBJ_MEMDC: {
            BITMAP bm {};
            return ::GetObjectA(::GetCurrentObject(hDC, OBJ_BITMAP), sizeof bm, &bm) && bm.bmBitsPixel >= 24;
        }
        case OBJ_DC:
            return ::GetDeviceCaps(hDC, TECHNOLOGY) == DT_RASDISPLAY && ::GetDeviceCaps(hDC, BITSPIXEL) >= 24;
        default:
            return false;
        }
    }

    // The brush holds the line as one row and starts at the rectangle's corner.
    bool FillWithPattern(HDC hDC, const RECT& rect) const
    {
        const int length = static_cast<int>(m_pixels.size());
        std::vector<uint32_t> packed(sizeof(BITMAPINFOHEADER) / 4 + m_pixels.size());
        BITMAPINFOHEADER header {};
        header.biSize = sizeof header;
        header.biWidth = length;
        header.biHeight = 1;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        std::memcpy(packed.data(), &header, sizeof header);
        std::copy(m_pixels.begin(), m_pixels.end(), packed.begin() + sizeof header / 4);
        gdi::Brush brush(::CreateDIBPatternBrushPt(packed.data(), DIB_RGB_COLORS));
        if (!brush)
            return false;
        // The brush origin is in device units.
        POINT origin { rect.left, rect.top };
        ::LPtoDP(hDC, &origin, 1);
        POINT old {};
        ::SetBrushOrgEx(hDC, origin.x, origin.y, &old);
        const bool filled = ::FillRect(hDC, &rect, brush.get()) != 0;
        ::SetBrushOrgEx(hDC, old.x, old.y, nullptr);
        return filled;
    }

    // Down the rectangle: the line as a column a few pixels wide, copied side by side. (A pattern
    // brush of the column costs more than the fill itself on some platforms, and one fill per band
    // is one call per row or two in a small rectangle.)
    bool FillWithColumn(HDC hDC, const RECT& rect, PaletteDib& column) const
    {
        const int length = static_cast<int>(m_pixels.size());
        const int width = std::min(kColumnWidth, static_cast<int>(rect.right - rect.left));
        if (!column.Create(width, length, 32, false))
            return false;
        // Rows bottom-up: the line's first pixel is the last row.
        BYTE* const bits = column.GetBits();
        const size_t stride = static_cast<size_t>(column.GetStride());
        for (int i = 0; i < length; ++i)
            std::fill_n(reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(length - 1 - i) * stride), width,
                m_pixels[static_cast<size_t>(i)]);
        return column.DrawAcross(hDC, rect.left, rect.top, rect.right - rect.left);
    }

    // One fill call costs about as much as filling this many pixels (measured); copying the column
    // across costs about one more pass over the rectangle, so it pays only where the bands' calls
    // outweigh that.
    bool CheaperAsColumn(const RECT& rect) const
    {
        const int64_t area = static_cast<int64_t>(rect.right - rect.left) * (rect.bottom - rect.top);
        return area < static_cast<int64_t>(m_bands.size()) * kPixelsPerCall;
    }

    static constexpr int kColumnWidth = 64;
    static constexpr int64_t kPixelsPerCall = 1024;

    std::vector<uint32_t> m_pixels;
    std::vector<Band> m_bands;
};

// The soft bump's base of one row: the two bumps summed, scaled as a whole, then raised to G and
// lowered to 255 - G in that order.
__attribute__((always_inline)) inline void SoftBumpRowOf(
    const int16_t* columnCube, int rowCube, int G, int16_t* out, int W)
{
    const int scale = 128 - G, low = G, high = 255 - G;
    for (int x = 0; x < W; ++x) {
        int p = 128 + ((rowCube + columnCube[x]) * scale) / 128;
        p = p < low ? low : p;
        p = p > high ? high : p;
        out[x] = static_cast<int16_t>(p);
    }
}

void SoftBumpRow(const int16_t* columnCube, int rowCube, int G, int16_t* out, int W)
{
    SoftBumpRowOf(columnCube, rowCube, G, out, W);
}

// The same sixteen pixels at a time in 16-bit lanes where the processor has AVX2. The products fit:
// a bump sum lies within -250 .. 253 and the scale within -127 .. 128, so |sum * scale| < 32768.
__attribute__((target("avx2"))) void SoftBumpRowAvx2(const int16_t* columnCube, int rowCube, int G, int16_t* out, int W)
{
    const __m256i row = _mm256_set1_epi16(static_cast<short>(rowCube));
    const __m256i scale = _mm256_set1_epi16(static_cast<short>(128 - G));
    const __m256i middle = _mm256_set1_epi16(128);
    const __m256i low = _mm256_set1_epi16(static_cast<short>(G));
    const __m256i high = _mm256_set1_epi16(static_cast<short>(255 - G));
    const __m256i roundToZero = _mm256_set1_epi16(127);
    int x = 0;
    for (; x + 16 <= W; x += 16) {
        const __m256i sum = _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(columnCube + x)), row);
        const __m256i product = _mm256_mullo_epi16(sum, scale);
        // Division by 128 truncating toward zero: negative products are moved up by 127 first.
        const __m256i bias = _mm256_and_si256(_mm256_srai_epi16(product, 15), roundToZero);
        __m256i p = _mm256_add_epi16(middle, _mm256_srai_epi16(_mm256_add_epi16(product, bias), 7));
        p = _mm256_max_epi16(p, low);
        p = _mm256_min_epi16(p, high);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), p);
    }
    SoftBumpRowOf(columnCube + x, rowCube, G, out + x, W - x);
}

// The same 64 at a time as bytes, for the runs that take their base that way (an amplitude below 128,
// so every value lies within 0 .. 255).
__attribute__((target("avx512f,avx512bw"))) void SoftBumpBytes(
    const int16_t* columnCube, int rowCube, int G, uint8_t* out, int W)
{
    const __m512i row = _mm512_set1_epi16(static_cast<short>(rowCube));
    const __m512i scale = _mm512_set1_epi16(static_cast<short>(128 - G));
    const __m512i middle = _mm512_set1_epi16(128);
    const __m512i low = _mm512_set1_epi16(static_cast<short>(G));
    const __m512i high = _mm512_set1_epi16(static_cast<short>(255 - G));
    const __m512i roundToZero = _mm512_set1_epi16(127);
    for (int x = 0; x < W; x += 32) {
        const __mmask32 keep = W - x >= 32 ? ~__mmask32 { 0 } : (__mmask32 { 1 } << (W - x)) - 1;
        const __m512i sum = _mm512_add_epi16(_mm512_maskz_loadu_epi16(keep, columnCube + x), row);
        const __m512i product = _mm512_mullo_epi16(sum, scale);
        const __m512i bias = _mm512_and_si512(_mm512_srai_epi16(product, 15), roundToZero);
        __m512i p = _mm512_add_epi16(middle, _mm512_srai_epi16(_mm512_add_epi16(product, bias), 7));
        p = _mm512_min_epi16(_mm512_max_epi16(p, low), high);
        _mm512_mask_cvtepi16_storeu_epi8(out + x, keep, p);
    }
}

// value(x, r) = row part + column part + noise, for every pixel in row-by-row order.
void FillSeparable(
    PaletteDib& dib, NoiseRows& noise, const std::vector<int>& rowPart, const std::vector<int>& columnPart)
{
    const int W = dib.GetWidth(), H = dib.GetHeight();
    std::copy(columnPart.begin(), columnPart.begin() + W, noise.Base());
    for (int r = 0; r < H; ++r)
        noise.Add(r, rowPart[r]);
}

// Two passes: a horizontal bump of half the depth, then a bevel of width L on the left and right
// edges whose inner border curves in a parabola from the middle row (full bevel) to the top and
// bottom rows (none). Both passes run in one go: the second pass's generator starts where the first
// pass's W x H values end, and the first pass's value counts only between the bevels, where the
// second pass adds to it (the sum kept modulo 256 is the same); over the bevels it is drawn and
// dropped.
void BuildHardBump(PaletteDib& dib, int G, NoiseRows& noise)
{
    const int W = dib.GetWidth(), H = dib.GetHeight();
    uint32_t second = rixnoise::Advance(noise.State(), static_cast<uint64_t>(W) * H);
    const int64_t L = std::min(W / 6, 16);
    // A picture one row high has only its middle row, where the curve term is 0 anyway; the divisor
    // (H * H) / 4 would be 0 there.
    const int64_t q = std::max<int64_t>(1, (static_cast<int64_t>(H) * H) >> 2);
    const int64_t halfH = H / 2, halfW = W / 2;
    // Between the bevels the base is 0 and the bump comes with the first pass's value; a row's
    // bevels differ from the last row's by a few columns, which are all that is rewritten.
    std::fill(noise.Base(), noise.Base() + W, int16_t { 0 });
    std::vector<int8_t> keepFirst(W, int8_t { -1 });
    int64_t lastLeftEnd = 0, lastRightStart = W;
    for (int r = 0; r < H; ++r) {
        const int64_t M = ((r * L - halfH * L) * (r - halfH)) / q + halfW - L;
        // The bevels hold the columns x with x - W/2 < -M on the left and x - W/2 > M on the right;
        // with L = 0 (narrower than 6 pixels) neither exists.
        const int64_t leftEnd = L > 0 ? std::clamp<int64_t>(halfW - M, 0, W) : 0;
        const int64_t rightStart = L > 0 ? std::clamp<int64_t>(halfW + M + 1, leftEnd, W) : W;
        int16_t* const base = leftEnd != lastLeftEnd || rightStart != lastRightStart ? noise.Base() : nullptr;
        for (int64_t x = std::min(leftEnd, lastLeftEnd); x < std::max(leftEnd, lastLeftEnd); ++x) {
            const bool bevel = x < leftEnd;
            base[x] = bevel ? static_cast<int16_t>((255 - G) - (x * 128) / L) : int16_t { 0 };
            keepFirst[x] = static_cast<int8_t>(bevel ? 0 : -1);
        }
        for (int64_t x = std::min(rightStart, lastRightStart); x < std::max(rightStart, lastRightStart); ++x) {
            const bool bevel = x >= rightStart;
            base[x] = bevel ? static_cast<int16_t>(G + ((W - x) * 128) / L) : int16_t { 0 };
            keepFirst[x] = static_cast<int8_t>(bevel ? 0 : -1);
        }
        lastLeftEnd = leftEnd;
        lastRightStart = rightStart;
        // The first pass's value, less its noise term's G; the second pass takes off its own.
        const int m = 255 * r / H - 127;
        const int bump = 128 + (Cube(m) * (64 - G) * 2) / 128 - G;
        noise.Add(r, 0, rixnoise::NoiseExtras { nullptr, &second, keepFirst.data(), bump });
    }
    // Asking for the state runs the rows noted above, which moves `second` on.
    uint32_t& state = noise.State();
    state = second;
}

// Division of a generator value (0 .. 32767) by a divisor of at least 1.
class Scale {
public:
    explicit Scale(int divisor)
        : m_nDivisor(divisor)
        , m_reciprocal(std::max(2, divisor))
    {
    }
    int Divide(int value) const { return m_nDivisor == 1 ? value : m_reciprocal.Divide(value); }

private:
    int m_nDivisor;
    rixnoise::Divisor m_reciprocal;
};

// 200 diagonal scratches over a black ground, then a diagonal shade and the noise.
void BuildMetal(PaletteDib& dib, int G, NoiseRows& noise)
{
    const int W = dib.GetWidth(), H = dib.GetHeight();
    const int D = 255 - 2 * G;
    // Beyond 32767 pixels the scale 32767 / size would be 0: scratches then start anywhere in the
    // first 32768 columns or rows instead of dividing by zero.
    // The scales divide generator values, which the reciprocals divide exactly (see Divisor) and
    // several times faster than a division instruction.
    const Scale xScale(std::max(1, 32767 / W));
    const Scale yScale(std::max(1, 32767 / H));
    const Scale lengthScale(std::max(1, 32767 / std::min(W, H)));
    uint32_t& state = noise.State();
    // A scratch takes four values in a row. Value k of each comes from a chain of its own that
    // jumps four steps at a time, so that the four chains' multiplies overlap.
    static constexpr rixnoise::Jump kFour = rixnoise::JumpOf(4);
    uint32_t chain[4];
    for (uint32_t k = 0, s = state; k < 4; ++k)
        chain[k] = s = s * rixnoise::kMultiplier + rixnoise::kIncrement;
    auto next = [&chain](int k) {
        const int v = static_cast<int>((chain[k] >> 16) & rixnoise::kMax);
        chain[k] = chain[k] * kFour.multiplier + kFour.increment;
        return v;
    };
    ScratchSweep scratches(W, H);
    for (int i = 0; i < ScratchSweep::kMostScratches; ++i) {
        const int64_t x0 = xScale.Divide(next(0));
        const int64_t y0 = yScale.Divide(next(1));
        const int64_t length = lengthScale.Divide(next(2)) / 2;
        const BYTE value = static_cast<BYTE>(next(3) / 819);
        // Two diagonals of one value: (x0 - k, y0 + k) while x0 - k > 0 and y0 + k < H, and
        // (W - x0 + k, y0 - k) while x0 + k < W and y0 - k > 0, top-down, each cut to the picture.
        const int64_t down = std::min<int64_t>({ length, x0, H - y0 });
        const int64_t downFrom = std::max<int64_t>(0, x0 - W + 1);
        scratches.Add(x0 + y0, y0 + downFrom, y0 + down, value);
        const int64_t up = std::min<int64_t>({ length, W - x0, y0, x0 });
        const int64_t upFrom = std::max<int64_t>({ 0, x0 - W, y0 - H + 1 });
        scratches.Add(W - x0 + y0, y0 - up + 1, y0 - upFrom + 1, value);
    }
    state = rixnoise::Advance(state, 4 * ScratchSweep::kMostScratches);
    // Each row's scratches are added as the noise runs over it.
    const int n = (D - 40) / 2;
    int16_t* const base = noise.Base();
    for (int x = 0; x < W; ++x)
        base[x] = static_cast<int16_t>(((W - x) * n) / W);
    for (int r = 0; r < H; ++r)
        noise.AddUnshifted(r, (r * n) / H, scratches);
    noise.RunNoted();
}

} // namespace

void RixEffectPainter::DrawGradient(HDC hDC, const RECT& rect, COLORREF clrFrom, COLORREF clrTo, BOOL bHorizontal)
{
    GradientLine line;
    line.Append(bHorizontal ? rect.right - rect.left : rect.bottom - rect.top, clrFrom, clrTo);
    line.Fill(hDC, rect, bHorizontal != FALSE, m_ColumnDib);
}

void RixEffectPainter::DrawEffect(
    HDC hDC, int nEffect, const RECT& rect, COLORREF clr1, COLORREF clr2, COLORREF clr3, int nNoise, int nBlend)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // The two halves of a split gradient, the first truncated toward zero.
    const bool horizontal = nEffect == RIXFX_HGRADIENT || nEffect == RIXFX_HCGRADIENT || nEffect == RIXFX_3HGRADIENT;
    const int extent = horizontal ? width : height;
    GradientLine line;

    switch (nEffect) {
    case RIXFX_HGRADIENT:
    case RIXFX_VGRADIENT:
        line.Append(extent, clr1, clr3);
        line.Fill(hDC, rect, horizontal, m_ColumnDib);
        break;
    case RIXFX_HCGRADIENT:
    case RIXFX_VCGRADIENT:
        line.Append(extent / 2, clr1, clr3);
        line.Append(extent - extent / 2, clr3, clr1);
        line.Fill(hDC, rect, horizontal, m_ColumnDib);
        break;
    case RIXFX_3HGRADIENT:
    case RIXFX_3VGRADIENT:
        line.Append(extent / 2, clr1, clr2);
        line.Append(extent - extent / 2, clr2, clr3);
        line.Fill(hDC, rect, horizontal, m_ColumnDib);
        break;
    case RIXFX_NOISE:
    case RIXFX_DIAGSHADE:
    case RIXFX_HSHADE:
    case RIXFX_VSHADE:
    case RIXFX_HBUMP:
    case RIXFX_VBUMP:
    case RIXFX_SOFTBUMP:
    case RIXFX_HARDBUMP:
    case RIXFX_METAL:
        BuildPattern(RECT { 0, 0, width, height }, nEffect, nNoise, nBlend, clr1, clr2, clr3);
        m_PatternDib.Draw(hDC, rect.left, rect.top);
        break;
    default:
        // An upside-down rectangle is as empty as the gradients and patterns treat it.
        if (width > 0 && height > 0)
            FillSolid(hDC, rect, clr1);
        break;
    }
}

void RixEffectPainter::BuildPattern(
    const RECT& rect, int nEffect, int nNoise, int nBlend, COLORREF clr1, COLORREF clr2, COLORREF clr3)
{
    const int W = rect.right - rect.left;
    const int H = rect.bottom - rect.top;
    PaletteDib& dib = m_PatternDib;
    // Every effect writes every pixel.
    if (!dib.Create(W, H, 8, false))
        return;

    // Colour 3 at entry 0, colour 2 around 128, colour 1 at 255 (the second ramp's first entry
    // replaces the first ramp's last), set in one go.
    RGBQUAD ramp[256];
    for (int i = 0; i <= 128; ++i) {
        int rgb[3];
        for (int k = 0; k < 3; ++k) {
            const int c2 = Channel(clr2, 8 * k), c3 = Channel(clr3, 8 * k);
            rgb[k] = (128 * c3 + i * (c2 - c3)) / 128;
        }
        ramp[i] = RGBQUAD { static_cast<BYTE>(rgb[2]), static_cast<BYTE>(rgb[1]), static_cast<BYTE>(rgb[0]), 0 };
    }
    for (int j = 1; j <= 128; ++j) {
        int rgb[3];
        for (int k = 0; k < 3; ++k) {
            const int c1 = Channel(clr1, 8 * k), c2 = Channel(clr2, 8 * k);
            rgb[k] = (j * c1 + (128 - j) * c2) / 128;
        }
        ramp[127 + j] = RGBQUAD { static_cast<BYTE>(rgb[2]), static_cast<BYTE>(rgb[1]), static_cast<BYTE>(rgb[0]), 0 };
    }
    dib.SetColorTable(ramp, 256);
    dib.BlendPalette(clr1, nBlend);

    const int G = nNoise & 0xFF;
    const int D = 255 - 2 * G;
    NoiseRows noise(dib, G);
    // Rows in stored order: r = 0 is the bottom row of the picture. Most effects are a row part plus
    // a column part plus the noise, each part worked out once.
    std::vector<int> rowPart(H, 0), columnPart(W, 0);
    auto eachRow = [&](auto f) {
        for (int r = 0; r < H; ++r)
            rowPart[r] = f(r);
    };
    auto eachColumn = [&](auto f) {
        for (int x = 0; x < W; ++x)
            columnPart[x] = f(x);
    };
    auto bumpOfRow = [&](int r) { return Cube(255 * r / H - 127); };
    auto bumpOfColumn = [&](int x) { return Cube(255 * (W - x) / W - 127); };

    switch (nEffect) {
    case RIXFX_NOISE:
        eachRow([](int) { return 128; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    case RIXFX_DIAGSHADE: {
        const int n = D / 2;
        eachRow([&](int r) { return G + (r * n) / H; });
        eachColumn([&](int x) { return ((W - x) * n) / W; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    }
    case RIXFX_HSHADE:
        eachRow([&](int r) { return G + (r * D) / H; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    case RIXFX_VSHADE:
        eachRow([&](int) { return G; });
        eachColumn([&](int x) { return ((W - x) * D) / W; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    case RIXFX_HBUMP:
        eachRow([&](int r) { return 128 + (bumpOfRow(r) * (128 - G)) / 128; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    case RIXFX_VBUMP:
        eachRow([](int) { return 128; });
        eachColumn([&](int x) { return (bumpOfColumn(x) * (128 - G)) / 128; });
        FillSeparable(dib, noise, rowPart, columnPart);
        break;
    case RIXFX_SOFTBUMP: {
        // The sum of the two bumps is scaled as a whole, then kept inside G .. 255 - G.
        eachColumn(bumpOfColumn);
        const std::vector<int16_t> columnCube(columnPart.begin(), columnPart.end());
        const auto softRow = rixnoise::HasAvx2() ? SoftBumpRowAvx2 : SoftBumpRow;
        // Rows near the middle share their bump (the cube is 0 for |m| < 26): their base is kept.
        int lastCube = 0;
        for (int r = 0; r < H; ++r) {
            const int rowCube = bumpOfRow(r);
            if ((r == 0 || rowCube != lastCube) && noise.TakesBytes())
                SoftBumpBytes(columnCube.data(), rowCube, G, noise.ByteBase(), W);
            else if (r == 0 || rowCube != lastCube)
                softRow(columnCube.data(), rowCube, G, noise.Base(), W);
            lastCube = rowCube;
            noise.Add(r, 0);
        }
        break;
    }
    case RIXFX_HARDBUMP:
        BuildHardBump(dib, G, noise);
        break;
    case RIXFX_METAL:
        BuildMetal(dib, G, noise);
        break;
    default:
        break;
    }
    noise.Finish();
}
