// Shows a sample text that uses every tag the markup renderer draws, for the screenshots and for a
// look by eye: markup_gallery.exe
#include "markup/RixMarkupRenderer.h"
#include "res/resource.h"

namespace {

const char kClassName[] = "TesselMarkupGallery";
constexpr int kMargin = 16;
constexpr int kWrapWidth = 620;
constexpr COLORREF kPageColour = RGB(255, 255, 255);

const char kSample[]
    = "<h1>Markup gallery</h1><br>"
      "<h2>Heading two</h2> <h3>three</h3> <h4>four</h4> <h5>five</h5> <h6>six</h6><br>"
      "Plain text with <b>bold</b>, <b><b>bolder</b></b>, <i>italic</i>, <em>emphasis</em>, <u>underline</u>, "
      "<s>strike</s>, <strike>strike-out</strike> and <font style=o>overline</font>.<br>"
      "<font face=Arial size=4 color=#336699>Arial size 4 in #336699</font>, <font size=14px color=red "
      "weight=bold>14px bold red</font>, <font bkgnd=yellow>on yellow</font>, <font style=bi>b and i by "
      "style</font>.<br>"
      "Sizes: <small>small</small>, normal, <big>big</big>; x<sup>sup</sup> and x<sub>sub</sub>; "
      "<code>code()</code> and <pre>pre text</pre>; <span class=cpp-comment>// a comment by class</span>.<br>"
      "Vertical: <big>Big</big><top>top</top><vcenter>vcenter</vcenter><middle>middle</middle>"
      "<bottom>bottom</bottom><baseline>baseline</baseline><br>"
      "Images: <bmp idres=147> <bmp idres=147 style=s> <bmp idres=147 style=g> <icon idres=128 width=50% style=s> "
      "<icon idres=128 style=s> <icon idres=128 style=d> <ilst idres=130 cx=34 cy=35 mask=#000000 style=s> "
      "<a href=\"http://www.example.com/\"><bmp idres=148 hotstyle=l></a><br>"
      "Entities: &amp; &lt;tag&gt; &quot;quoted&quot; &copy; &reg; &trade; &euro; &pound; &para; &bull; "
      "&iquest; and brackets << <> .<br>"
      "Tabs:<t>one<t>two<t=2>three<br>"
      "Links: <a href=\"http://www.example.com/\">a shell link</a> and <a msg=\"hello\">a message link</a>.<br>"
      "String resource: <string idres=103><br>"
      "<hr><br>"
      "<left>Left aligned line.</left><br>"
      "<center>A centred line.</center><br>"
      "<right>A right aligned line.</right><br>"
      "<hr width=50% size=3 color=#ff9900><br>"
      "<justify>A justified paragraph stretches every line that ended by wrapping to the full width and "
      "leaves its last line as it is, so that the text forms a clean block on both sides of the column, "
      "just like a page of a printed book.</justify><br>"
      "Unknown tags are ignored: a <B>capital tag</B>, a <p>p tag</p></b> and an unmatched close.";

struct Gallery {
    RixMarkupRenderer renderer;
    SIZE size {};
};

void Paint(Gallery& gallery, HWND hWnd)
{
    gdi::PaintDC paint(hWnd);
    RECT client;
    ::GetClientRect(hWnd, &client);
    gdi::Brush page(::CreateSolidBrush(kPageColour));
    ::FillRect(paint, &client, page.get());
    SIZE size {};
    gallery.renderer.MeasureMarkup(paint, kSample, size);
    gallery.renderer.DrawMeasuredMarkup(paint, RECT { kMargin, kMargin, kMargin + size.cx, kMargin + size.cy });
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* gallery = reinterpret_cast<Gallery*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        ::SetWindowLongPtrA(
            hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (gallery) {
            Paint(*gallery, hWnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    Gallery gallery;
    gallery.renderer.SetWrapWidth(kWrapWidth);
    {
        // The window is as large as the text it shows.
        HDC hScreen = ::GetDC(nullptr);
        gallery.renderer.MeasureMarkup(hScreen, kSample, gallery.size);
        ::ReleaseDC(nullptr, hScreen);
    }

    WNDCLASSEXA wc {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hIcon = ::LoadIconA(hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExA(&wc))
        return 1;
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame { 0, 0, gallery.size.cx + 2 * kMargin, gallery.size.cy + 2 * kMargin };
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND hWnd = ::CreateWindowExA(0, kClassName, "Markup gallery", style, 0, 0, frame.right - frame.left,
        frame.bottom - frame.top, nullptr, nullptr, hInstance, &gallery);
    if (!hWnd)
        return 1;
    ::ShowWindow(hWnd, nCmdShow);
    ::UpdateWindow(hWnd);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::UnregisterClassA(kClassName, hInstance);
    return static_cast<int>(msg.wParam);
}
