// Not a test of the product: a program that misuses its heap on purpose, so that the heap-checking
// run can be shown to catch what it is there to catch (heap_check_selfcheck.sh).
#include <gtest/gtest.h>

#include <array>

TEST(HeapMisuse, WritesIntoABlockAfterFreeingIt)
{
    auto* block = new std::array<char, 64> {};
    // Kept where the compiler cannot follow it, as a dangling pointer in real code would be.
    char* volatile kept = block->data();
    delete block;
    kept[8] = 'x';
    SUCCEED();
}

TEST(HeapMisuse, UsesTheHeapCleanly)
{
    auto* block = new std::array<char, 64> {};
    (*block)[8] = 'x';
    EXPECT_EQ((*block)[8], 'x');
    delete block;
}
