#include "ModalAnswerer.h"

#include "msgbox/RixMessageBoxDialog.h"
#include "res/resource.h"

#include <cstdio>

namespace {
thread_local ModalAnswerer* t_active = nullptr;
constexpr UINT kPollMs = 30;

std::string ClassOf(HWND hWnd)
{
    char name[64] = {};
    ::GetClassNameA(hWnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND hWnd)
{
    char text[2048] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

std::vector<HWND> ThreadWindows()
{
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string ComboTexts(HWND hWnd)
{
    std::string all;
    for (HWND child = ::GetWindow(hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "ComboBox") != 0)
            continue;
        int count = static_cast<int>(::SendMessageA(child, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; i++) {
            char text[512] = {};
            if (::SendMessageA(child, CB_GETLBTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof(text)))
                continue;
            ::SendMessageA(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            all += text;
            all += "\n";
        }
    }
    return all;
}

} // namespace

std::string DialogTexts(HWND hWnd)
{
    // The formatted message box draws its text itself: its message, then its "more" text.
    if (const RixMessageBoxDialog* pBox = RixMessageBoxDialog::FromWindow(hWnd)) {
        std::string all = pBox->GetMessageText();
        if (!pBox->GetMoreText().empty())
            all += "\n" + pBox->GetMoreText();
        return all;
    }
    return StaticTexts(hWnd);
}

std::string StaticTexts(HWND hWnd)
{
    std::string all;
    for (HWND child = ::GetWindow(hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") != 0)
            continue;
        std::string text = TextOf(child);
        if (text.empty())
            continue;
        if (!all.empty())
            all += "\n";
        all += text;
    }
    return all;
}

ModalAnswerer::ModalAnswerer(std::vector<Action> actions) : m_actions(std::move(actions))
{
    for (HWND hWnd : ThreadWindows())
        m_known.insert(hWnd);
    m_previous = t_active;
    t_active = this;
    m_timer = ::SetTimer(nullptr, 0, kPollMs, &ModalAnswerer::OnTimer);
    // Timer messages come only when nothing else waits: while a worker keeps a list repainting they
    // can lag by a second. Every message the modal loop takes polls too.
    m_hook = ::SetWindowsHookExA(WH_GETMESSAGE, &ModalAnswerer::OnGetMessage, nullptr, ::GetCurrentThreadId());
}

ModalAnswerer::~ModalAnswerer()
{
    if (m_hook)
        ::UnhookWindowsHookEx(m_hook);
    ::KillTimer(nullptr, m_timer);
    t_active = m_previous;
}

void CALLBACK ModalAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (t_active)
        t_active->Poll();
}

LRESULT CALLBACK ModalAnswerer::OnGetMessage(int nCode, WPARAM wParam, LPARAM lParam)
{
    ModalAnswerer* active = t_active;
    if (nCode == HC_ACTION && active && active->m_polling == 0 && ::GetTickCount() - active->m_lastPoll >= kPollMs)
        active->Poll();
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void ModalAnswerer::Poll()
{
    m_lastPoll = ::GetTickCount();
    struct Depth {
        int& n;
        explicit Depth(int& depth) : n(depth) { ++n; }
        ~Depth() { --n; }
    } depth(m_polling);
    for (HWND hWnd : ThreadWindows()) {
        if (m_known.count(hWnd) || !::IsWindowVisible(hWnd) || ClassOf(hWnd) != "#32770")
            continue;
        m_known.insert(hWnd);
        m_seen.push_back({TextOf(hWnd), DialogTexts(hWnd), ClassOf(hWnd), ComboTexts(hWnd)});
        size_t index = m_seen.size() - 1;
        if (index < m_actions.size() && m_actions[index])
            m_actions[index](hWnd);
        else
            Dismiss(hWnd);
    }
}

void ModalAnswerer::Dismiss(HWND hWnd)
{
    // A formatted box whose Escape does nothing (a Yes/No question) is answered with No, as a user
    // who wants out would.
    const RixMessageBoxDialog* pBox = RixMessageBoxDialog::FromWindow(hWnd);
    if (pBox && !pBox->IsEscapeAllowed() && ::GetDlgItem(hWnd, IDNO))
        Press(IDNO)(hWnd);
    else
        Press(IDCANCEL)(hWnd);
}

ModalAnswerer::Action ModalAnswerer::Press(int id)
{
    return [id](HWND hWnd) {
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, id)));
    };
}

ModalAnswerer::Action ModalAnswerer::OpenFiles(const std::wstring& folder, const std::wstring& fileNameField)
{
    return [folder, fileNameField](HWND hWnd) {
        // The name field is an edit (edt1) or a combo box with an edit (cmb13), by dialog version.
        const int fieldIds[] = {0x480, 0x47c};
        auto type = [&](const std::wstring& text) {
            for (int id : fieldIds)
                if (HWND field = ::GetDlgItem(hWnd, id))
                    ::SetWindowTextW(field, text.c_str());
        };
        // A folder typed into the name field and confirmed opens that folder.
        if (!folder.empty()) {
            type(folder);
            ::SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, IDOK)));
        }
        type(fileNameField);
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, IDOK)));
    };
}

namespace {

// The text of the folder browser's selected item.
std::wstring SelectedFolderName(HWND hBrowser)
{
    HWND hTree = ::FindWindowExW(hBrowser, nullptr, WC_TREEVIEWW, nullptr);
    wchar_t text[MAX_PATH] = {};
    if (hTree) {
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = TreeView_GetSelection(hTree);
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        if (item.hItem)
            ::SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    return text;
}

} // namespace

ModalAnswerer::Action ModalAnswerer::BrowseTo(const std::wstring& folder, std::function<void()> beforeSelecting)
{
    return [folder, beforeSelecting](HWND hBrowser) {
        if (beforeSelecting)
            beforeSelecting();
        const std::wstring last = folder.substr(folder.find_last_of(L'\\') + 1);
        // Wine's browser may still be filling its tree when it first shows: try for a while. The
        // first browser in a new prefix looks at every drive first and took over 2 s in a clean
        // clone's run; with four lanes busy, a browser once had not found its folder after 10 s.
        for (int attempt = 0; attempt < 600; attempt++) {
            // A parent the browser listed before the folder was made keeps its old children until
            // it is listed again: every 2 s, its branch is closed, emptied and opened once more.
            if (attempt % 40 == 39) {
                const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
                ::SendMessageW(hBrowser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(parent.c_str()));
                if (HWND hTree = ::FindWindowExW(hBrowser, nullptr, WC_TREEVIEWW, nullptr)) {
                    const HTREEITEM item = TreeView_GetSelection(hTree);
                    TreeView_Expand(hTree, item, TVE_COLLAPSE | TVE_COLLAPSERESET);
                    TreeView_Expand(hTree, item, TVE_EXPAND);
                }
            }
            ::SendMessageW(hBrowser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
            if (_wcsicmp(SelectedFolderName(hBrowser).c_str(), last.c_str()) == 0) {
                Press(IDOK)(hBrowser);
                return;
            }
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            ::Sleep(50);
        }
        std::printf("the folder browser did not select %ls\n", folder.c_str());
        // The location dialog stays open after a cancelled browser: cancel it too, so the run
        // does not start.
        Press(IDCANCEL)(hBrowser);
        for (HWND hWnd : ThreadWindows())
            if (hWnd != hBrowser && ::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, IDC_OTHER_LOCATION))
                Press(IDCANCEL)(hWnd);
    };
}
