// The noise behind the patterned backgrounds: the C library's linear congruential generator
// (seed = seed * 214013 + 2531011, value = bits 16..30 of the seed), kept here with a state of our
// own per thread that starts at 1 like the library's. A fresh thread so draws the very numbers
// rand() would give it, but inlined, several lanes at a time, and without touching the library's
// state: rand() elsewhere in the process neither disturbs the patterns nor is disturbed by them.
#pragma once

#include <cstdint>
#include <immintrin.h>

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
inline void Seed(uint32_t seed)
{
    State() = seed;
}

inline int Step(uint32_t& state)
{
    state = state * kMultiplier + kIncrement;
    return static_cast<int>((state >> 16) & kMax);
}

// The next value of this thread's sequence, 0 .. 32767.
inline int Next()
{
    return Step(State());
}

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

// The jumps that take a state to each of the next `lanes` states, lane k of register j holding
// value order(j, k): the lanes start in one step each instead of one after another.
template <int kLanes, int kPerRegister, typename Order> struct LaneStart {
    uint32_t multiplier[kLanes] = {};
    uint32_t increment[kLanes] = {};
    constexpr explicit LaneStart(Order order)
    {
        for (int j = 0; j < kLanes / kPerRegister; ++j)
            for (int k = 0; k < kPerRegister; ++k) {
                const Jump jump = JumpOf(static_cast<unsigned>(order(j, k)) + 1);
                multiplier[j * kPerRegister + k] = jump.multiplier;
                increment[j * kPerRegister + k] = jump.increment;
            }
    }
};

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
        m_nMultiplier = static_cast<uint16_t>(((uint64_t { 1 } << (15 + l)) + divisor - 1) / divisor);
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
    return _mm_unpacklo_epi32(
        _mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)), _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

} // namespace detail

// out[i] = base[i] + add + next() / divisor, kept modulo 256, for i = 0 .. count - 1 in order; `state`
// moves on by count steps. Sixteen lanes run side by side, each jumping sixteen steps at a time
// (SSE2, which every 64-bit processor has).
inline void AddNoiseSse2(uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count)
{
    int i = 0;
    if (count >= 16) {
        static constexpr auto start = LaneStart<16, 4, int (*)(int, int)>([](int j, int k) { return 4 * j + k; });
        const __m128i from = _mm_set1_epi32(static_cast<int>(state));
        auto lane = [&](int j) {
            const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start.multiplier + 4 * j));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start.increment + 4 * j));
            const __m128i even = _mm_mul_epu32(from, m);
            const __m128i odd = _mm_mul_epu32(from, _mm_srli_epi64(m, 32));
            return _mm_add_epi32(_mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                     _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0))),
                a);
        };
        __m128i s0 = lane(0), s1 = lane(1), s2 = lane(2), s3 = lane(3);
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
            const __m128i v0 = _mm_packs_epi32(
                _mm_and_si128(_mm_srli_epi32(s0, 16), mask), _mm_and_si128(_mm_srli_epi32(s1, 16), mask));
            const __m128i v1 = _mm_packs_epi32(
                _mm_and_si128(_mm_srli_epi32(s2, 16), mask), _mm_and_si128(_mm_srli_epi32(s3, 16), mask));
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

