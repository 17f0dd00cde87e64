#include "RepairDlg.h"

#include "../framework/App.h"
#include "../framework/FolderLookup.h"
#include "../framework/PictureBackground.h"
#include "../res/resource.h"
#include "SplashWindow.h"
#include "Texts.h"

CRepairDlg* g_pMainDlg = nullptr;

namespace {

// The help key arrives as its own message before it is translated.
constexpr UINT WM_KEYF1 = 0x004D;

// Colours of the message box's background (a vertical bump).
constexpr COLORREF kBoxColor1 = 0x0086FDF7;
constexpr COLORREF kBoxColor2 = 0x00FFFFFF;
constexpr COLORREF kBoxColor3 = 0x0086FDF7;
constexpr int kButtonsCentred = 2;

// Toolbar pictures: the hot one keyed on this colour, the normal one on black.
constexpr COLORREF kHotKeyColor = 0x00E7E6BD;
constexpr COLORREF kNormalKeyColor = 0x00000000;

// Next and Back: lighter face and green text while hot.
constexpr short kNavHotShade = 30;
constexpr COLORREF kNavHotText = 0x00008000;
constexpr BYTE kImageRightOfCaption = 2;

// Files dropped on the source list go to the main window, which adds them. The list view's class is
// a Unicode one: a subclass procedure of the ANSI kind (or the common controls' subclass chain)
// would have every message of the list converted on its way, which made adding thousands of rows
// several times slower. The class's own procedure is the same for every source list, so it is kept
// once (a window property would cost a trip to the window server on every message).
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK ForwardDrops(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DROPFILES)
        return ::SendMessageW(::GetParent(hWnd), WM_DROPFILES, wParam, lParam);
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    return ::CallWindowProcW(g_listProc, hWnd, message, wParam, lParam);
}

} // namespace

CRepairDlg::CRepairDlg(HWND hWndParent)
    : CDialog(IDD_REPAIR_DIALOG, hWndParent)
{
    m_hIcon = static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    m_bmpBackground.reset(LoadPicture(IDB_BACKGROUND, LR_CREATEDIBSECTION));
}

CRepairDlg::~CRepairDlg()
{
    // The worker reaches this window until it ends: it is waited for, however long that takes.
    StopWorker(INFINITE);
    // The window goes while every member it may still talk to is alive.
    if (m_hWnd)
        DestroyWindow();
    if (g_pMainDlg == this)
        g_pMainDlg = nullptr;
}

void CRepairDlg::DoDataExchange()
{
    m_btnHomeLink.SubclassDlgItem(IDC_HOME_LINK, this);
    m_lblSelectAll.SubclassDlgItem(IDC_SELECT_ALL_LABEL, this);
    m_lblInstructions.SubclassDlgItem(IDC_INSTRUCTIONS, this);
    m_btnLiveUpdate.SubclassDlgItem(IDC_LIVE_UPDATE, this);
    m_btnSettings.SubclassDlgItem(IDC_SETTINGS, this);
    m_btnRemoveSelected.SubclassDlgItem(IDC_REMOVE_SELECTED, this);
    m_btnRemoveAll.SubclassDlgItem(IDC_REMOVE_ALL, this);
    m_btnAddFiles.SubclassDlgItem(IDC_ADD_FILES, this);
    m_btnBack.SubclassDlgItem(IDC_BACK, this);
    m_btnNext.SubclassDlgItem(IDC_NEXT, this);
    m_resultList.Attach(GetDlgItem(IDC_RESULT_LIST));
    m_sourceList.Attach(GetDlgItem(IDC_SOURCE_LIST));
    m_chkSelectAll.SubclassDlgItem(IDC_SELECT_ALL, this);
}

BOOL CRepairDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    g_pMainDlg = this;

    char aboutText[260] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, aboutText, sizeof(aboutText));
    HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu && aboutText[0]) {
        ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(hSysMenu, MF_STRING, IDM_SYS_ABOUT, aboutText);
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    CSplashWindow::ShowSplash(kSplashPeriod, IDB_SPLASH, m_hWnd);
    m_bRunning = 0;

    m_btnHomeLink.LoadImageStrip(IDB_HOME_LINK);
    m_btnHomeLink.SetLinkText(texts::kTipHomeLink);
    const std::string homeTip = texts::kTipHomeLink;
    m_btnHomeLink.SetToolTipText(&homeTip, TRUE);

    SetUpButtons();
    SetUpLists();
    BuildMenuBar();

    m_lblInstructions.SetWindowText(texts::kStepOne);
    ::SetTimer(m_hWnd, kSelectAllTimer, kSelectAllPeriod, nullptr);

    // Empty when it cannot be had: the companions are then missing, not looked for at a drive root.
    m_strStartDir = CurrentFolder();

    // The choices of the last session come back; a first start has the defaults.
    const UserSettings settings = LoadUserSettings();
    m_nNameMode = settings.nameMode;
    m_nLocationMode = settings.locationMode;
    m_strTargetDir = settings.targetDir;
    m_strAddFolder = settings.addFolder;
    m_strReportFolder = settings.reportFolder;
    m_bShowSummary = settings.showSummary;
    m_nStep = 1;

    // Workbooks and folders dropped from Explorer, on the list or anywhere else on the window.
    ::DragAcceptFiles(m_hWnd, TRUE);
    ::DragAcceptFiles(m_sourceList.m_hWnd, TRUE);
    const auto listProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_sourceList.m_hWnd, GWLP_WNDPROC));
    if (listProc != &ForwardDrops && (!g_listProc || g_listProc == listProc)) {
        g_listProc = listProc;
        ::SetWindowLongPtrW(m_sourceList.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForwardDrops));
    }
    m_taskbar.Attach(m_hWnd);
    return TRUE;
}

