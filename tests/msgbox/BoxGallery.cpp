// Shows one formatted message box for the screenshots and for a look by eye:
// msgbox_gallery.exe showcase | notice | question
#include "app/RepairDlg.h"
#include "app/Texts.h"
#include "msgbox/RixMessageBox.h"
#include "repair/RepairTexts.h"

#include <cstring>

namespace {

// The gallery ends by itself, whatever the box's close rules say.
void CALLBACK EndGallery(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND hBox = ::GetActiveWindow())
        ::EndDialog(hBox, IDCANCEL);
    ::PostQuitMessage(0);
}

// Opens the "more" band as a click on More would.
void CALLBACK OpenMore(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    if (HWND hBox = ::GetActiveWindow())
        ::SendMessageA(::GetDlgItem(hBox, RIXID_MORE), BM_CLICK, 0, 0);
}

int Showcase()
{
    RixBoxParams params;
    params.lpszCaption = texts::kAppTitle;
    params.nHeaderHeight = 40;
    params.lpszHeader = "<font size=4><b>Repair finished</b></font><br>3 of 4 workbooks were repaired";
    params.bkHeader = { 1, 2, "Summary", 1, RGB(255, 255, 255), RGB(255, 255, 255), RGB(190, 210, 240) };
    params.lpszText = "<b>Budget 2026.xls</b>, <b>Inventory.xls</b> and <b>Sales by region.xls</b> are in the "
                      "<font color=#008000>Repaired</font> folder.<br>"
                      "<font color=red>Archive 2019.xls</font> could not be repaired.";
    params.bkBox.nEffect = 0;
    params.bkBox.crColor1 = RGB(255, 255, 255);
    params.bkButtons = { 1, 0, "What next?", 2, RGB(240, 240, 240), RGB(240, 240, 240), RGB(215, 222, 232) };
    params.lpszButtonLines = "Open folder\nRepair again\nClose";
    params.dwStyle = MB_ICONINFORMATION | MB_DEFBUTTON3 | RIXMB_CHECKBOX | RIXMB_CHECKBOXBELOW | RIXMB_SILENT;
    params.nDisableSeconds = 30;
    params.lpszCheckBoxText = "Do not show this summary again";
    return RixShowMessageBox(&params);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_STANDARD_CLASSES };
    ::InitCommonControlsEx(&icc);
    ::SetTimer(nullptr, 0, 8000, &EndGallery);
    if (std::strcmp(lpCmdLine, "notice") == 0) {
        RixBoxParams params = CRepairDlg::MessageParams(texts::kInstructionMore);
        ::SetTimer(nullptr, 0, 300, &OpenMore);
        return RixMessageBox(nullptr, texts::kNoFileSelected, texts::kAppTitle, MB_ICONINFORMATION, &params);
    }
    if (std::strcmp(lpCmdLine, "question") == 0) {
        RixBoxParams params = CRepairDlg::MessageParams();
        return RixMessageBox(nullptr, texts::kExitQuestion, texts::kAppTitle, MB_YESNO | MB_ICONQUESTION, &params);
    }
    return Showcase();
}
