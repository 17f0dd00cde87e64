// The summary at the end of a run through the real window: its counts and names, its buttons
// (Open folder through the window's stand-in for Explorer, Save report through the real save
// dialog) and its check box, remembered across a restart.
#include "BatchRunFixture.h"
#include "app/RunSummary.h"
#include "app/UserSettings.h"
#include "framework/RegistryValues.h"
#include "markup/MarkupEscape.h"
#include "msgbox/RixBoxMemory.h"
#include "msgbox/RixMessageBox.h"

namespace {

class RunSummary : public BatchRun {
protected:
    bool WithSummary() const override { return true; }

    // Writes the workbooks, adds them ticked and runs them into `out`; `box` answers the summary.
    void RunInto(const TempFolder& out, std::vector<ModalAnswerer::Action> after)
    {
        std::vector<ModalAnswerer::Action> answers = { ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) };
        answers.insert(answers.end(), after.begin(), after.end());
        ModalAnswerer answer(std::move(answers));
        Command(IDC_NEXT);
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 120000, dlg.get()));
        Pump(300);
        seen = answer.Seen();
    }
    // What the summary box showed, and the captions of its buttons, left to right.
    static ModalAnswerer::Action Record(std::vector<std::string>& captions, int press)
    {
        return [&captions, press](HWND hBox) {
            for (int id = RIXID_CUSTOM1; id <= RIXID_CUSTOM4; id++) {
                char text[64] = {};
                if (HWND hButton = ::GetDlgItem(hBox, id)) {
                    ::GetWindowTextA(hButton, text, sizeof(text));
                    captions.push_back(text);
                }
            }
            ModalAnswerer::Press(press)(hBox);
        };
    }
    // Ticks the box's check box as a click would, then presses the button.
    static ModalAnswerer::Action TickAndPress(int press)
    {
        return [press](HWND hBox) {
            for (HWND child = ::GetWindow(hBox, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                if ((::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                    ::SendMessageA(child, BM_CLICK, 0, 0);
            }
            ModalAnswerer::Press(press)(hBox);
        };
    }
    std::vector<SeenDialog> seen;
};

std::string CutAtHalf(const std::string& bytes)
{
    return bytes.substr(0, bytes.size() / 2);
}

} // namespace

// Four kinds of outcome: the counts, the first names of each and how many more; Save report
// writes the run's rows, what a partial copy lost among them.
TEST_F(RunSummary, CountsNamesAndSaveReportWritesTheRowsWithWhatWasLost)
{
    TempFolder folder, out, reports;
    const std::string sound = ReadWholeFile(Fixture("lo_1cell.xls"));
    std::vector<std::wstring> paths = { folder.WriteFile(L"sound.xls", sound),
        folder.WriteFile(L"cut.xls", CutAtHalf(ReadWholeFile(Fixture("lo_3sheets.xls")))) };
    for (const wchar_t* name : { L"j1.xls", L"R&lt;D.xls", L"j3.xls", L"j4.xls" })
        paths.push_back(folder.WriteFile(name, 700));
    AddTicked(paths);
    std::vector<std::string> captions;
    RunInto(out, { Record(captions, RIXID_CUSTOM2), ModalAnswerer::OpenFiles(reports.Path(), L"run.csv") });

    ASSERT_EQ(seen.size(), 4u);
    const std::string expected = "The repair has ended.<br><br><b>1 repaired</b>: sound.xls<br><b>1 partly recovered</b>: "
                                 "cut.xls<br><b>4 failed</b>: j1.xls, "
        + MarkupEscapedName(L"R&lt;D.xls") + ", j3.xls and 1 more";
    EXPECT_NE(seen[2].text.find(expected), std::string::npos) << seen[2].text;
    EXPECT_EQ(seen[2].caption, "Calvera Tessel for Excel");
    EXPECT_EQ(captions, (std::vector<std::string> { "Open folder", "Save report", "Close" }));
    EXPECT_EQ(seen[3].caption, "Save Report");

    const std::string src = Utf8(folder.Path()) + "\\";
    const std::string dst = Utf8(out.Path()) + "\\";
    const std::vector<std::string> lines = {
        "\xEF\xBB\xBFSource,Repaired copy,Status,What was lost",
        src + "sound.xls," + dst + "REP_sound.xls,Repaired,",
        src + "cut.xls," + dst + "REP_cut.xls,Partly recovered,\"Notes, Zeta\"",
        src + "j1.xls,,Failed,",
        src + "R&lt;D.xls,,Failed,",
        src + "j3.xls,,Failed,",
        src + "j4.xls,,Failed,",
    };
    std::string all;
    for (const std::string& line : lines)
        all += line + "\r\n";
    EXPECT_EQ(ReadWholeFile(reports.File(L"run.csv")), all);
    EXPECT_TRUE(dlg->m_bShowSummary) << "nothing ticked: shown again next time";
}

// The box names where the copies went; Explorer is stood in for. A run with no copy offers no
// folder; one that was stopped shows no summary.
TEST_F(RunSummary, OpenFolderShowsTheCopiesFolderAndARunWithoutCopiesOffersNone)
{
    std::vector<std::wstring> opened;
    dlg->m_openFolder = [&](const std::wstring& folder) { opened.push_back(folder); };
    TempFolder folder, out;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("gn_1cell.xls"))) });
    std::vector<std::string> captions;
    RunInto(out, { Record(captions, RIXID_CUSTOM1) });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(opened, std::vector<std::wstring> { out.Path() });

    Command(IDC_BACK);
    dlg->SourceList().DeleteAllItems();
    AddTicked({ folder.WriteFile(L"junk.xls", 900) });
    captions.clear();
    RunInto(out, { Record(captions, RIXID_CUSTOM2) });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_NE(seen[2].text.find("<b>0 repaired</b><br><b>0 partly recovered</b><br><b>1 failed</b>: junk.xls"),
        std::string::npos)
        << seen[2].text;
    EXPECT_EQ(captions, (std::vector<std::string> { "Save report", "Close" }));
    EXPECT_EQ(opened.size(), 1u);
}

// Ticked and closed: the choice is written under the program's key, survives a restart, and the
// next run ends without a box; the box's own memory is left empty, so it never answers for the user.
TEST_F(RunSummary, DoNotShowAgainIsRememberedAcrossARestart)
{
    TempFolder folder, out;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    RunInto(out, { TickAndPress(RIXID_CUSTOM3) });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_FALSE(dlg->m_bShowSummary);
    EXPECT_EQ(CRegistryKey::Open(HKEY_CURRENT_USER, kUserSettingsKey).ReadDword(L"ShowSummary").value_or(9), 0u);
    RixBoxParams memory;
    memory.lpszRegCompany = "Calvera Tessel for Excel";
    memory.lpszRegValuePrefix = "RunSummary";
    memory.dwStyle = RIXMB_CHECKBOX;
    EXPECT_EQ(RixReadRememberedAnswer(memory), 0u);
    EXPECT_EQ(FilesIn(out.Path()), std::vector<std::wstring> { L"REP_a.xls" }) << "Close does nothing else";

    dlg.reset();
    dlg = std::make_unique<CRepairDlg>();
    ASSERT_TRUE(dlg->Create());
    dlg->m_strStartDir = ProgramFolder();
    EXPECT_FALSE(dlg->m_bShowSummary);
    AddTicked({ folder.File(L"a.xls") });
    RunInto(out, {});
    EXPECT_EQ(seen.size(), 2u) << "the location dialog and the browser only";
    EXPECT_EQ(Cell(0, 4), "Repaired");
}
