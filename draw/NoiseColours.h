// The noise run and the palette lookup in one pass, where the processor has AVX-512 with byte
// permutes: each block of 64 indices is written and at once turned into its 64 colours, so the
// generator's multiplies and the lookups' permutes keep different parts of the processor busy, and
// the indices are never read back. Gives the very indices, colours and end states of AddNoise
// followed by rixcolours::Convert.
#pragma once

#include "draw/NoiseSource.h"
#include "draw/PaletteColours.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>

namespace rixnoise {

// The blue, green and red bytes of a colour table, for a table whose fourth bytes are all 0 (as a
// palette's are).
struct ColourPlanes {
    uint8_t plane[3][256];
};

// False when some entry has a fourth byte: such a table takes the separate lookup.
inline bool SplitTable(const uint32_t* table, ColourPlanes& planes)
{
    for (int i = 0; i < 256; ++i) {
        if (table[i] >> 24)
            return false;
        for (int c = 0; c < 3; ++c)
            planes.plane[c][i] = static_cast<uint8_t>(table[i] >> (8 * c));
    }
    return true;
}

namespace detail {

// Sixty-four generator lanes in four AVX-512 registers. The packs work within 128-bit lanes, so
// dword d of register j holds value 16 (d / 4) + 4 j + d % 4, which the packs put back in order.
struct Lanes64 {
    __m512i s0, s1, s2, s3;
};

inline constexpr auto kStart64
    = LaneStart<64, 16, int (*)(int, int)>([](int j, int d) { return 16 * (d / 4) + 4 * j + d % 4; });

__attribute__((target("avx512f,avx512bw"))) inline Lanes64 StartLanes64(uint32_t state)
{
    const __m512i from = _mm512_set1_epi32(static_cast<int>(state));
    const uint32_t* m = kStart64.multiplier;
    const uint32_t* a = kStart64.increment;
    return Lanes64 { _mm512_add_epi32(_mm512_mullo_epi32(from, _mm512_loadu_si512(m)), _mm512_loadu_si512(a)),
        _mm512_add_epi32(_mm512_mullo_epi32(from, _mm512_loadu_si512(m + 16)), _mm512_loadu_si512(a + 16)),
        _mm512_add_epi32(_mm512_mullo_epi32(from, _mm512_loadu_si512(m + 32)), _mm512_loadu_si512(a + 32)),
        _mm512_add_epi32(_mm512_mullo_epi32(from, _mm512_loadu_si512(m + 48)), _mm512_loadu_si512(a + 48)) };
}

__attribute__((target("avx512f,avx512bw"))) inline void AdvanceLanes64(Lanes64& lanes)
{
    constexpr Jump jump = JumpOf(64);
    const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(jump.multiplier));
    const __m512i increment = _mm512_set1_epi32(static_cast<int>(jump.increment));
    lanes.s0 = _mm512_add_epi32(_mm512_mullo_epi32(lanes.s0, multiplier), increment);
    lanes.s1 = _mm512_add_epi32(_mm512_mullo_epi32(lanes.s1, multiplier), increment);
    lanes.s2 = _mm512_add_epi32(_mm512_mullo_epi32(lanes.s2, multiplier), increment);
    lanes.s3 = _mm512_add_epi32(_mm512_mullo_epi32(lanes.s3, multiplier), increment);
}

// Word w of the pair (a, b), 128-bit lane L = w / 8 and t = w % 8: the high half of the dword that
// holds value 16L + t of a block (pair s0, s1) or 16L + 8 + t (pair s2, s3).
struct HighWords {
    alignas(64) uint16_t index[32] = {};
    constexpr HighWords()
    {
        for (int w = 0; w < 32; ++w)
            index[w] = static_cast<uint16_t>((w % 8 / 4) * 32 + 2 * (4 * (w / 8) + w % 4) + 1);
    }
};
inline constexpr HighWords kHighWords;

// The block's 64 quotients as bytes in order; each is at most 255 (an amplitude below 128).
__attribute__((target("avx512f,avx512bw"))) inline __m512i Quotients64(
    const Lanes64& lanes, __m512i highWords, __m512i reciprocal, __m128i shift)
{
    const __m512i mask = _mm512_set1_epi16(kMax);
    const __m512i v0 = _mm512_and_si512(_mm512_permutex2var_epi16(lanes.s0, highWords, lanes.s1), mask);
    const __m512i v1 = _mm512_and_si512(_mm512_permutex2var_epi16(lanes.s2, highWords, lanes.s3), mask);
    return _mm512_packus_epi16(_mm512_srl_epi16(_mm512_mulhi_epu16(v0, reciprocal), shift),
        _mm512_srl_epi16(_mm512_mulhi_epu16(v1, reciprocal), shift));
}

// The state that gave value t (0 .. 63) of the block.
__attribute__((target("avx512f,avx512bw"))) inline uint32_t StateOf64(const Lanes64& lanes, int t)
{
    alignas(64) uint32_t all[4][16];
    _mm512_store_si512(all[0], lanes.s0);
    _mm512_store_si512(all[1], lanes.s1);
    _mm512_store_si512(all[2], lanes.s2);
    _mm512_store_si512(all[3], lanes.s3);
    return all[(t % 16) / 4][4 * (t / 16) + t % 4];
}

struct ColourRegisters {
    __m512i low[3], high[3], low2[3], high2[3];
    __m512i reorder;
};

// The colours of 64 indices, as rixcolours::RowBytePermute<false> finds them, those the mask keeps
// stored from `to` on.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void StoreColours(
    const ColourRegisters& t, __m512i indices, uint32_t* to, __mmask64 keep)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i index = _mm512_permutexvar_epi8(t.reorder, indices);
    const __mmask64 top = _mm512_movepi8_mask(index);
    __m512i plane[3];
    for (int c = 0; c < 3; ++c)
        plane[c] = _mm512_mask_blend_epi8(top, _mm512_permutex2var_epi8(t.low[c], index, t.high[c]),
            _mm512_permutex2var_epi8(t.low2[c], index, t.high2[c]));
    const __m512i bgLow = _mm512_unpacklo_epi8(plane[0], plane[1]);
    const __m512i bgHigh = _mm512_unpackhi_epi8(plane[0], plane[1]);
    const __m512i rLow = _mm512_unpacklo_epi8(plane[2], zero);
    const __m512i rHigh = _mm512_unpackhi_epi8(plane[2], zero);
    _mm512_mask_storeu_epi32(to, static_cast<__mmask16>(keep), _mm512_unpacklo_epi16(bgLow, rLow));
    _mm512_mask_storeu_epi32(to + 16, static_cast<__mmask16>(keep >> 16), _mm512_unpackhi_epi16(bgLow, rLow));
    _mm512_mask_storeu_epi32(to + 32, static_cast<__mmask16>(keep >> 32), _mm512_unpacklo_epi16(bgHigh, rHigh));
    _mm512_mask_storeu_epi32(to + 48, static_cast<__mmask16>(keep >> 48), _mm512_unpackhi_epi16(bgHigh, rHigh));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline ColourRegisters LoadColours(const ColourPlanes& planes)
{
    ColourRegisters t;
    for (int c = 0; c < 3; ++c) {
        t.low[c] = _mm512_loadu_si512(planes.plane[c]);
        t.high[c] = _mm512_loadu_si512(planes.plane[c] + 64);
        t.low2[c] = _mm512_loadu_si512(planes.plane[c] + 128);
        t.high2[c] = _mm512_loadu_si512(planes.plane[c] + 192);
    }
    t.reorder = _mm512_load_si512(rixcolours::kTransposed.order);
    return t;
}

