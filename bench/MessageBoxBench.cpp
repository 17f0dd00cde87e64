// Prints how long a typical message takes from the call to its first complete paint (the box and
// every control in it painted), for the formatted box with the main window's parameter block and
// for the platform's MessageBoxA with the same text; the two take turns over the rounds. Figures only.
#include "Seconds.h"
#include "msgbox/RixMessageBox.h"
#include "msgbox/RixMessageBoxDialog.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 15;
const char kText[] = "No file selected to repair";
const char kMore[] = "1. Add files into list from the add file button\r\n    from toolbar\r\n"
                     "2. Select the Files from list to be repaired.\r\n3. Click Next Button.";

HHOOK g_hHook = nullptr;
double g_start = 0;
double g_painted = 0;

BOOL CALLBACK FindPending(HWND hWnd, LPARAM lParam)
{
    if (::GetUpdateRect(hWnd, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(lParam) = true;
        return FALSE;
    }
    return TRUE;
}

// After each paint of a dialog or one of its controls: once nothing of the dialog waits for a paint
// any more, the box is on the screen whole; note the time and close it.
LRESULT CALLBACK AfterMessage(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (nCode == HC_ACTION && msg->message == WM_PAINT && g_painted == 0) {
        HWND hDialog = ::GetAncestor(msg->hwnd, GA_ROOT);
        char klass[16] = {};
        ::GetClassNameA(hDialog, klass, sizeof(klass));
        if (lstrcmpA(klass, "#32770") == 0 && ::IsWindowVisible(hDialog)) {
            bool bPending = ::GetUpdateRect(hDialog, nullptr, FALSE) != FALSE;
            if (!bPending)
                ::EnumChildWindows(hDialog, &FindPending, reinterpret_cast<LPARAM>(&bPending));
            if (!bPending) {
                g_painted = Seconds();
                ::PostMessageA(hDialog, WM_KEYDOWN, VK_ESCAPE, 0);
                ::PostMessageA(hDialog, WM_COMMAND, IDOK, 0);
            }
        }
    }
    return ::CallNextHookEx(g_hHook, nCode, wParam, lParam);
}

template <class Show> double TimeToFirstPaint(Show show)
{
    g_painted = 0;
    g_start = Seconds();
    show();
    return (g_painted - g_start) * 1000.0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    g_hHook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterMessage, nullptr, ::GetCurrentThreadId());
    RixBoxParams params;
    params.bkBox.nEffect = RIX_EFFECT_VBUMP;
    params.bkBox.crColor1 = 0x0086FDF7;
    params.bkBox.crColor2 = 0x00FFFFFF;
    params.bkBox.crColor3 = 0x0086FDF7;
    params.nButtonAlign = 2;
    params.lpszMoreText = kMore;
    const DWORD dwStyle = MB_ICONINFORMATION | RIXMB_SILENT;
    const std::string platformText = std::string(kText) + "\r\n\r\n" + kMore;

    auto ours = [&] { RixMessageBox(nullptr, kText, "Calvera Tessel for Excel", dwStyle, &params); };
    auto platform
        = [&] { ::MessageBoxA(nullptr, platformText.c_str(), "Calvera Tessel for Excel", MB_ICONINFORMATION); };
    // One of each first, so that fonts, classes and icons are loaded before the rounds count.
    TimeToFirstPaint(ours);
    TimeToFirstPaint(platform);
    std::vector<double> oursMs, platformMs;
    for (int round = 0; round < kRounds; ++round) {
        oursMs.push_back(TimeToFirstPaint(ours));
        platformMs.push_back(TimeToFirstPaint(platform));
    }
    ::UnhookWindowsHookEx(g_hHook);
    const double oursMin = *std::min_element(oursMs.begin(), oursMs.end());
    const double platformMin = *std::min_element(platformMs.begin(), platformMs.end());
    std::printf("message box to first paint: %.1f ms, platform %.1f ms, ratio %.2f\n", oursMin, platformMin,
        oursMin / std::max(platformMin, 1e-6));
    std::printf("  median of %d rounds: %.1f ms, platform %.1f ms, ratio %.2f\n", kRounds, Median(oursMs),
        Median(platformMs), Median(oursMs) / std::max(Median(platformMs), 1e-6));
    return 0;
}