UserSettings CRepairDlg::CurrentSettings() const
{
    UserSettings settings;
    settings.nameMode = m_nNameMode;
    settings.locationMode = m_nLocationMode;
    settings.targetDir = m_strTargetDir;
    settings.addFolder = m_strAddFolder;
    settings.reportFolder = m_strReportFolder;
    settings.showSummary = m_bShowSummary;
    return settings;
}

void CRepairDlg::SaveSettings() const
{
    // A key that cannot be written costs the next start its memory, nothing more.
    SaveUserSettings(CurrentSettings());
}

void CRepairDlg::SetUpButtons()
{
    struct ToolbarButton {
        CIconButton& button;
        UINT hotBitmap;
        UINT normalBitmap;
        const char* tip;
    };
    ToolbarButton toolbar[] = {
        { m_btnLiveUpdate, IDB_LIVE_UPDATE_HOT, IDB_LIVE_UPDATE, texts::kTipLiveUpdate },
        { m_btnSettings, IDB_SETTINGS_HOT, IDB_SETTINGS, texts::kTipSettings },
        { m_btnAddFiles, IDB_ADD_FILES_HOT, IDB_ADD_FILES, texts::kTipAddFiles },
        { m_btnRemoveSelected, IDB_REMOVE_SELECTED_HOT, IDB_REMOVE_SELECTED, texts::kTipRemoveSelected },
        { m_btnRemoveAll, IDB_REMOVE_ALL_HOT, IDB_REMOVE_ALL, texts::kTipRemoveAll },
    };
    for (ToolbarButton& b : toolbar) {
        b.button.UseParentBackground(FALSE);
        b.button.SetBitmapPair(LoadPicture(b.hotBitmap), kHotKeyColor, LoadPicture(b.normalBitmap), kNormalKeyColor);
        b.button.SetToolTipText(b.tip, TRUE);
    }

    struct NavButton {
        CIconButton& button;
        int hotIcon;
        int normalIcon;
        const char* tip;
    };
    NavButton nav[] = {
        { m_btnNext, IDI_NEXT_HOT, IDI_NEXT, texts::kTipNext },
        { m_btnBack, IDI_BACK_HOT, IDI_BACK, texts::kTipBack },
    };
    for (NavButton& b : nav) {
        b.button.SetIcon(b.hotIcon, b.normalIcon);
        b.button.ShadeColor(0, kNavHotShade, TRUE);
        b.button.SetColor(1, kNavHotText, TRUE);
        b.button.SetAlign(kImageRightOfCaption, TRUE);
        b.button.SetToolTipText(b.tip, TRUE);
    }
}