// Every sum is taken in bytes, which keeps it modulo 256 as it goes.
template <bool kBytes, bool kSecond>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void AddNoiseColoursOf(uint32_t& state,
    const Divisor& divisor, const uint8_t* base, int add, uint8_t* out, uint32_t* colours, int count,
    const NoiseExtras& extras, const ColourPlanes& planes)
{
    if (count <= 0)
        return;
    const ColourRegisters t = LoadColours(planes);
    Lanes64 first = StartLanes64(state);
    Lanes64 second = StartLanes64(kSecond ? *extras.second : 0);
    const __m512i highWords = _mm512_load_si512(kHighWords.index);
    const __m512i reciprocal = _mm512_set1_epi16(static_cast<short>(divisor.Multiplier()));
    const __m128i shift = _mm_cvtsi32_si128(divisor.Shift());
    const __m512i addend = _mm512_set1_epi8(static_cast<char>(add));
    const __m512i firstAdd = _mm512_set1_epi8(static_cast<char>(extras.firstAdd));
    for (int i = 0;; i += 64) {
        const int n = count - i < 64 ? count - i : 64;
        // The last block reads and writes only the values it has.
        const __mmask64 keep = n == 64 ? ~__mmask64 { 0 } : (__mmask64 { 1 } << n) - 1;
        __m512i q = Quotients64(first, highWords, reciprocal, shift);
        if (kSecond) {
            const __m512i keepFirst = _mm512_maskz_loadu_epi8(keep, extras.keepFirst + i);
            q = _mm512_add_epi8(_mm512_and_si512(_mm512_add_epi8(q, firstAdd), keepFirst),
                Quotients64(second, highWords, reciprocal, shift));
        }
        if (kBytes)
            q = _mm512_add_epi8(q, _mm512_maskz_loadu_epi8(keep, extras.bytes + i));
        const __m512i indices = _mm512_add_epi8(_mm512_add_epi8(_mm512_maskz_loadu_epi8(keep, base + i), addend), q);
        _mm512_mask_storeu_epi8(out + i, keep, indices);

        StoreColours(t, indices, colours + i, keep);
        if (n < 64 || i + 64 == count) {
            state = StateOf64(first, n - 1);
            if (kSecond)
                *extras.second = StateOf64(second, n - 1);
            return;
        }
        AdvanceLanes64(first);
        if (kSecond)
            AdvanceLanes64(second);
    }
}

} // namespace detail

