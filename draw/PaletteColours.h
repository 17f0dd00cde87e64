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
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
            && __builtin_cpu_supports("avx512vbmi");
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
__attribute__((target("avx2"))) inline void RowGather(
    const uint8_t* from, uint32_t* to, int count, const uint32_t* table)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + i)));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(to + i), _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4));
    }
    RowPlain(from + i, to + i, count - i, table);
}

// Sixty-four pixels at a time: each of the colour's bytes is looked up in a table of its own with byte
// permutes (two of 128 entries, chosen by the index's top bit), and the byte planes are interleaved
// back into pixels. The unpacks work within 128-bit lanes, so the indices are first put in the order
// that makes them give pixels in order (a 4 x 4 transpose of four-byte groups). A table whose fourth
// bytes are all 0, as every palette's are, skips that plane.
struct Transposed {
    alignas(64) uint8_t order[64] = {};
    constexpr Transposed()
    {
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 4; ++j)
                for (int t = 0; t < 4; ++t)
                    order[16 * k + 4 * j + t] = static_cast<uint8_t>(16 * j + 4 * k + t);
    }
};
// Byte 16k + 4j + t of the reordered indices is pixel 16j + 4k + t.
inline constexpr Transposed kTransposed;

template <bool kFourth>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void RowBytePermute(
    const uint8_t* from, uint32_t* to, int count, const uint32_t* table, const uint8_t (*planes)[256])
{
    constexpr int kPlanes = kFourth ? 4 : 3;
    __m512i low[4], high[4], low2[4], high2[4];
    for (int c = 0; c < kPlanes; ++c) {
        low[c] = _mm512_loadu_si512(planes[c]);
        high[c] = _mm512_loadu_si512(planes[c] + 64);
        low2[c] = _mm512_loadu_si512(planes[c] + 128);
        high2[c] = _mm512_loadu_si512(planes[c] + 192);
    }
    const __m512i reorder = _mm512_load_si512(kTransposed.order);
    int i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i index = _mm512_permutexvar_epi8(reorder, _mm512_loadu_si512(from + i));
        const __mmask64 top = _mm512_movepi8_mask(index);
        __m512i plane[4];
        for (int c = 0; c < kPlanes; ++c)
            plane[c] = _mm512_mask_blend_epi8(top, _mm512_permutex2var_epi8(low[c], index, high[c]),
                _mm512_permutex2var_epi8(low2[c], index, high2[c]));
        if (!kFourth)
            plane[3] = _mm512_setzero_si512();
        // Within each 128-bit lane: blue-green and red-reserved byte pairs, then whole pixels.
        const __m512i bgLow = _mm512_unpacklo_epi8(plane[0], plane[1]);
        const __m512i bgHigh = _mm512_unpackhi_epi8(plane[0], plane[1]);
        const __m512i raLow = _mm512_unpacklo_epi8(plane[2], plane[3]);
        const __m512i raHigh = _mm512_unpackhi_epi8(plane[2], plane[3]);
        _mm512_storeu_si512(to + i, _mm512_unpacklo_epi16(bgLow, raLow));
        _mm512_storeu_si512(to + i + 16, _mm512_unpackhi_epi16(bgLow, raLow));
        _mm512_storeu_si512(to + i + 32, _mm512_unpacklo_epi16(bgHigh, raHigh));
        _mm512_storeu_si512(to + i + 48, _mm512_unpackhi_epi16(bgHigh, raHigh));
    }
    RowPlain(from + i, to + i, count - i, table);
}

// height rows of width indices (rows `stride` bytes apart) into height rows of width pixels.
inline void Convert(
    const uint8_t* from, int stride, uint32_t* to, int width, int height, const uint32_t* table, Kernel kernel)
{
    if (kernel == Kernel::BytePermute) {
        uint8_t planes[4][256];
        bool fourth = false;
        for (int i = 0; i < 256; ++i) {
            for (int c = 0; c < 4; ++c)
                planes[c][i] = static_cast<uint8_t>(table[i] >> (8 * c));
            fourth = fourth || planes[3][i] != 0;
        }
        for (int r = 0; r < height; ++r, from += stride, to += width)
            (fourth ? RowBytePermute<true> : RowBytePermute<false>)(from, to, width, table, planes);
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
