// The main window's messages as the user meets them: each command that speaks is run in a real main
// window, and the box that comes up is checked for its icon (drawn, against the system's), its
// buttons, its bands, its caption and its Escape rule.
#include "BoxRun.h"
#include "Dib.h"
#include "ModalAnswerer.h"
#include "Pump.h"
#include "TempFolder.h"
#include "app/RepairDlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The icon the box's markup names, drawn on white.
std::string IconPixels(HICON hIcon)
{
    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    Dib dib(cx, cy);
    dib.Fill(RGB(255, 255, 255));
    if (!::DrawIconEx(dib.dc(), 0, 0, hIcon, cx, cy, 0, nullptr, DI_NORMAL))
        return "not an icon";
    std::string pixels;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            pixels += ColourText(dib.Pixel(x, y));
    return pixels;
}

HICON IconOfMarkup(const std::string& markup)
{
    const size_t at = markup.find("<icon handle=0x");
    if (at == std::string::npos)
        return nullptr;
    return reinterpret_cast<HICON>(static_cast<UINT_PTR>(std::strtoull(markup.c_str() + at + 15, nullptr, 16)));
}

struct Seen {
    std::string caption, text, more;
    std::vector<int> ids;
    std::string icon;
    bool escape = false;
    bool centred = false;
};

} // namespace

TEST(MainWindowMessages, EachShowsItsIconButtonsAndBands)
{
    TempFolder start;
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    // A start folder of the test's own: no help file, and a live-update program only when the case
    // puts one there.
    ASSERT_TRUE(::SetCurrentDirectoryW(start.Path().c_str()));
    auto dlg = std::make_unique<CRepairDlg>();
    ASSERT_TRUE(dlg->Create());
    ::SetCurrentDirectoryA(previous);
    PumpFor(50, dlg.get());

    const std::string information = IconPixels(::LoadIconA(nullptr, IDI_ASTERISK));
    const std::string question = IconPixels(::LoadIconA(nullptr, IDI_QUESTION));
    ASSERT_NE(information, question);
    struct Case {
        const char* what;
        std::function<void()> command;
        const char* text;
        const std::string& icon;
        std::vector<int> ids;
        bool more;
    } cases[] = {
        { "remove all", [&] { dlg->OnRemoveAll(); }, "No item to remove", information, { IDOK, RIXID_MORE }, true },
        { "remove ticked", [&] { dlg->OnRemoveSelected(); }, "No item to remove", information, { IDOK, RIXID_MORE },
            true },
        { "next", [&] { dlg->OnNext(); }, "No file selected to repair", information, { IDOK, RIXID_MORE }, true },
        { "help", [&] { dlg->OnHelp(); }, " Calvera Tessel for Excel.chm not found", information, { IDOK }, false },
        { "live update missing", [&] { dlg->OnLiveUpdate(); },
            "Live Update file not found. Please re-instaill the software.", information, { IDOK }, false },
        { "live update",
            [&] {
                start.WriteFile(L"Tessel Live Update.exe", 10);
                dlg->OnLiveUpdate();
            },
            "The application will be closed if you want to run Live Update of the software. Continue ?", question,
            { IDYES, IDNO }, false },
        { "exit", [&] { dlg->OnExit(); }, "Do you really want to exit ?", question, { IDYES, IDNO }, false },
    };
    for (const Case& c : cases) {
        Seen seen;
        // Questions are answered No: Yes would end the test program with the main window.
        ModalAnswerer answer({ [&](HWND hBox) {
            RixMessageBoxDialog* pBox = RixMessageBoxDialog::FromWindow(hBox);
            if (!pBox) {
                ::EndDialog(hBox, IDCANCEL);
                return;
            }
            seen.caption = WindowText(hBox);
            seen.text = pBox->GetMessageText();
            seen.more = pBox->GetMoreText();
            for (const auto& button : pBox->GetButtons())
                seen.ids.push_back(button.first);
            seen.icon = IconPixels(IconOfMarkup(pBox->GetMarkup()));
            seen.escape = pBox->IsEscapeAllowed();
            RECT client, first, last;
            ::GetClientRect(hBox, &client);
            first = RectInParent(pBox->GetButtons().front().second);
            last = RectInParent(pBox->GetButtons().back().second);
            seen.centred = first.left == (client.right - (last.right - first.left)) / 2;
            Click(Button(hBox, seen.escape ? IDOK : IDNO));
            if (!Ended(hBox)) {
                ADD_FAILURE() << c.what << ": the box stayed open";
                ::EndDialog(hBox, IDNO);
            }
        } });
        c.command();
        ASSERT_EQ(answer.Count(), 1u) << c.what;
        EXPECT_EQ(seen.caption, "Calvera Tessel for Excel") << c.what;
        EXPECT_EQ(seen.text, c.text) << c.what;
        EXPECT_EQ(seen.more.empty(), !c.more) << c.what;
        EXPECT_EQ(seen.ids, c.ids) << c.what;
        EXPECT_TRUE(seen.icon == c.icon) << c.what << ": not the expected system icon";
        EXPECT_EQ(seen.escape, c.ids.front() == IDOK) << c.what;
        EXPECT_TRUE(seen.centred) << c.what;
    }
    dlg.reset();
    PumpFor(20);
}