void CRepairDlg::SetUpLists()
{
    const int statusIcons[] = { IDI_STATUS_WORKING, IDI_STATUS_FAILED, IDI_STATUS_REPAIRED, IDI_STATUS_QUEUED };
    m_resultImages.reset(::ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 4, 1));
    for (int id : statusIcons) {
        gdi::Icon icon(
            static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 48, 48, 0)));
        ::ImageList_AddIcon(m_resultImages.get(), icon.get());
    }
    m_resultList.SetImageList(m_resultImages.get(), LVSIL_SMALL);

    SHFILEINFOA sfi = {};
    m_hSourceImages = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("", 0, &sfi, sizeof(sfi), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // The shell's icon list is shared by every window of the process: the list must not destroy it.
    ::SetWindowLongA(
        m_sourceList.m_hWnd, GWL_STYLE, ::GetWindowLongA(m_sourceList.m_hWnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    m_sourceList.SetImageList(m_hSourceImages, LVSIL_SMALL);

    m_sourceList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    m_resultList.SetExtendedStyle(LVS_EX_GRIDLINES);
    for (int i = 0; i < static_cast<int>(std::size(texts::kSourceColumns)); i++)
        m_sourceList.InsertColumn(i, texts::kSourceColumns[i], LVCFMT_LEFT, texts::kSourceColumnWidths[i]);
    for (int i = 0; i < static_cast<int>(std::size(texts::kResultColumns)); i++)
        m_resultList.InsertColumn(i, texts::kResultColumns[i], LVCFMT_LEFT, texts::kResultColumnWidths[i]);

    ::ShowWindow(m_sourceList.m_hWnd, SW_SHOW);
    ::ShowWindow(m_resultList.m_hWnd, SW_HIDE);
    m_btnBack.ShowWindow(SW_HIDE);
}

RixBoxParams CRepairDlg::MessageParams(const char* lpszMoreText)
{
    RixBoxParams params;
    params.bkBox.nEffect = RIX_EFFECT_VBUMP;
    params.bkBox.crColor1 = kBoxColor1;
    params.bkBox.crColor2 = kBoxColor2;
    params.bkBox.crColor3 = kBoxColor3;
    params.nButtonAlign = kButtonsCentred;
    params.lpszMoreText = lpszMoreText;
    return params;
}

int CRepairDlg::ShowMessage(const char* lpszText, DWORD dwStyle, const char* lpszMoreText) const
{
    RixBoxParams params = MessageParams(lpszMoreText);
    return RixMessageBox(nullptr, lpszText, texts::kAppTitle, dwStyle, &params);
}

BOOL CRepairDlg::PreTranslateMessage(MSG* pMsg)
{
    if (CSplashWindow::FilterSplashMessage(pMsg))
        return TRUE;
    if (pMsg->message == WM_KEYF1) {
        OnHelp();
        return TRUE;
    }
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_RETURN) {
            // Enter starts Next in step one and never presses a default button.
            if (m_nStep == 1)
                OnNext();
            return FALSE;
        }
        if (pMsg->wParam == VK_ESCAPE)
            return FALSE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CRepairDlg::OnEraseBkgnd(HDC hDC)
{
    return PaintPictureBackground(hDC, m_bmpBackground.get());
}

void CRepairDlg::OnPaint()
{
    gdi::PaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

void CRepairDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_SYS_ABOUT) {
        OnAbout();
        return;
    }
    DefWindowProc(WM_SYSCOMMAND, nID, lParam);
}

void CRepairDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRowTimer) {
        OnRowTimer();
        return;
    }
    if (nIDEvent != kSelectAllTimer || m_nStep != 1)
        return;
    int count = m_sourceList.GetItemCount();
    int ticked = 0;
    for (int i = 0; i < count; i++)
        if (m_sourceList.GetCheck(i))
            ticked++;
    m_chkSelectAll.SetCheck(count > 0 && ticked == count ? BST_CHECKED : BST_UNCHECKED);
}

BOOL CRepairDlg::OnCommand(WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case IDC_ADD_FILES:
    case ID_FILE_ADD:
        OnAddFiles();
        return TRUE;
    case ID_FILE_ADD_FOLDER:
        OnAddFolder();
        return TRUE;
    case ID_FILE_SAVE_REPORT:
        OnSaveReport();
        return TRUE;
    case IDC_REMOVE_ALL:
    case ID_FILE_REMOVE_ALL:
        OnRemoveAll();
        return TRUE;
    case IDC_REMOVE_SELECTED:
    case ID_FILE_REMOVE_SELECTED:
        OnRemoveSelected();
        return TRUE;
    case IDC_SETTINGS:
    case ID_TOOLS_SETTINGS:
        OnSettings();
        return TRUE;
    case IDC_NEXT:
    case ID_FILE_REPAIR:
        OnNext();
        return TRUE;
    case IDC_BACK:
        OnBack();
        return TRUE;
    case IDC_LIVE_UPDATE:
    case ID_TOOLS_LIVE_UPDATE:
        OnLiveUpdate();
        return TRUE;
    case ID_FILE_EXIT:
        OnExit();
        return TRUE;
    case ID_HELP_CONTENTS:
        OnHelp();
        return TRUE;
    case ID_HELP_ABOUT:
        OnAbout();
        return TRUE;
    case IDC_SELECT_ALL:
        OnSelectAll();
        return TRUE;
    case IDC_HOME_LINK:
        // The second click of a double click comes as a double-click notification: one page is enough.
        if (HIWORD(wParam) == BN_CLICKED)
            OnHomeLink();
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CRepairDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->idFrom == IDC_SOURCE_LIST && hdr->code == NM_CLICK) {
            OnSourceClick(hdr);
            return 0;
        }
        break;
    }
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case kRunOnWindowThread:
        return RunSentWork(lParam);
    case kRowUpdate:
        OnRowUpdate();
        return 0;
    case kRunSummary:
        OnRunSummary(wParam);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        OnExit();
        return 0;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_ERASEBKGND:
        if (OnEraseBkgnd(reinterpret_cast<HDC>(wParam)))
            return TRUE;
        break;
    case WM_PAINT:
        if (::IsIconic(m_hWnd)) {
            OnPaint();
            return 0;
        }
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
