// The patterns' own generator against the C library's rand(): the same numbers from the same start,
// lanes that stay in step with one-at-a-time calls, and an exact reciprocal for every divisor.
#include "draw/NoiseSource.h"
#include "draw/NoiseColours.h"
#include "draw/PaletteColours.h"
#include "draw/RixEffectPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// The indices of a noise pattern of amplitude 0x40 (divisor 32767 / 128 = 255), row by row in
// stored order, turned back into the generator values' quotients.
std::vector<int> NoiseQuotients(RixEffectPainter& painter, int W, int H)
{
    painter.BuildPattern(RECT { 0, 0, W, H }, RIXFX_NOISE, 0x40, 0, RGB(0, 0, 0), RGB(1, 1, 1), RGB(2, 2, 2));
    const PaletteDib& dib = painter.GetPattern();
    std::vector<int> out;
    for (int r = 0; r < H; ++r)
        for (int x = 0; x < W; ++x)
            out.push_back(dib.GetBits()[static_cast<size_t>(r) * dib.GetStride() + x] - 128 + 0x40);
    return out;
}

TEST(NoiseSource, AFreshThreadDrawsWhatRandGivesItAndLeavesRandAlone)
{
    const int W = 37, H = 11;
    std::vector<int> pattern, afterPattern, fromRand, ownFirst;
    // Each on a thread of its own, so that both generators start where a new thread starts them.
    std::thread([&] {
        RixEffectPainter painter;
        pattern = NoiseQuotients(painter, W, H);
        // rand() was not consumed by the pattern: it still starts at the beginning.
        for (int i = 0; i < W * H; ++i)
            afterPattern.push_back(std::rand() / 255);
    }).join();
    std::thread([&] {
        for (int i = 0; i < W * H; ++i)
            fromRand.push_back(std::rand() / 255);
        for (int i = 0; i < 5; ++i)
            ownFirst.push_back(rixnoise::Next());
    }).join();
    EXPECT_EQ(fromRand, pattern);
    EXPECT_EQ(fromRand, afterPattern);
    // 41 is the library's well-known first value; the own generator on its thread starts with it too.
    EXPECT_EQ((std::vector<int> { 41, 18467, 6334, 26500, 19169 }), ownFirst);
}

TEST(NoiseSource, PatternsContinueTheirOwnSequenceWhateverRandDoes)
{
    const int W = 20, H = 3;
    RixEffectPainter painter;
    rixnoise::Seed(123);
    std::srand(5);
    const std::vector<int> first = NoiseQuotients(painter, W, H);
    const int nextRand = std::rand();
    std::srand(999); // does not reach the patterns
    const std::vector<int> second = NoiseQuotients(painter, W, H);
    std::vector<int> expected;
    rixnoise::Seed(123);
    for (int i = 0; i < 2 * W * H; ++i)
        expected.push_back(rixnoise::Next() / 255);
    std::vector<int> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(expected, both);
    std::srand(5);
    EXPECT_EQ(std::rand(), nextRand) << "the pattern took no value from rand()";
}

TEST(NoiseSource, LanesGiveTheSameValuesAndEndStateAsOneStepAtATime)
{
    const rixnoise::Divisor divisor(32767 / 10);
    for (int count : { 0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 1024, 1037 }) {
        for (int add : { -5, 0, 130, 300 }) {
            std::vector<int16_t> base(count);
            for (int i = 0; i < count; ++i)
                base[i] = static_cast<int16_t>((i * 37) % 300 - 20);
            // Both kernels, whichever the processor would pick.
            for (const bool wide : { false, true }) {
                if (wide && !rixnoise::HasAvx2())
                    continue;
                std::vector<uint8_t> out(count + 1, 0xAB);
                uint32_t state = 0xDEADBEEF + count;
                (wide ? rixnoise::AddNoiseAvx2 : rixnoise::AddNoiseSse2)(
                    state, divisor, base.data(), add, out.data(), count);
                uint32_t reference = 0xDEADBEEF + count;
                for (int i = 0; i < count; ++i) {
                    const int value = rixnoise::Step(reference) / (32767 / 10);
                    ASSERT_EQ((base[i] + add + value) & 0xFF, out[i])
                        << (wide ? "AVX2" : "SSE2") << " count " << count << " at " << i;
                }
                EXPECT_EQ(0xAB, out[count]) << "nothing written past the count";
                EXPECT_EQ(reference, state) << (wide ? "AVX2" : "SSE2") << " count " << count;
            }
        }
    }
}

