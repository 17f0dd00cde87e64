// The choices kept per user between starts: written by the real window, read back by a new one,
// and values of the wrong type or out of range taken as missing.
#include "app/UserSettings.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "framework/RegistryValues.h"
#include "repair/PathRules.h"
#include "res/resource.h"

namespace {

class Settings : public MainWindowTest {
protected:
    bool WithSummary() const override { return true; }
    void Restart()
    {
        dlg.reset();
        dlg = std::make_unique<CRepairDlg>();
        ASSERT_TRUE(dlg->Create());
        Pump(50);
    }
    CRegistryKey Key() { return CRegistryKey::Create(HKEY_CURRENT_USER, kUserSettingsKey); }
};

} // namespace

TEST_F(Settings, FirstStartHasTheDefaultsAndNothingIsWrittenUntilAChoice)
{
    EXPECT_EQ(dlg->m_nNameMode, NAME_PREFIX);
    EXPECT_EQ(dlg->m_nLocationMode, LOCATION_UNSET);
    EXPECT_TRUE(dlg->m_strTargetDir.empty());
    EXPECT_TRUE(dlg->m_bShowSummary);
    EXPECT_FALSE(CRegistryKey::Open(HKEY_CURRENT_USER, kUserSettingsKey).IsOpen());
}

TEST_F(Settings, NamingAndFoldersChosenInTheWindowComeBackAfterARestart)
{
    TempFolder folder;
    const std::wstring target = folder.Path() + L"\\Ordner \u00e9\u4e2d";
    ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
    {
        ModalAnswerer answer({ [](HWND hDlg) {
            ::SendMessageA(::GetDlgItem(hDlg, IDC_SUFFIX), BM_CLICK, 0, 0);
            ModalAnswerer::Press(IDOK)(hDlg);
        } });
        Command(ID_TOOLS_SETTINGS);
        Pump(100);
        ASSERT_EQ(answer.Count(), 1u);
    }
    ASSERT_EQ(dlg->m_nNameMode, NAME_SUFFIX);
    // The location dialog and its browser, as a run starts; the run's summary is closed.
    dlg->AddSourceFile(folder.WriteFile(L"one.xls", 10));
    dlg->SourceList().SetCheck(0, TRUE);
    dlg->m_strStartDir = ProgramFolder();
    {
        ModalAnswerer answer(
            { ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(target), ModalAnswerer::Press(RIXID_CUSTOM2) });
        Command(IDC_NEXT);
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 60000, dlg.get()));
        Pump(300);
        ASSERT_EQ(answer.Count(), 3u);
    }
    ASSERT_EQ(dlg->m_strTargetDir, target);

    Restart();
    EXPECT_EQ(dlg->m_nNameMode, NAME_SUFFIX);
    EXPECT_EQ(dlg->m_nLocationMode, LOCATION_CHOSEN);
    EXPECT_EQ(dlg->m_strTargetDir, target);
    EXPECT_EQ(Key().ReadDword(L"NameMode").value_or(0), static_cast<DWORD>(NAME_SUFFIX));
}

TEST_F(Settings, ValuesOfTheWrongTypeOrOutOfRangeGiveTheirDefaultsAlone)
{
    struct Case {
        const char* what;
        std::function<void(CRegistryKey&)> write;
        int nameMode;
        int locationMode;
        std::wstring target;
        bool showSummary;
    } cases[] = {
        { "all good",
            [](CRegistryKey& k) {
                k.WriteDword(L"NameMode", NAME_SUFFIX);
                k.WriteDword(L"LocationMode", LOCATION_CHOSEN);
                k.WriteString(L"TargetFolder", L"C:\\out");
                k.WriteDword(L"ShowSummary", 0);
            },
            NAME_SUFFIX, LOCATION_CHOSEN, L"C:\\out", false },
        { "text where a number belongs",
            [](CRegistryKey& k) {
                k.WriteString(L"NameMode", L"2");
                k.WriteString(L"ShowSummary", L"0");
                k.WriteDword(L"LocationMode", LOCATION_SAME);
            },
            NAME_PREFIX, LOCATION_SAME, L"", true },
        { "numbers out of range",
            [](CRegistryKey& k) {
                k.WriteDword(L"NameMode", 7);
                k.WriteDword(L"LocationMode", 9);
                k.WriteDword(L"ShowSummary", 2);
            },
            NAME_PREFIX, LOCATION_UNSET, L"", true },
        { "a chosen location without a folder",
            [](CRegistryKey& k) {
                k.WriteDword(L"LocationMode", LOCATION_CHOSEN);
                k.WriteDword(L"TargetFolder", 5);
            },
            NAME_PREFIX, LOCATION_UNSET, L"", true },
        { "a folder that is not a full path",
            [](CRegistryKey& k) {
                k.WriteDword(L"LocationMode", LOCATION_CHOSEN);
                k.WriteString(L"TargetFolder", L"out\\here");
            },
            NAME_PREFIX, LOCATION_UNSET, L"", true },
        { "a folder too long for any path",
            [](CRegistryKey& k) { k.WriteString(L"TargetFolder", L"C:\\" + std::wstring(40000, L'x')); }, NAME_PREFIX,
            LOCATION_UNSET, L"", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kUserSettingsKey);
        CRegistryKey key = Key();
        ASSERT_TRUE(key.IsOpen());
        c.write(key);
        Restart();
        EXPECT_EQ(dlg->m_nNameMode, c.nameMode);
        EXPECT_EQ(dlg->m_nLocationMode, c.locationMode);
        EXPECT_EQ(dlg->m_strTargetDir, c.target);
        EXPECT_EQ(dlg->m_bShowSummary, c.showSummary);
    }
}
