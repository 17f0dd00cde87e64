// The noise behind the patterned backgrounds: the C library's linear congruential generator
// (seed = seed * 214013 + 2531011, value = bits 16..30 of the seed), kept here with a state of our
// own per thread that starts at 1 like the library's. A fresh thread so draws the very numbers
// rand() would give it, but inlined, several lanes at a time, and without touching the library's
// state: rand() elsewhere in the process neither disturbs the patterns nor is disturbed by them.
#pragma once

#include <cstdint>
#include <emmintrin.h>

namespace rixnoise {

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;
constexpr int kMax = 0x7FFF;

// This thread's generator state; 1 until the first draw, as the library's.
inline uint32_t& State()
{
    thread_local uint32_t state = 1;
    return state;
}

// Restarts this thread's sequence, as srand() does the library's.
inline void Seed(uint32_t seed) { State() = seed; }

inline int Step(uint32_t& state)
{
    state = state * kMultiplier + kIncrement;
    return static_cast<int>((state >> 16) & kMax);
}

// The next value of this thread's sequence, 0 .. 32767.
inline int Next() { return Step(State()); }

// n steps at once: state(n) = multiplier * state + increment.
struct Jump {
    uint32_t multiplier = 1;
    uint32_t increment = 0;
};

constexpr Jump JumpOf(unsigned steps)
{
    Jump jump;
    for (unsigned i = 0; i < steps; ++i) {
        jump.multiplier *= kMultiplier;
        jump.increment = jump.increment * kMultiplier + kIncrement;
    }
    return jump;
}

// v / divisor for 0 <= v <= 32767 and 2 <= divisor <= 32767, as a 16-bit multiply-high and a shift:
// with l = ceil(log2 divisor) and m = ceil(2^(15 + l) / divisor), m * divisor exceeds 2^(15 + l) by
// less than divisor <= 2^l, which makes (v * m) >> (15 + l) exact for every 15-bit v; and m < 2^16.
class Divisor {
public:
    explicit constexpr Divisor(int divisor)
    {
        int l = 1;
        while ((1 << l) < divisor)
            ++l;
        m_nMultiplier = static_cast<uint16_t>(((uint64_t{1} << (15 + l)) + divisor - 1) / divisor);
        m_nShift = l - 1;
    }
    constexpr int Divide(int value) const
    {
        return static_cast<int>(((static_cast<uint32_t>(value) * m_nMultiplier) >> 16) >> m_nShift);
    }
    uint16_t Multiplier() const { return m_nMultiplier; }
    int Shift() const { return m_nShift; }

private:
    uint16_t m_nMultiplier = 0;
    int m_nShift = 0;
};

namespace detail {

// The low 32 bits of each lane times a constant (SSE2 has no 32-bit multiply-low).
inline __m128i MultiplyLow(__m128i a, __m128i constant)
{
    const __m128i even = _mm_mul_epu32(a, constant);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), constant);
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

} // namespace detail

// out[i] = base[i] + add + next() / divisor, kept modulo 256, for i = 0 .. count - 1 in order; `state`
// moves on by count steps. Sixteen lanes run side by side, each jumping sixteen steps at a time.
inline void AddNoise(uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count)
{
    int i = 0;
    if (count >= 16) {
        alignas(16) uint32_t lanes[16];
        uint32_t s = state;
        for (uint32_t& lane : lanes)
            lane = s = s * kMultiplier + kIncrement;
        __m128i s0 = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
        __m128i s1 = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 4));
        __m128i s2 = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 8));
        __m128i s3 = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 12));
        constexpr Jump jump = JumpOf(16);
        const __m128i multiplier = _mm_set1_epi32(static_cast<int>(jump.multiplier));
        const __m128i increment = _mm_set1_epi32(static_cast<int>(jump.increment));
        const __m128i mask = _mm_set1_epi32(kMax);
        const __m128i reciprocal = _mm_set1_epi16(static_cast<short>(divisor.Multiplier()));
        const __m128i shift = _mm_cvtsi32_si128(divisor.Shift());
        const __m128i addend = _mm_set1_epi16(static_cast<short>(add));
        const __m128i lowByte = _mm_set1_epi16(0xFF);
        __m128i last = s3;
        for (; i + 16 <= count; i += 16) {
            const __m128i v0 = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s0, 16), mask),
                                               _mm_and_si128(_mm_srli_epi32(s1, 16), mask));
            const __m128i v1 = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s2, 16), mask),
                                               _mm_and_si128(_mm_srli_epi32(s3, 16), mask));
            const __m128i q0 = _mm_srl_epi16(_mm_mulhi_epu16(v0, reciprocal), shift);
            const __m128i q1 = _mm_srl_epi16(_mm_mulhi_epu16(v1, reciprocal), shift);
            const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
            const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 8));
            const __m128i r0 = _mm_and_si128(_mm_add_epi16(_mm_add_epi16(b0, addend), q0), lowByte);
            const __m128i r1 = _mm_and_si128(_mm_add_epi16(_mm_add_epi16(b1, addend), q1), lowByte);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r0, r1));
            last = s3;
            s0 = _mm_add_epi32(detail::MultiplyLow(s0, multiplier), increment);
            s1 = _mm_add_epi32(detail::MultiplyLow(s1, multiplier), increment);
            s2 = _mm_add_epi32(detail::MultiplyLow(s2, multiplier), increment);
            s3 = _mm_add_epi32(detail::MultiplyLow(s3, multiplier), increment);
        }
        // The state that gave the last value used.
        state = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(last, _MM_SHUFFLE(3, 3, 3, 3))));
    }
    for (; i < count; ++i)
        out[i] = static_cast<uint8_t>(base[i] + add + divisor.Divide(Step(state)));
}

} // namespace rixnoise