TEST(NoiseSource, EveryColourKernelGivesTheTablesColours)
{
    // A table with fourth bytes and one without (a palette's), which the byte permutes skip.
    for (const uint32_t fourth : { 0x01000000u, 0u }) {
        uint32_t table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = fourth * (255 - i) + 0x00010203u * i + 7;
        // Widths around each kernel's step (8 and 64), rows padded to a stride of their own.
        for (const int width : { 1, 7, 8, 9, 63, 64, 65, 130, 200 }) {
            const int height = 3, stride = (width + 3) / 4 * 4 + 4;
            std::vector<uint8_t> indices(static_cast<size_t>(stride) * height);
            for (size_t i = 0; i < indices.size(); ++i)
                indices[i] = static_cast<uint8_t>(i * 101 + 13);
            for (const auto kernel :
                { rixcolours::Kernel::Plain, rixcolours::Kernel::Gather, rixcolours::Kernel::BytePermute }) {
                if ((kernel == rixcolours::Kernel::Gather && !rixnoise::HasAvx2())
                    || (kernel == rixcolours::Kernel::BytePermute && !rixcolours::HasBytePermute()))
                    continue;
                std::vector<uint32_t> out(static_cast<size_t>(width) * height + 1, 0xABCDEF01);
                rixcolours::Convert(indices.data(), stride, out.data(), width, height, table, kernel);
                for (int r = 0; r < height; ++r)
                    for (int x = 0; x < width; ++x)
                        ASSERT_EQ(table[indices[static_cast<size_t>(r) * stride + x]],
                            out[static_cast<size_t>(r) * width + x])
                            << "kernel " << static_cast<int>(kernel) << " width " << width << " at " << x << "," << r;
                EXPECT_EQ(0xABCDEF01u, out.back()) << "nothing written past the picture";
            }
        }
    }
}

TEST(NoiseSource, AdvanceJumpsAsFarAsSingleSteps)
{
    for (const uint64_t steps : { 0ull, 1ull, 2ull, 63ull, 64ull, 65ull, 1000ull, 80000ull, 786432ull }) {
        uint32_t one = 0xC0FFEE;
        for (uint64_t i = 0; i < steps; ++i)
            rixnoise::Step(one);
        EXPECT_EQ(one, rixnoise::Advance(0xC0FFEE, steps)) << steps;
    }
}

