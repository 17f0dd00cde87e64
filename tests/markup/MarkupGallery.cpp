// Shows a sample text that uses every tag the markup renderer draws, for the screenshots and for a
// look by eye: markup_gallery.exe, or markup_gallery.exe tables for the tables and pictures, with its
// last link shown under the mouse
#include "GalleryWindow.h"
#include "markup/RixMarkupRenderer.h"
#include "res/resource.h"

#include <cstring>
#include <vector>

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

// Tables: nesting, spans, spacing, fills in several effects, borders in every style, alignment and a
// tiled background picture.
const char kTablesSample[]
    = "<h1>Tables</h1><br>"
      "<table border=2 cellspacing=4 cellpadding=4 bordercolorlight=#9fb7d8 bordercolordark=#34527a "
      "bgeffect=vgradient bgcolor=#f4f8fc bgendcolor=#c9d9ee>"
      "<tr><td colspan=3 align=center bgeffect=hcgradient bgcolor=#34527a bgendcolor=#7fa3d0>"
      "<font color=white><b>A table of tables</b></font></td></tr>"
      "<tr><td width=180 valign=middle bgcolor=#fff8dc>"
      "<b>Nested, with spans</b><br>"
      "<table border=1 borderstyle=dotted bgcolor=white>"
      "<tr><td rowspan=2 bgcolor=#ffe0e0 valign=middle>two rows</td><td>a</td><td>b</td></tr>"
      "<tr><td colspan=2 bgcolor=#e0ffe0 align=center>two columns</td></tr>"
      "</table></td>"
      "<td width=200><b>Borders</b><br>"
      "<table border=1 cellspacing=3><tr><td>solid</td>"
      "<td borderstyle=dashed>dashed</td><td borderstyle=dotted>dotted</td></tr></table>"
      "<table borderstyle=double cellspacing=2><tr><td>double frame</td></tr></table>"
      "<table border=3 bordercolor=#ff9900><tr><td>3 pixels, orange</td></tr></table></td>"
      "<td valign=bottom><b>Fills</b><br>"
      "<table cellspacing=2>"
      "<tr><td bgeffect=hbump bgcolor=#6b8fc7 bgmidcolor=white bgendcolor=#6b8fc7>hbump</td>"
      "<td bgeffect=noise bgcolor=#d0e8d0 bgmidcolor=#b8d8b8 bgendcolor=#a0c0a0>noise</td></tr>"
      "<tr><td bgeffect=metal bgcolor=#c0c0c0 bgmidcolor=white bgendcolor=#808080>metal</td>"
      "<td bgeffect=diagshade bgcolor=gold bgmidcolor=orange bgendcolor=white>diagshade</td></tr>"
      "<tr><td bgeffect=3hgradient bgcolor=red bgmidcolor=yellow bgendcolor=green>3hgradient</td>"
      "<td bgeffect=softbump bgcolor=#e0d0ff bgmidcolor=white bgendcolor=#a080d0>softbump</td></tr>"
      "</table></td></tr>"
      "<tr><td colspan=3 bgeffect=transparent>"
      "<table align=center background=idres:152 cellspacing=6 border=1>"
      "<tr><td bgcolor=white>centred, over a tiled picture</td><td bgcolor=white width=60 height=30 "
      "valign=middle align=center>44</td></tr></table>"
      "</td></tr>"
      "<tr><td colspan=3 bgcolor=white valign=middle>Pictures with shadows: <bmp idres=147 style=s> "
      "<icon idres=128 style=s> <ilst idres=130 cx=34 cy=35 mask=#000000 style=s> and a link under the mouse: "
      "<a href=\"http://www.example.com/\">the hovered link <bmp idres=147 hotstyle=sl></a></td></tr>"
      "</table><br>"
      "Text after the table.";

// The renderer asks for a redraw with this when the link under the mouse changes.
constexpr UINT kRedraw = WM_APP + 1;

struct Gallery final : GalleryPage {
    RixMarkupRenderer renderer;
    const char* pszSample = kSample;
    SIZE size {};
    // The tables page shows its last link as if the mouse were on it.
    bool bHoverLastLink = false;

    void Paint(HWND hWnd) override
    {
        gdi::PaintDC paint(hWnd);
        RECT client;
        ::GetClientRect(hWnd, &client);
        gdi::Brush page(::CreateSolidBrush(kPageColour));
        ::FillRect(paint, &client, page.get());
        SIZE drawn {};
        renderer.MeasureMarkup(paint, pszSample, drawn);
        renderer.DrawMeasuredMarkup(paint, RECT { kMargin, kMargin, kMargin + drawn.cx, kMargin + drawn.cy });
        const std::vector<HotArea>& areas = renderer.GetHotAreas();
        if (bHoverLastLink && !areas.empty()) {
            bHoverLastLink = false;
            const RECT& last = areas.back().rect;
            renderer.OnLinkHover(POINT { (last.left + last.right) / 2, (last.top + last.bottom) / 2 });
        }
    }

    bool OnMessage(HWND hWnd, UINT message, WPARAM, LPARAM lParam, LRESULT& result) override
    {
        switch (message) {
        case kRedraw:
            ::InvalidateRect(hWnd, nullptr, FALSE);
            return true;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                POINT point;
                ::GetCursorPos(&point);
                ::ScreenToClient(hWnd, &point);
                result = TRUE;
                return renderer.OnLinkHover(point);
            }
            return false;
        case WM_LBUTTONDOWN:
            renderer.OnLinkClick(POINT { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) });
            return true;
        default:
            return false;
        }
    }

    void OnCreated(HWND hWnd) override { renderer.SetHoverTarget(hWnd, kRedraw, 0); }
};

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int nCmdShow)
{
    Gallery gallery;
    // "tables" shows the tables; anything else the text sample.
    if (pszCmdLine && std::strcmp(pszCmdLine, "tables") == 0) {
        gallery.pszSample = kTablesSample;
        gallery.bHoverLastLink = true;
    }
    gallery.renderer.SetWrapWidth(kWrapWidth);
    {
        // The window is as large as the text it shows.
        HDC hScreen = ::GetDC(nullptr);
        gallery.renderer.MeasureMarkup(hScreen, gallery.pszSample, gallery.size);
        ::ReleaseDC(nullptr, hScreen);
    }

    const SIZE content { gallery.size.cx + 2 * kMargin, gallery.size.cy + 2 * kMargin };
    return RunGalleryWindow(hInstance,
        GalleryWindow {
            kClassName, "Markup gallery", content, ::LoadIconA(hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME)) },
        gallery, nCmdShow);
}