// to[i] = from[i] modulo 256 (the base values AddNoiseColours takes).
__attribute__((target("avx512f,avx512bw"))) inline void ToBytes(const int16_t* from, uint8_t* to, int count)
{
    int i = 0;
    for (; i + 32 <= count; i += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm512_cvtepi16_epi8(_mm512_loadu_si512(from + i)));
    for (; i < count; ++i)
        to[i] = static_cast<uint8_t>(from[i]);
}

// Whether AddNoiseColours can take this divisor: its quotients must fit a byte, which they do for
// every amplitude below 128.
inline bool QuotientsFitBytes(const Divisor& divisor)
{
    return divisor.Divide(kMax) <= 255;
}

// AddNoise that also writes colours[i] = the table's colour of out[i], the table split by SplitTable,
// with the base values as bytes (modulo 256). Only where rixcolours::HasBytePermute() and
// QuotientsFitBytes(divisor).
inline void AddNoiseColours(uint32_t& state, const Divisor& divisor, const uint8_t* base, int add, uint8_t* out,
    uint32_t* colours, int count, const NoiseExtras& extras, const ColourPlanes& planes)
{
    if (extras.second && extras.bytes)
        detail::AddNoiseColoursOf<true, true>(state, divisor, base, add, out, colours, count, extras, planes);
    else if (extras.second)
        detail::AddNoiseColoursOf<false, true>(state, divisor, base, add, out, colours, count, extras, planes);
    else if (extras.bytes)
        detail::AddNoiseColoursOf<true, false>(state, divisor, base, add, out, colours, count, extras, planes);
    else
        detail::AddNoiseColoursOf<false, false>(state, divisor, base, add, out, colours, count, extras, planes);
}

// One row of a whole picture's run: its base values (bytes), the first generator's keep mask (with
// a second generator) and its two added terms.
struct RowTerms {
    const uint8_t* base = nullptr;
    const int8_t* keepFirst = nullptr;
    int add = 0;
    int firstAdd = 0;
};

namespace detail {

// Bytes from two rows: those of `first` from p, the rest from q's start on (q less the first part's
// length, so that lane j reads q[j - length]).
__attribute__((target("avx512f,avx512bw"))) inline __m512i LoadAcross(
    const void* p, const void* q, int length, __mmask64 first, __mmask64 rest)
{
    const __m512i a = _mm512_maskz_loadu_epi8(first, p);
    return rest
        ? _mm512_mask_loadu_epi8(a, rest, reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(q) - length))
        : a;
}