// The same with 32 lanes in AVX2 registers, whose 32-bit multiply does eight lanes in one go. The
// 256-bit packs work within each 128-bit half, so lane k of register j holds value 4j + k (k < 4)
// or 16 + 4j + (k - 4), which the packs put back in order; the base values are arranged to match.
__attribute__((target("avx2"))) inline void AddNoiseAvx2(
    uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count)
{
    if (count <= 0)
        return;
    static constexpr auto start
        = LaneStart<32, 8, int (*)(int, int)>([](int j, int k) { return k < 4 ? 4 * j + k : 16 + 4 * j + (k - 4); });
    const __m256i from = _mm256_set1_epi32(static_cast<int>(state));
    const __m256i* m = reinterpret_cast<const __m256i*>(start.multiplier);
    const __m256i* a = reinterpret_cast<const __m256i*>(start.increment);
    __m256i s0 = _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m)), _mm256_loadu_si256(a));
    __m256i s1 = _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 1)), _mm256_loadu_si256(a + 1));
    __m256i s2 = _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 2)), _mm256_loadu_si256(a + 2));
    __m256i s3 = _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 3)), _mm256_loadu_si256(a + 3));
    constexpr Jump jump = JumpOf(32);
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(jump.multiplier));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(jump.increment));
    const __m256i mask = _mm256_set1_epi32(kMax);
    const __m256i reciprocal = _mm256_set1_epi16(static_cast<short>(divisor.Multiplier()));
    const __m128i shift = _mm_cvtsi32_si128(divisor.Shift());
    const __m256i addend = _mm256_set1_epi16(static_cast<short>(add));
    const __m256i lowByte = _mm256_set1_epi16(0xFF);
    for (int i = 0; i < count; i += 32) {
        // A last, shorter block runs through buffers of its own, so nothing is read or written past
        // the count.
        const int n = count - i < 32 ? count - i : 32;
        alignas(32) int16_t baseTail[32] = {};
        alignas(32) uint8_t outTail[32];
        const int16_t* b = base + i;
        uint8_t* o = out + i;
        if (n < 32) {
            __builtin_memcpy(baseTail, b, sizeof(int16_t) * n);
            b = baseTail;
            o = outTail;
        }
        // 16-bit lanes: v0 holds values 0..7 and 16..23, v1 values 8..15 and 24..31.
        const __m256i v0 = _mm256_packs_epi32(
            _mm256_and_si256(_mm256_srli_epi32(s0, 16), mask), _mm256_and_si256(_mm256_srli_epi32(s1, 16), mask));
        const __m256i v1 = _mm256_packs_epi32(
            _mm256_and_si256(_mm256_srli_epi32(s2, 16), mask), _mm256_and_si256(_mm256_srli_epi32(s3, 16), mask));
        const __m256i q0 = _mm256_srl_epi16(_mm256_mulhi_epu16(v0, reciprocal), shift);
        const __m256i q1 = _mm256_srl_epi16(_mm256_mulhi_epu16(v1, reciprocal), shift);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 16));
        const __m256i b0 = _mm256_permute2x128_si256(low, high, 0x20);
        const __m256i b1 = _mm256_permute2x128_si256(low, high, 0x31);
        const __m256i r0 = _mm256_and_si256(_mm256_add_epi16(_mm256_add_epi16(b0, addend), q0), lowByte);
        const __m256i r1 = _mm256_and_si256(_mm256_add_epi16(_mm256_add_epi16(b1, addend), q1), lowByte);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_packus_epi16(r0, r1));
        if (n < 32) {
            __builtin_memcpy(out + i, outTail, n);
            alignas(32) uint32_t lanes[4][8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), s0);
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), s1);
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[2]), s2);
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[3]), s3);
            const int t = n - 1;
            state = lanes[(t % 16) / 4][t < 16 ? t % 4 : 4 + t % 4];
            return;
        }
        if (i + 32 == count) {
            // Value 31 sits in lane 7 of the fourth register.
            state = static_cast<uint32_t>(_mm256_extract_epi32(s3, 7));
            return;
        }
        s0 = _mm256_add_epi32(_mm256_mullo_epi32(s0, multiplier), increment);
        s1 = _mm256_add_epi32(_mm256_mullo_epi32(s1, multiplier), increment);
        s2 = _mm256_add_epi32(_mm256_mullo_epi32(s2, multiplier), increment);
        s3 = _mm256_add_epi32(_mm256_mullo_epi32(s3, multiplier), increment);
    }
}

inline bool HasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// The widest of the two the processor runs; both give the same bytes and the same end state.
inline void AddNoise(uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count)
{
    if (HasAvx2())
        AddNoiseAvx2(state, divisor, base, add, out, count);
    else
        AddNoiseSse2(state, divisor, base, add, out, count);
}

} // namespace rixnoise