// The runs with their extras, one value at a time as the patterns define them: the scratch bytes
// added, the first generator's value (plus firstAdd) kept where keep is -1, the second's always.
TEST(NoiseSource, RunsWithExtrasGiveWhatOneStepAtATimeGives)
{
    const int amplitudes[] = { 0, 5, 127, 128, 200 };
    const int counts[] = { 0, 1, 31, 32, 33, 63, 64, 65, 130, 400 };
    uint32_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = (0x00030507u * i + 0x00102030u) & 0xFFFFFF;
    rixnoise::ColourPlanes planes;
    ASSERT_TRUE(rixnoise::SplitTable(table, planes));
    for (const int amplitude : amplitudes) {
        const int d = 32767 / std::max(1, 2 * amplitude);
        const rixnoise::Divisor divisor(d);
        EXPECT_EQ(amplitude < 128, rixnoise::QuotientsFitBytes(divisor)) << amplitude;
        for (const int count : counts) {
            for (int mode = 1; mode < 4; ++mode) {
                std::vector<int16_t> base(count);
                std::vector<uint8_t> bytes(count), byteBase(count);
                std::vector<int8_t> keep(count);
                for (int i = 0; i < count; ++i) {
                    base[i] = static_cast<int16_t>((i * 37) % 300 - 20);
                    byteBase[i] = static_cast<uint8_t>(base[i]);
                    bytes[i] = static_cast<uint8_t>(i * 11 % 41);
                    keep[i] = static_cast<int8_t>(i % 3 ? -1 : 0);
                }
                const int add = -amplitude, firstAdd = 90 - amplitude;
                std::vector<int> expected(count);
                const uint32_t first = 777u + count, second = 4242u;
                uint32_t endFirst = first, endSecond = second;
                for (int i = 0; i < count; ++i) {
                    const int q1 = rixnoise::Step(endFirst) / d;
                    int v = base[i] + add;
                    if (mode & 1)
                        v += bytes[i];
                    if (mode & 2)
                        v += (keep[i] ? q1 + firstAdd : 0) + rixnoise::Step(endSecond) / d;
                    else
                        v += q1;
                    expected[i] = v & 0xFF;
                }
                const std::string what = "amplitude " + std::to_string(amplitude) + " count " + std::to_string(count)
                    + " mode " + std::to_string(mode);
                for (int kernel = 0; kernel < 3; ++kernel) {
                    if ((kernel == 1 && !rixnoise::HasAvx2())
                        || (kernel == 2 && !(rixcolours::HasBytePermute() && amplitude < 128)))
                        continue;
                    std::vector<uint8_t> out(count + 1, 0xAB);
                    std::vector<uint32_t> colours(count + 1, 0xABCDEF01);
                    uint32_t a = first, b = second;
                    rixnoise::NoiseExtras extras;
                    extras.bytes = mode & 1 ? bytes.data() : nullptr;
                    extras.second = mode & 2 ? &b : nullptr;
                    extras.keepFirst = keep.data();
                    extras.firstAdd = firstAdd;
                    if (kernel == 0)
                        rixnoise::AddNoisePlain(a, divisor, base.data(), add, out.data(), count, extras);
                    else if (kernel == 1)
                        rixnoise::AddNoise(a, divisor, base.data(), add, out.data(), count, extras);
                    else
                        rixnoise::AddNoiseColours(
                            a, divisor, byteBase.data(), add, out.data(), colours.data(), count, extras, planes);
                    for (int i = 0; i < count; ++i) {
                        ASSERT_EQ(expected[i], out[i]) << what << " kernel " << kernel << " at " << i;
                        if (kernel == 2) {
                            ASSERT_EQ(table[out[i]], colours[i]) << what << " at " << i;
                        }
                    }
                    EXPECT_EQ(0xAB, out[count]) << what << " kernel " << kernel << ": nothing past the count";
                    EXPECT_EQ(0xABCDEF01u, colours[count]) << what;
                    EXPECT_EQ(endFirst, a) << what << " kernel " << kernel;
                    if (mode & 2) {
                        EXPECT_EQ(endSecond, b) << what << " kernel " << kernel;
                    }
                }
            }
        }
    }
    // A table with a fourth byte cannot be split: such colours take the separate lookup.
    table[200] |= 0x01000000u;
    EXPECT_FALSE(rixnoise::SplitTable(table, planes));
}

TEST(NoiseSource, ReciprocalGivesTheExactQuotientForEveryValue)
{
    // Every divisor an amplitude can make, over every value the generator returns.
    for (int amplitude = 0; amplitude < 256; ++amplitude) {
        const int d = 32767 / std::max(1, 2 * amplitude);
        const rixnoise::Divisor divisor(d);
        for (int v = 0; v <= 32767; ++v)
            ASSERT_EQ(v / d, divisor.Divide(v)) << v << " / " << d;
    }
    // Every other divisor the reciprocal accepts, at the values around each multiple.
    for (int d = 2; d <= 32767; ++d) {
        const rixnoise::Divisor divisor(d);
        for (int k = 0; k * d <= 32767 + d; ++k)
            for (int v : { k * d - 1, k * d, k * d + d - 1 })
                if (v >= 0 && v <= 32767) {
                    ASSERT_EQ(v / d, divisor.Divide(v)) << v << " / " << d;
                }
    }
}

} // namespace
