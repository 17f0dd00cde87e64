// How far a run has got, outside the result list: "n of N" in the instruction line and the
// progress on the taskbar button, recorded by a taskbar that stands in for the shell's.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "app/TaskbarProgress.h"
#include "repair/ByteSource.h"
#include "res/resource.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

struct TaskbarCall {
    std::string what; // "state N" or "value done/total"
    std::string instructions; // the instruction line when the call came
};

std::vector<TaskbarCall> g_calls;
std::atomic<int> g_valuesShown { 0 }; // taskbar values the window has shown so far
HWND g_hMain = nullptr;
int g_made = 0;

// The three sources differ in length, so a read tells which row it is for.
constexpr uint64_t kBookLength = 2048;
constexpr uint64_t kBookStep = 512;

// Holds a row's read until the window has counted that row: each count is then made on its own,
// as it is when rows take longer than the window's batches, and none may be skipped.
bool ReadOnceCounted(HANDLE hFile, uint8_t* data, DWORD count)
{
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(hFile, &size) && static_cast<uint64_t>(size.QuadPart) >= kBookLength) {
        const int row = static_cast<int>((size.QuadPart - kBookLength) / kBookStep);
        for (int waited = 0; g_valuesShown.load() <= row && waited < 10000; waited += 5)
            ::Sleep(5);
    }
    DWORD got = 0;
    return ::ReadFile(hFile, data, count, &got, nullptr) && got == count;
}

std::string InstructionsNow()
{
    char text[512] = {};
    ::GetWindowTextA(::GetDlgItem(g_hMain, IDC_INSTRUCTIONS), text, sizeof(text));
    return text;
}

class RecordingTaskbar final : public ITaskbarList3 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND hWnd, ULONGLONG done, ULONGLONG total) override
    {
        EXPECT_EQ(hWnd, g_hMain);
        g_calls.push_back({ "value " + std::to_string(done) + "/" + std::to_string(total), InstructionsNow() });
        g_valuesShown++;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND hWnd, TBPFLAG state) override
    {
        EXPECT_EQ(hWnd, g_hMain);
        g_calls.push_back({ "state " + std::to_string(state), InstructionsNow() });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }

private:
    ULONG m_refs = 1;
};

ITaskbarList3* MakeRecordingTaskbar()
{
    g_made++;
    return new RecordingTaskbar;
}

ITaskbarList3* NoTaskbar()
{
    g_made++;
    return nullptr;
}

const std::string kRepairing = "                File Reparing in progress..";

class RunProgress : public MainWindowTest {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_valuesShown = 0;
        g_made = 0;
        m_previous = CTaskbarProgress::SetFactory(Factory());
        MainWindowTest::SetUp();
        g_hMain = dlg->m_hWnd;
        dlg->m_strStartDir = ProgramFolder();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        CTaskbarProgress::SetFactory(m_previous);
        SetCopyBlockReader(m_previousReader);
    }
    virtual CTaskbarProgress::Factory Factory() const { return &MakeRecordingTaskbar; }
    // Three files that are not workbooks (each fails), run beside their sources. With
    // `rowByRow` each row waits for the window to have counted it before it goes on.
    void RunThree(bool rowByRow = false)
    {
        if (rowByRow)
            m_previousReader = SetCopyBlockReader(&ReadOnceCounted);
        for (int i = 0; i < 3; i++) {
            dlg->AddSourceFile(m_folder.WriteFile(L"book" + std::to_wstring(i) + L".xls", kBookLength + i * kBookStep));
            dlg->SourceList().SetCheck(i, TRUE);
        }
        ModalAnswerer answer({ [](HWND hDlg) {
            ::SendMessageA(::GetDlgItem(hDlg, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
            ModalAnswerer::Press(IDOK)(hDlg);
        } });
        Command(IDC_NEXT);
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 60000, dlg.get()));
        Pump(50);
    }

    TempFolder m_folder;
    CTaskbarProgress::Factory m_previous = nullptr;
    CopyBlockReader m_previousReader = CurrentBlockReader();
};

class RunProgressWithoutTaskbar : public RunProgress {
protected:
    CTaskbarProgress::Factory Factory() const override { return &NoTaskbar; }
};

} // namespace

TEST_F(RunProgress, InstructionLineCountsRowsAndTheTaskbarFollowsThenClears)
{
    RunThree(true);
    const std::vector<std::pair<std::string, std::string>> expected = {
        { "state " + std::to_string(TBPF_NORMAL), kRepairing + " 1 of 3" },
        { "value 0/3", kRepairing + " 1 of 3" },
        { "state " + std::to_string(TBPF_NORMAL), kRepairing + " 2 of 3" },
        { "value 1/3", kRepairing + " 2 of 3" },
        { "state " + std::to_string(TBPF_NORMAL), kRepairing + " 3 of 3" },
        { "value 2/3", kRepairing + " 3 of 3" },
        { "state " + std::to_string(TBPF_NOPROGRESS), kRepairing + " 3 of 3" },
    };
    ASSERT_EQ(g_calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_calls[i].what, expected[i].first);
        EXPECT_EQ(g_calls[i].instructions, expected[i].second);
    }
    // The taskbar object is asked for once per window, not once per row.
    EXPECT_EQ(g_made, 1);
}

TEST_F(RunProgressWithoutTaskbar, ARunWithoutTheTaskbarStillCountsAndEnds)
{
    RunThree();
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(g_made, 1);
    char text[512] = {};
    ::GetWindowTextA(Item(IDC_INSTRUCTIONS), text, sizeof(text));
    EXPECT_EQ(std::string(text), "                \r\nFile Reparing Done press Back Button for repair other files");
    EXPECT_EQ(Utf8(dlg->ResultList().GetItemText(2, 4)), "Failed");
}
