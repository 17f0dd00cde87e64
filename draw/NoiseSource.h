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

// Moves a state on by any number of steps, squaring the one-step jump along the way.
constexpr uint32_t Advance(uint32_t state, uint64_t steps)
{
    uint32_t multiplier = kMultiplier, increment = kIncrement;
    for (; steps; steps >>= 1) {
        if (steps & 1)
            state = state * multiplier + increment;
        increment = increment * multiplier + increment;
        multiplier *= multiplier;
    }
    return state;
}

// What a run adds besides the noise of its own generator: optional bytes of the caller's, and
// optionally the noise of a second generator whose values the first one's keep mask may drop.
struct NoiseExtras {
    const uint8_t* bytes = nullptr;
    uint32_t* second = nullptr;
    // 0 or -1 per value: whether the first generator's value, with firstAdd added, counts (the
    // second's always does).
    const int8_t* keepFirst = nullptr;
    int firstAdd = 0;
};

// The same as AddNoiseSse2, plus the extras, one value at a time.
inline void AddNoisePlain(uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out,
    int count, const NoiseExtras& extras)
{
    for (int i = 0; i < count; ++i) {
        int value = base[i] + add + (extras.bytes ? extras.bytes[i] : 0);
        const int first = divisor.Divide(Step(state));
        if (extras.second) {
            value += divisor.Divide(Step(*extras.second)) + (extras.keepFirst[i] & (first + extras.firstAdd));
        } else {
            value += first;
        }
        out[i] = static_cast<uint8_t>(value);
    }
}

namespace detail {

// Thirty-two generator lanes in four AVX2 registers. The 256-bit packs work within each 128-bit half,
// so lane k of register j holds value 4j + k (k < 4) or 16 + 4j + (k - 4), which the packs put back
// in order.
struct Lanes32 {
    __m256i s0, s1, s2, s3;
};

__attribute__((target("avx2"))) inline Lanes32 StartLanes(uint32_t state)
{
    static constexpr auto start
        = LaneStart<32, 8, int (*)(int, int)>([](int j, int k) { return k < 4 ? 4 * j + k : 16 + 4 * j + (k - 4); });
    const __m256i from = _mm256_set1_epi32(static_cast<int>(state));
    const __m256i* m = reinterpret_cast<const __m256i*>(start.multiplier);
    const __m256i* a = reinterpret_cast<const __m256i*>(start.increment);
    return Lanes32 { _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m)), _mm256_loadu_si256(a)),
        _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 1)), _mm256_loadu_si256(a + 1)),
        _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 2)), _mm256_loadu_si256(a + 2)),
        _mm256_add_epi32(_mm256_mullo_epi32(from, _mm256_loadu_si256(m + 3)), _mm256_loadu_si256(a + 3)) };
}

__attribute__((target("avx2"))) inline void AdvanceLanes(Lanes32& lanes)
{
    constexpr Jump jump = JumpOf(32);
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(jump.multiplier));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(jump.increment));
    lanes.s0 = _mm256_add_epi32(_mm256_mullo_epi32(lanes.s0, multiplier), increment);
    lanes.s1 = _mm256_add_epi32(_mm256_mullo_epi32(lanes.s1, multiplier), increment);
    lanes.s2 = _mm256_add_epi32(_mm256_mullo_epi32(lanes.s2, multiplier), increment);
    lanes.s3 = _mm256_add_epi32(_mm256_mullo_epi32(lanes.s3, multiplier), increment);
}

// The quotients in 16-bit lanes: q0 of values 0..7 and 16..23, q1 of 8..15 and 24..31.
__attribute__((target("avx2"))) inline void Quotients(
    const Lanes32& lanes, __m256i reciprocal, __m128i shift, __m256i& q0, __m256i& q1)
{
    const __m256i mask = _mm256_set1_epi32(kMax);
    const __m256i v0 = _mm256_packs_epi32(_mm256_and_si256(_mm256_srli_epi32(lanes.s0, 16), mask),
        _mm256_and_si256(_mm256_srli_epi32(lanes.s1, 16), mask));
    const __m256i v1 = _mm256_packs_epi32(_mm256_and_si256(_mm256_srli_epi32(lanes.s2, 16), mask),
        _mm256_and_si256(_mm256_srli_epi32(lanes.s3, 16), mask));
    q0 = _mm256_srl_epi16(_mm256_mulhi_epu16(v0, reciprocal), shift);
    q1 = _mm256_srl_epi16(_mm256_mulhi_epu16(v1, reciprocal), shift);
}

// The state that gave value t (0 .. 31) of the block.
__attribute__((target("avx2"))) inline uint32_t StateOf(const Lanes32& lanes, int t)
{
    alignas(32) uint32_t all[4][8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(all[0]), lanes.s0);
    _mm256_store_si256(reinterpret_cast<__m256i*>(all[1]), lanes.s1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(all[2]), lanes.s2);
    _mm256_store_si256(reinterpret_cast<__m256i*>(all[3]), lanes.s3);
    return all[(t % 16) / 4][t < 16 ? t % 4 : 4 + t % 4];
}

// 32 16-bit values in the lanes' order: low holds values 0..7 and 16..23, high 8..15 and 24..31.
__attribute__((target("avx2"))) inline void LoadInLaneOrder(const int16_t* p, __m256i& low, __m256i& high)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 16));
    low = _mm256_permute2x128_si256(a, b, 0x20);
    high = _mm256_permute2x128_si256(a, b, 0x31);
}

struct BlockConstants {
    __m256i reciprocal;
    __m128i shift;
    __m256i addend;
    __m256i firstAdd;
};

