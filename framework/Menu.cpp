#include "Menu.h"

#include <map>

namespace {
// Menus live on the window thread; owner-drawn items find their object here.
std::map<HMENU, CMenu*>& Attached()
{
    static std::map<HMENU, CMenu*> menus;
    return menus;
}
} // namespace

CMenu* CMenu::FromHandlePermanent(HMENU hMenu)
{
    auto it = Attached().find(hMenu);
    return it == Attached().end() ? nullptr : it->second;
}

CMenu* CMenu::FindPopupHolding(HMENU hMenuBar, UINT nCommandId)
{
    int count = hMenuBar ? ::GetMenuItemCount(hMenuBar) : 0;
    for (int i = 0; i < count; i++) {
        HMENU hPopup = ::GetSubMenu(hMenuBar, i);
        if (!hPopup)
            continue;
        CMenu* pMenu = FromHandlePermanent(hPopup);
        if (pMenu && ::GetMenuState(hPopup, nCommandId, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
            // Held directly by this pop-up, not by one of its own pop-ups.
            for (int j = 0; j < ::GetMenuItemCount(hPopup); j++)
                if (::GetMenuItemID(hPopup, j) == nCommandId)
                    return pMenu;
        }
        if (CMenu* pDeeper = FindPopupHolding(hPopup, nCommandId))
            return pDeeper;
    }
    return nullptr;
}

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (m_hMenu || !hMenu)
        return FALSE;
    m_hMenu = hMenu;
    Attached()[hMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    if (hMenu)
        Attached().erase(hMenu);
    m_hMenu = nullptr;
    return hMenu;
}

BOOL CMenu::CreatePopupMenu()
{
    return Attach(::CreatePopupMenu());
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    return ::DestroyMenu(Detach());
}
