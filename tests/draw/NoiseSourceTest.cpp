// The patterns' own generator against the C library's rand(): the same numbers from the same start,
// lanes that stay in step with one-at-a-time calls, and an exact reciprocal for every divisor.
#include "draw/NoiseSource.h"
#include "draw/PaletteColours.h"
#include "draw/RixEffectPainter.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    uint32_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = 0x01000000u * (255 - i) + 0x00010203u * i + 7;
    // Widths around each kernel's step (8 and 64), rows padded to a stride of their own.
    for (const int width : {1, 7, 8, 9, 63, 64, 65, 130, 200}) {
        const int height = 3, stride = (width + 3) / 4 * 4 + 4;
        std::vector<uint8_t> indices(static_cast<size_t>(stride) * height);
        for (size_t i = 0; i < indices.size(); ++i)
            indices[i] = static_cast<uint8_t>(i * 101 + 13);
        for (const auto kernel :
             {rixcolours::Kernel::Plain, rixcolours::Kernel::Gather, rixcolours::Kernel::BytePermute}) {
            if ((kernel == rixcolours::Kernel::Gather && !rixnoise::HasAvx2()) ||
                (kernel == rixcolours::Kernel::BytePermute && !rixcolours::HasBytePermute()))
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