// One block of 32 values into `out`.
template <bool kBytes, bool kSecond>
__attribute__((target("avx2"))) inline void Block(const Lanes32& first, const Lanes32& second, const BlockConstants& c,
    const int16_t* base, const int8_t* keep, const uint8_t* bytes, uint8_t* out)
{
    __m256i q0, q1;
    Quotients(first, c.reciprocal, c.shift, q0, q1);
    if (kSecond) {
        // Unpacking a byte with itself makes the word 0 or -1, in the lanes' order (see below).
        const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keep));
        const __m256i keep0 = _mm256_unpacklo_epi8(k, k), keep1 = _mm256_unpackhi_epi8(k, k);
        __m256i p0, p1;
        Quotients(second, c.reciprocal, c.shift, p0, p1);
        q0 = _mm256_add_epi16(_mm256_and_si256(_mm256_add_epi16(q0, c.firstAdd), keep0), p0);
        q1 = _mm256_add_epi16(_mm256_and_si256(_mm256_add_epi16(q1, c.firstAdd), keep1), p1);
    }
    if (kBytes) {
        // Unpacking within each half puts bytes 0..7 and 16..23 in the low word lanes already.
        const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        q0 = _mm256_add_epi16(q0, _mm256_unpacklo_epi8(e, _mm256_setzero_si256()));
        q1 = _mm256_add_epi16(q1, _mm256_unpackhi_epi8(e, _mm256_setzero_si256()));
    }
    __m256i b0, b1;
    LoadInLaneOrder(base, b0, b1);
    const __m256i lowByte = _mm256_set1_epi16(0xFF);
    const __m256i r0 = _mm256_and_si256(_mm256_add_epi16(_mm256_add_epi16(b0, c.addend), q0), lowByte);
    const __m256i r1 = _mm256_and_si256(_mm256_add_epi16(_mm256_add_epi16(b1, c.addend), q1), lowByte);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(r0, r1));
}

template <bool kBytes, bool kSecond>
__attribute__((target("avx2"))) inline void AddNoiseAvx2Of(uint32_t& state, const Divisor& divisor, const int16_t* base,
    int add, uint8_t* out, int count, const NoiseExtras& extras)
{
    if (count <= 0)
        return;
    Lanes32 first = StartLanes(state);
    Lanes32 second = StartLanes(kSecond ? *extras.second : 0);
    const BlockConstants c { _mm256_set1_epi16(static_cast<short>(divisor.Multiplier())),
        _mm_cvtsi32_si128(divisor.Shift()), _mm256_set1_epi16(static_cast<short>(add)),
        _mm256_set1_epi16(static_cast<short>(extras.firstAdd)) };
    // Pointers to what a run without the extra reads stand in for them (never read there).
    const int8_t* keep = kSecond ? extras.keepFirst : reinterpret_cast<const int8_t*>(out);
    const uint8_t* bytes = kBytes ? extras.bytes : out;
    int i = 0;
    for (; count - i > 32; i += 32) {
        Block<kBytes, kSecond>(first, second, c, base + i, keep + i, bytes + i, out + i);
        AdvanceLanes(first);
        if (kSecond)
            AdvanceLanes(second);
    }
    const int n = count - i;
    if (n == 32) {
        Block<kBytes, kSecond>(first, second, c, base + i, keep + i, bytes + i, out + i);
    } else {
        // The last, shorter block runs through buffers of its own, so nothing is read or written past
        // the count.
        alignas(32) int16_t baseTail[32] = {};
        alignas(32) int8_t keepTail[32] = {};
        alignas(32) uint8_t bytesTail[32] = {}, outTail[32];
        __builtin_memcpy(baseTail, base + i, sizeof(int16_t) * n);
        if (kSecond)
            __builtin_memcpy(keepTail, keep + i, n);
        if (kBytes)
            __builtin_memcpy(bytesTail, bytes + i, n);
        Block<kBytes, kSecond>(first, second, c, baseTail, keepTail, bytesTail, outTail);
        __builtin_memcpy(out + i, outTail, n);
    }
    state = StateOf(first, n - 1);
    if (kSecond)
        *extras.second = StateOf(second, n - 1);
}

} // namespace detail

// The same with 32 lanes in AVX2 registers, whose 32-bit multiply does eight lanes in one go.
__attribute__((target("avx2"))) inline void AddNoiseAvx2(
    uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count)
{
    detail::AddNoiseAvx2Of<false, false>(state, divisor, base, add, out, count, NoiseExtras {});
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

// out[i] = base[i] + add + next() / divisor [+ bytes[i]] [+ the second generator's value], kept modulo
// 256, in one pass: each generator moves on by count steps. `out` may be `extras.bytes`. Without
// AVX2, one value at a time.
inline void AddNoise(uint32_t& state, const Divisor& divisor, const int16_t* base, int add, uint8_t* out, int count,
    const NoiseExtras& extras)
{
    if (!HasAvx2())
        AddNoisePlain(state, divisor, base, add, out, count, extras);
    else if (extras.second && extras.bytes)
        detail::AddNoiseAvx2Of<true, true>(state, divisor, base, add, out, count, extras);
    else if (extras.second)
        detail::AddNoiseAvx2Of<false, true>(state, divisor, base, add, out, count, extras);
    else if (extras.bytes)
        detail::AddNoiseAvx2Of<true, false>(state, divisor, base, add, out, count, extras);
    else
        AddNoiseAvx2(state, divisor, base, add, out, count);
}

} // namespace rixnoise
