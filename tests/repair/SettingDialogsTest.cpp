// The naming and location dialogs through the real window: their choices, the instruction texts
// they leave, and their background pictures.
#include "Dib.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "framework/PictureBackground.h"
#include "repair/PathRules.h"
#include "res/resource.h"

namespace {

const char* const kNameInstructions = "                1. Select the option for Repaires file prefix or suffix \r\n"
                                      "                3. Click Ok Button to make change effectied or press Cencle to "
                                      "Cancle the action.";
const char* const kStepOneUpper = "                1. Add files into list from the add file button from upper toolbar\r\n"
                                  "                2. Select the Files from list to be repaired.\r\n"
                                  "                3. Click Next Button.";

std::string TextOf(HWND hWnd)
{
    char text[512] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

bool Ticked(HWND hDlg, int id)
{
    return ::SendMessageA(::GetDlgItem(hDlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class SettingDialogs : public MainWindowTest {
protected:
    std::string Instructions() const { return TextOf(Item(IDC_INSTRUCTIONS)); }
};

} // namespace

TEST_F(SettingDialogs, NameDialogShowsTheModeAndOkTakesTheTickedOne)
{
    std::string shownWhileOpen;
    bool prefixTicked = false;
    ModalAnswerer answer({[&](HWND hDlg) {
        prefixTicked = Ticked(hDlg, IDC_PREFIX) && !Ticked(hDlg, IDC_SUFFIX);
        shownWhileOpen = Instructions();
        ::SendMessageA(::GetDlgItem(hDlg, IDC_SUFFIX), BM_CLICK, 0, 0);
        ModalAnswerer::Press(IDOK)(hDlg);
    }});
    Command(IDC_SETTINGS);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel(File name setting)");
    EXPECT_TRUE(prefixTicked) << "a new window names with the prefix";
    EXPECT_EQ(shownWhileOpen, kNameInstructions);
    EXPECT_EQ(dlg->m_nNameMode, NAME_SUFFIX);
    EXPECT_EQ(Instructions(), kStepOneUpper);

    // Opened again it shows the suffix; Cancel after ticking the prefix changes nothing.
    bool suffixTicked = false;
    ModalAnswerer again({[&](HWND hDlg) {
        suffixTicked = Ticked(hDlg, IDC_SUFFIX) && !Ticked(hDlg, IDC_PREFIX);
        ::SendMessageA(::GetDlgItem(hDlg, IDC_PREFIX), BM_CLICK, 0, 0);
        ModalAnswerer::Press(IDCANCEL)(hDlg);
    }});
    Command(ID_TOOLS_SETTINGS);
    ASSERT_EQ(again.Count(), 1u);
    EXPECT_TRUE(suffixTicked);
    EXPECT_EQ(dlg->m_nNameMode, NAME_SUFFIX);
    EXPECT_EQ(Instructions(), kStepOneUpper);
}

TEST_F(SettingDialogs, BothDialogsPaintTheirPicturesBehindTheirControls)
{
    for (UINT picture : {IDB_NAME_SETTING_BACKGROUND, IDB_LOCATION_BACKGROUND}) {
        SCOPED_TRACE(picture);
        gdi::Bitmap expected(LoadPicture(picture));
        std::vector<std::pair<POINT, COLORREF>> seen;
        ModalAnswerer answer({[&](HWND hDlg) {
            ::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            RECT client;
            ::GetClientRect(hDlg, &client);
            Dib shot(client.right, client.bottom);
            CaptureClient(hDlg, shot);
            // Corners and the band below the buttons, where no control sits.
            for (POINT p : {POINT{2, 2}, POINT{client.right - 3, 2}, POINT{2, client.bottom - 3},
                            POINT{client.right - 3, client.bottom - 3}, POINT{client.right / 2, client.bottom - 8}})
                seen.push_back({p, shot.Pixel(p.x, p.y)});
            ModalAnswerer::Press(IDCANCEL)(hDlg);
        }});
        if (picture == IDB_NAME_SETTING_BACKGROUND) {
            Command(IDC_SETTINGS);
        } else {
            dlg->AddSourceFile(L"C:\\nowhere\\book.xls");
            dlg->SourceList().SetCheck(0, TRUE);
            Command(IDC_NEXT);
        }
        ASSERT_EQ(answer.Count(), 1u);
        ASSERT_EQ(seen.size(), 5u);
        for (auto& [p, colour] : seen)
            EXPECT_EQ(colour, BitmapPixel(expected.get(), p.x, p.y)) << p.x << "," << p.y;
    }
}
