// The main window with the template beside it, driven through a batch run as a user would:
// sources added and ticked, Next, the location dialog (and the folder browser) answered.
#pragma once

#include "CopyGate.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "res/resource.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline std::wstring Fixture(const std::string& name)
{
    return L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\" + Wide(name);
}

// The location dialog confirmed with "Repair in the same location".
inline ModalAnswerer::Action SameLocation()
{
    return [](HWND hDlg) {
        ::SendMessageA(::GetDlgItem(hDlg, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
        ModalAnswerer::Press(IDOK)(hDlg);
    };
}

inline std::wstring Numbered(const wchar_t* stem, int i)
{
    return stem + std::to_wstring(i) + L".xls";
}

class BatchRun : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // The template lives beside the program, in the start folder (a file dialog of an earlier
        // test may have moved the current directory since).
        dlg->m_strStartDir = ProgramFolder();
        ASSERT_NE(::GetFileAttributesW((dlg->m_strStartDir + L"\\VuzuviViduv.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    }

    CListCtrl& Results() { return dlg->ResultList(); }
    // In UTF-8, as this file is written.
    std::string Cell(int row, int col) { return Utf8(Results().GetItemText(row, col)); }

    // Adds the files to the source list and ticks them.
    void AddTicked(const std::vector<std::wstring>& paths)
    {
        for (const std::wstring& path : paths) {
            dlg->AddSourceFile(path);
            dlg->SourceList().SetCheck(dlg->SourceList().GetItemCount() - 1, TRUE);
        }
    }
    // Next with the location dialog (and the browser) answered; waits for the run to end.
    void Run(std::vector<ModalAnswerer::Action> answers)
    {
        ModalAnswerer answer(std::move(answers));
        Command(IDC_NEXT);
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 120000, dlg.get()));
        Pump(50);
        ASSERT_GE(answer.Count(), 1u);
        EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel");
    }
    // Next with the location dialog answered by a chosen folder; returns as the run starts.
    // beforeSelecting runs once the folder browser is open, before the folder is chosen in it.
    void StartRunInto(const std::wstring& folder, std::function<void()> beforeSelecting = {})
    {
        ModalAnswerer location({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(folder, std::move(beforeSelecting)) });
        Command(IDC_NEXT);
    }
    // Back during a run with its question answered Yes: the milliseconds from the answer until
    // Back has returned.
    DWORD BackAnsweredYes()
    {
        DWORD pressed = 0;
        ModalAnswerer question({ [&](HWND hBox) {
            pressed = ::GetTickCount();
            ModalAnswerer::Press(IDYES)(hBox);
        } });
        Command(IDC_BACK);
        EXPECT_EQ(question.Count(), 1u);
        return ::GetTickCount() - pressed;
    }
    // Adds and ticks every file of a folder, in the order of their names.
    void AddTickedFolder(const std::wstring& folder)
    {
        std::vector<std::wstring> paths;
        for (const std::wstring& name : FilesIn(folder))
            paths.push_back(folder + L"\\" + name);
        AddTicked(paths);
    }
    bool InStepTwo()
    {
        return dlg->m_nStep == 2 && ::IsWindowVisible(Item(IDC_RESULT_LIST))
            && !::IsWindowVisible(Item(IDC_SOURCE_LIST)) && ::IsWindowVisible(Item(IDC_BACK))
            && !::IsWindowVisible(Item(IDC_NEXT)) && !::IsWindowVisible(Item(IDC_SELECT_ALL))
            && !::IsWindowVisible(Item(IDC_SELECT_ALL_LABEL));
    }
    std::string Instructions()
    {
        char text[512] = {};
        ::GetWindowTextA(Item(IDC_INSTRUCTIONS), text, sizeof(text));
        return text;
    }
};

inline const char* const kDone = "                \r\nFile Reparing Done press Back Button for repair other files";