// The whole picture as one run of blocks of 64 values, a block reaching into the next row where a
// row ends inside it (rows of at least 64 values, so a block touches two rows at most): no block is
// cut short at each row's end, and the lanes and tables stay in registers throughout.
template <bool kBytes, bool kSecond, typename Bytes>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void AddNoiseColoursRowsOf(uint32_t& state,
    uint32_t* secondState, const Divisor& divisor, const RowTerms* rows, int width, int height, uint8_t* out,
    ptrdiff_t stride, uint32_t* colours, Bytes* bytes, int firstRow, const ColourPlanes& planes)
{
    const int64_t count = static_cast<int64_t>(width) * height;
    if (count <= 0)
        return;
    const ColourRegisters t = LoadColours(planes);
    Lanes64 first = StartLanes64(state);
    Lanes64 second = StartLanes64(kSecond ? *secondState : 0);
    const __m512i highWords = _mm512_load_si512(kHighWords.index);
    const __m512i reciprocal = _mm512_set1_epi16(static_cast<short>(divisor.Multiplier()));
    const __m128i shift = _mm_cvtsi32_si128(divisor.Shift());
    int r = 0, x = 0;
    // The bytes of the block's first row; those of the next, once asked for where a block reaches it.
    const uint8_t* bytesA = kBytes ? bytes->Row(firstRow) : nullptr;
    const uint8_t* bytesB = nullptr;
    for (int64_t i = 0;; i += 64) {
        const int n = count - i < 64 ? static_cast<int>(count - i) : 64;
        const int inRow = std::min(n, width - x);
        const __mmask64 all = n == 64 ? ~__mmask64 { 0 } : (__mmask64 { 1 } << n) - 1;
        const __mmask64 own = inRow == 64 ? ~__mmask64 { 0 } : (__mmask64 { 1 } << inRow) - 1;
        const __mmask64 next = all & ~own;
        const RowTerms& a = rows[r];
        const RowTerms& b = next ? rows[r + 1] : a;
        uint8_t* const rowA = out + r * stride;
        uint8_t* const rowB = next ? rowA + stride : rowA;
        __m512i q = Quotients64(first, highWords, reciprocal, shift);
        if (kSecond) {
            const __m512i keepFirst = LoadAcross(a.keepFirst + x, b.keepFirst, inRow, own, next);
            const __m512i firstAdd = _mm512_mask_set1_epi8(
                _mm512_set1_epi8(static_cast<char>(a.firstAdd)), next, static_cast<char>(b.firstAdd));
            q = _mm512_add_epi8(_mm512_and_si512(_mm512_add_epi8(q, firstAdd), keepFirst),
                Quotients64(second, highWords, reciprocal, shift));
        }
        if (kBytes) {
            __m512i b = _mm512_maskz_loadu_epi8(own, bytesA + x);
            if (next) {
                bytesB = bytes->Row(firstRow + r + 1);
                b = _mm512_mask_loadu_epi8(
                    b, next, reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(bytesB) - inRow));
            }
            q = _mm512_add_epi8(q, b);
        }
        const __m512i add
            = _mm512_mask_set1_epi8(_mm512_set1_epi8(static_cast<char>(a.add)), next, static_cast<char>(b.add));
        const __m512i indices
            = _mm512_add_epi8(_mm512_add_epi8(LoadAcross(a.base + x, b.base, inRow, own, next), add), q);
        _mm512_mask_storeu_epi8(rowA + x, own, indices);
        if (next)
            _mm512_mask_storeu_epi8(reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(rowB) - inRow), next, indices);
        StoreColours(t, indices, colours + i, all);
        if (n < 64 || i + 64 == count) {
            state = StateOf64(first, n - 1);
            if (kSecond)
                *secondState = StateOf64(second, n - 1);
            return;
        }
        x += 64;
        if (x >= width) {
            x -= width;
            ++r;
            if (kBytes)
                bytesA = next ? bytesB : bytes->Row(firstRow + r);
        }
        AdvanceLanes64(first);
        if (kSecond)
            AdvanceLanes64(second);
    }
}

} // namespace detail

// Runs AddNoiseColours over every row of a picture at once, row r (stored order, `stride` bytes
// apart in `out`, `width` colours apart in `colours`) with rows[r]'s terms. `bytes`, where given, adds
// its row firstRow + r, bytes->Row(firstRow + r), as AddNoiseColours adds extras.bytes: rows are asked
// for in order, and row r's bytes have all been read before row r + 1 is asked for, so a source may
// reuse one buffer for them (it is a type of the caller's so that the call can be inlined: a call the
// compiler cannot see into would cost the loop its registers). Rows of at least 64 values only.
template <typename Bytes>
inline void AddNoiseColoursRows(uint32_t& state, uint32_t* second, const Divisor& divisor, const RowTerms* rows,
    int width, int height, uint8_t* out, ptrdiff_t stride, uint32_t* colours, Bytes* bytes, int firstRow,
    const ColourPlanes& planes)
{
    auto run = [&](auto f) {
        f(state, second, divisor, rows, width, height, out, stride, colours, bytes, firstRow, planes);
    };
    if (second && bytes)
        run(detail::AddNoiseColoursRowsOf<true, true, Bytes>);
    else if (second)
        run(detail::AddNoiseColoursRowsOf<false, true, Bytes>);
    else if (bytes)
        run(detail::AddNoiseColoursRowsOf<true, false, Bytes>);
    else
        run(detail::AddNoiseColoursRowsOf<false, false, Bytes>);
}

} // namespace rixnoise
