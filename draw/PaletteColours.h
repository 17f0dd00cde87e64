// Rows of 8-bit palette indices turned into 32-bit pixels through their colour table: the step that
// takes a palettised pattern to a true-colour copy. Three ways to the same pixels, the widest the
// processor has chosen by default.
#pragma once

#include "draw/NoiseSource.h"

#include <cstdint>
#include <immintrin.h>

namespace rixcolours {

enum class Kernel { Plain, Gather, BytePermute };

inline bool HasBytePermute()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return has;
}

inline Kernel Best()
{
    if (HasBytePermute())
        return Kernel::BytePermute;
    return rixnoise::HasAvx2() ? Kernel::Gather : Kernel::Plain;
}

inline void RowPlain(const uint8_t* from, uint32_t* to, int count, const uint32_t* table)
{
    for (int i = 0; i < count; ++i)
        to[i] = table[from[i]];
}

// Eight pixels to a gather.
__attribute__((target("avx2"))) inline void RowGather(const uint8_t* from, uint32_t* to, int count,
                                                      const uint32_t* table)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4));
    }
    RowPlain(from + i, to + i, count - i, table);
}

// Sixty-four pixels at a time: each of the four bytes of a colour is looked up in a table of its own
// with byte permutes (two of 128 entries, chosen by the index's top bit), and the four byte planes
// are interleaved back into pixels.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void RowBytePermute(const uint8_t* from, uint32_t* to,
                                                                                  int count, const uint32_t* table,
                                                                                  const uint8_t (*planes)[256])
{
    __m512i low[4], high[4];
    for (int c = 0; c < 4; ++c) {
        low[c] = _mm512_loadu_si512(planes[c]);
        high[c] = _mm512_loadu_si512(planes[c] + 64);
    }
    __m512i low2[4], high2[4];
    for (int c = 0; c < 4; ++c) {
        low2[c] = _mm512_loadu_si512(planes[c] + 128);
        high2[c] = _mm512_loadu_si512(planes[c] + 192);
    }
    int i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i index = _mm512_loadu_si512(from + i);
        const __mmask64 top = _mm512_movepi8_mask(index);
        __m512i plane[4];
        for (int c = 0; c < 4; ++c)
            plane[c] = _mm512_mask_blend_epi8(top, _mm512_permutex2var_epi8(low[c], index, high[c]),
                                              _mm512_permutex2var_epi8(low2[c], index, high2[c]));
        // Within each 128-bit lane: blue-green and red-reserved byte pairs, then whole pixels.
        const __m512i bgLow = _mm512_unpacklo_epi8(plane[0], plane[1]);
        const __m512i bgHigh = _mm512_unpackhi_epi8(plane[0], plane[1]);
        const __m512i raLow = _mm512_unpacklo_epi8(plane[2], plane[3]);
        const __m512i raHigh = _mm512_unpackhi_epi8(plane[2], plane[3]);
        const __m512i p0 = _mm512_unpacklo_epi16(bgLow, raLow);   // lane k: pixels 16k + 0..3
        const __m512i p1 = _mm512_unpackhi_epi16(bgLow, raLow);   // 16k + 4..7
        const __m512i p2 = _mm512_unpacklo_epi16(bgHigh, raHigh); // 16k + 8..11
        const __m512i p3 = _mm512_unpackhi_epi16(bgHigh, raHigh); // 16k + 12..15
        // A 4 x 4 transpose of the 128-bit lanes puts the pixels in order.
        const __m512i x0 = _mm512_shuffle_i64x2(p0, p1, 0x44);
        const __m512i x1 = _mm512_shuffle_i64x2(p2, p3, 0x44);
        const __m512i x2 = _mm512_shuffle_i64x2(p0, p1, 0xEE);
        const __m512i x3 = _mm512_shuffle_i64x2(p2, p3, 0xEE);
        _mm512_storeu_si512(to + i, _mm512_shuffle_i64x2(x0, x1, 0x88));
        _mm512_storeu_si512(to + i + 16, _mm512_shuffle_i64x2(x0, x1, 0xDD));
        _mm512_storeu_si512(to + i + 32, _mm512_shuffle_i64x2(x2, x3, 0x88));
        _mm512_storeu_si512(to + i + 48, _mm512_shuffle_i64x2(x2, x3, 0xDD));
    }
    RowPlain(from + i, to + i, count - i, table);
}

// height rows of width indices (rows `stride` bytes apart) into height rows of width pixels.
inline void Convert(const uint8_t* from, int stride, uint32_t* to, int width, int height, const uint32_t* table,
                    Kernel kernel)
{
    if (kernel == Kernel::BytePermute) {
        uint8_t planes[4][256];
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 4; ++c)
                planes[c][i] = static_cast<uint8_t>(table[i] >> (8 * c));
        for (int r = 0; r < height; ++r, from += stride, to += width)
            RowBytePermute(from, to, width, table, planes);
        return;
    }
    for (int r = 0; r < height; ++r, from += stride, to += width) {
        if (kernel == Kernel::Gather)
            RowGather(from, to, width, table);
        else
            RowPlain(from, to, width, table);
    }
}

} // namespace rixcolours
