// Entry of every test program.
#include "Registry.h"
#include "framework/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// In a heap-checking run (TESSEL_HEAP_CHECK=1, Wine filling freed blocks), every heap of the
// process is walked after each test: a block written after it was freed shows there, next to the
// test that wrote it, instead of passing unnoticed.
class HeapCheckAfterEachTest : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        HANDLE heaps[256];
        const DWORD count = ::GetProcessHeaps(256, heaps);
        for (DWORD i = 0; i < count && i < 256; i++) {
            if (!::HeapValidate(heaps[i], 0, nullptr)) {
                std::printf("heap %p damaged by the end of %s.%s\n", heaps[i], test.test_suite_name(), test.name());
                damaged = true;
            }
        }
    }
    bool damaged = false;
};

// The program keeps its choices per user; every test starts as at a first start, and what was there
// before the run is put back at its end.
constexpr const char* kSettingsKey = "Software\\Calvera Tessel for Excel";

class FreshUserSettings : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    }
};

} // namespace

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::OleInitialize(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    HeapCheckAfterEachTest* walk = nullptr;
    const char* check = std::getenv("TESSEL_HEAP_CHECK");
    if (check && std::strcmp(check, "1") == 0) {
        walk = new HeapCheckAfterEachTest;
        ::testing::UnitTest::GetInstance()->listeners().Append(walk); // owned by the listeners
    }
    RegistrySnapshot settings(HKEY_CURRENT_USER, kSettingsKey);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshUserSettings);
    const int result = RUN_ALL_TESTS();
    return result != 0 ? result : walk && walk->damaged ? 1 : 0;
}
