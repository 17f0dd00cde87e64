#include "BoxRun.h"

#include "ModalAnswerer.h"
#include "app/RepairDlg.h"

#include <gtest/gtest.h>

#include <cstddef>

BoxRun ShowBox(const RixBoxParams& params, const BoxInspector& inspect, UINT timerPeriod)
{
    RixMessageBoxDialog::SetTimerPeriod(timerPeriod);
    BoxRun run;
    ModalAnswerer answer({ [&](HWND hBox) {
        RixMessageBoxDialog* pBox = RixMessageBoxDialog::FromWindow(hBox);
        if (!pBox) {
            ADD_FAILURE() << "the dialog that came up is no formatted box";
            ::EndDialog(hBox, -98);
            return;
        }
        inspect(hBox, *pBox);
        // A button, key or count the test expected to end the box did not: that is the fault.
        if (!Ended(hBox)) {
            ADD_FAILURE() << "the box \"" << WindowText(hBox) << "\" is still open after the test's last step";
            ::EndDialog(hBox, -99);
        }
    } });
    run.result = RixShowMessageBox(&params);
    run.shown = static_cast<int>(answer.Count());
    return run;
}

HWND Button(HWND hBox, int id)
{
    return ::GetDlgItem(hBox, id);
}

std::string WindowText(HWND hWnd)
{
    char text[1024] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

bool Ended(HWND hBox)
{
    return !::IsWindow(hBox) || !::IsWindowVisible(hBox);
}

bool PressKey(HWND hBox, UINT vk)
{
    MSG msg = {};
    msg.hwnd = ::GetFocus() ? ::GetFocus() : hBox;
    msg.message = WM_KEYDOWN;
    msg.wParam = vk;
    ::IsDialogMessageA(hBox, &msg);
    return Ended(hBox);
}

bool CloseBox(HWND hBox)
{
    ::SendMessageA(hBox, WM_CLOSE, 0, 0);
    MSG msg;
    while (::PeekMessageA(&msg, hBox, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        ::DispatchMessageA(&msg);
    return Ended(hBox);
}

void Click(HWND hButton)
{
    ::SendMessageA(hButton, BM_CLICK, 0, 0);
}

void Tick(HWND hBox)
{
    ::SendMessageA(hBox, WM_TIMER, RIXBOX_TIMER_ID, 0);
}

bool CloseGreyed(HWND hBox)
{
    return (::GetMenuState(::GetSystemMenu(hBox, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

LOGFONTA MessageFont()
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    return metrics.lfMessageFont;
}

SIZE MeasureWithMessageFont(const std::string& markup)
{
    LOGFONTA lf = MessageFont();
    gdi::Font font(::CreateFontIndirectA(&lf));
    gdi::WindowDC screen(nullptr);
    gdi::SelectGuard select(screen, font.get());
    RixMarkupRenderer renderer;
    SIZE size = { 0, 0 };
    renderer.MeasureMarkup(screen, markup.c_str(), size);
    return size;
}

SIZE TextExtentWithMessageFont(const std::string& text)
{
    LOGFONTA lf = MessageFont();
    gdi::Font font(::CreateFontIndirectA(&lf));
    gdi::WindowDC screen(nullptr);
    gdi::SelectGuard select(screen, font.get());
    SIZE size = { 0, 0 };
    ::GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

RixBoxParams MainWindowParams(const char* more)
{
    RixBoxParams params = CRepairDlg::MessageParams(more);
    params.dwStyle = MB_ICONINFORMATION | RIXMB_SILENT;
    params.lpszCaption = "Calvera Tessel for Excel";
    return params;
}
