// The report of a run: its bytes, field by field, and File > Save Report through the real window
// and the real save dialog.
#include "app/RunReport.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "app/ResultRows.h"
#include "app/UserSettings.h"
#include "framework/RegistryValues.h"
#include "res/resource.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = "Source,Repaired copy,Status,What was lost\r\n";

} // namespace

TEST(RunReportFile, FieldsAreQuotedOnlyWhereCsvNeedsIt)
{
    struct Case {
        const char* what;
        ReportRow row;
        std::string line;
    } cases[] = {
        { "plain", { L"C:\\a\\Book1.xls", L"C:\\a\\Repaired\\REP_Book1.xls", L"Repaired", L"" },
            "C:\\a\\Book1.xls,C:\\a\\Repaired\\REP_Book1.xls,Repaired,\r\n" },
        { "no copy", { L"C:\\a\\x.xls", L"", L"Failed: name too long", L"" },
            "C:\\a\\x.xls,,Failed: name too long,\r\n" },
        { "comma and quote", { L"C:\\Q1, \"final\".xls", L"", L"Failed", L"" },
            "\"C:\\Q1, \"\"final\"\".xls\",,Failed,\r\n" },
        { "blank at the end", { L"C:\\a.xls ", L"", L"Failed", L"" }, "\"C:\\a.xls \",,Failed,\r\n" },
        { "a line break in what was lost", { L"C:\\b.xls", L"", L"Failed", L"Sheet2\r\nSheet3" },
            "C:\\b.xls,,Failed,\"Sheet2\r\nSheet3\"\r\n" },
        { "names in any script, in UTF-8", { L"D:\\\u00e9t\u00e9\\\u4e2d\U0001F600.xls", L"", L"Failed", L"" },
            "D:\\\xC3\xA9t\xC3\xA9\\\xE4\xB8\xAD\xF0\x9F\x98\x80.xls,,Failed,\r\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReportCsv({ c.row }), kBom + kHeader + c.line);
    }
    EXPECT_EQ(ReportCsv({}), kBom + kHeader);
}

TEST(RunReportFile, AFolderThatIsNotThereWritesNothingAndSaysSo)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"missing\\r.csv");
    EXPECT_FALSE(WriteReport(path, { { L"C:\\a.xls", L"", L"Failed", L"" } }));
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
    // An existing report is replaced whole.
    const std::wstring kept = folder.File(L"r.csv");
    ASSERT_TRUE(WriteWholeFile(kept, std::string(5000, 'x')));
    ASSERT_TRUE(WriteReport(kept, {}));
    EXPECT_EQ(ReadWholeFile(kept), kBom + kHeader);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring> { L"r.csv" });
}

class SaveReport : public MainWindowTest { };

TEST_F(SaveReport, TheResultListIsSavedWhereTheUserSaysAndTheFolderIsKept)
{
    TempFolder folder;
    // Nothing repaired yet: nothing to save.
    {
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        Command(ID_FILE_SAVE_REPORT);
        Pump(100);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_EQ(answer.Seen()[0].text, "There is no report yet: repair some workbooks first.");
    }
    // The rows as a run leaves them.
    HWND hList = dlg->ResultList().m_hWnd;
    AppendRow(hList, L"Budget, 2026.xls", L"C:\\Books", STATUS_REPAIRED);
    SetRowText(hList, 0, RESULT_OUTPUT_NAME, L"REP_Budget, 2026.xls");
    SetRowText(hList, 0, RESULT_OUTPUT_FOLDER, L"C:\\Books\\Repaired\\");
    SetRowText(hList, 0, RESULT_STATUS, L"Repaired");
    AppendRow(hList, L"\u00e9.xls", L"D:", STATUS_FAILED);
    SetRowText(hList, 1, RESULT_STATUS, L"Failed");

    ModalAnswerer answer({ ModalAnswerer::OpenFiles(folder.Path(), L"run.csv") });
    Command(ID_FILE_SAVE_REPORT);
    Pump(200);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].caption, "Save Report");
    EXPECT_EQ(ReadWholeFile(folder.File(L"run.csv")),
        kBom + kHeader
            + "\"C:\\Books\\Budget, 2026.xls\",\"C:\\Books\\Repaired\\REP_Budget, 2026.xls\",Repaired,\r\n"
              "D:\\\xC3\xA9.xls,,Failed,\r\n");
    EXPECT_EQ(dlg->m_strReportFolder, folder.Path());
    const CRegistryKey key = CRegistryKey::Open(HKEY_CURRENT_USER, kUserSettingsKey);
    EXPECT_EQ(key.ReadString(L"ReportFolder", 1000).value_or(L""), folder.Path());
}
