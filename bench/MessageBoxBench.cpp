// Prints how long a typical message takes from the call to its first complete paint (the box and
// every control in it painted), for the formatted box with the main window's parameter block and
// for the platform's MessageBoxA with the same text; the two take turns over the rounds. Figures only.
#include "Seconds.h"
#include "app/RepairDlg.h"
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

constexpr WPARAM kPaintMarker = 0xBE7C;

// Paint messages are dispatched, so no hook sees them return. Instead a marker is posted whenever a
// paint message is taken; posted messages come before further paints, so when a marker is taken the
// paint before it is done. Once nothing of the dialog waits for a paint any more, the box is on the
// screen whole: note the time and close it.
LRESULT CALLBACK OnGetMessage(int nCode, WPARAM wParam, LPARAM lParam)
{
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (nCode == HC_ACTION && wParam == PM_REMOVE && msg->hwnd && g_painted == 0) {
        HWND hDialog = ::GetAncestor(msg->hwnd, GA_ROOT);
        if (msg->message == WM_PAINT) {
            ::PostMessageA(hDialog, WM_NULL, kPaintMarker, 0);
        } else if (msg->message == WM_NULL && msg->wParam == kPaintMarker && ::IsWindowVisible(hDialog)) {
            bool bPending = ::GetUpdateRect(hDialog, nullptr, FALSE) != FALSE;
            if (!bPending)
                ::EnumChildWindows(hDialog, &FindPending, reinterpret_cast<LPARAM>(&bPending));
            if (!bPending) {
                g_painted = Seconds();
                ::PostMessageA(hDialog, WM_COMMAND, IDCANCEL, 0);
            }
        }
    }
    return ::CallNextHookEx(g_hHook, nCode, wParam, lParam);
}

// A box that never reports its paint is ended, so that the benchmark cannot hang.
void CALLBACK EndStuckBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND hBox = ::GetActiveWindow())
        ::EndDialog(hBox, IDCANCEL);
}

template <class Show> double TimeToFirstPaint(Show show)
{
    g_painted = 0;
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 5000, &EndStuckBox);
    g_start = Seconds();
    show();
    ::KillTimer(nullptr, watchdog);
    return g_painted > 0 ? (g_painted - g_start) * 1000.0 : 5000.0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    g_hHook = ::SetWindowsHookExA(WH_GETMESSAGE, &OnGetMessage, nullptr, ::GetCurrentThreadId());
    const RixBoxParams params = CRepairDlg::MessageParams(kMore);
    const DWORD dwStyle = MB_ICONINFORMATION;
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
