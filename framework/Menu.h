// CMenu: an HMENU, owned once attached.
#pragma once

#include "Platform.h"

class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // The object attached to a menu, or null for a menu we do not own.
    static CMenu* FromHandlePermanent(HMENU hMenu);
    // The attached pop-up among a menu bar's pop-ups (searched in depth) that holds a command.
    static CMenu* FindPopupHolding(HMENU hMenuBar, UINT nCommandId);

    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();

    // Owner-drawn items come here through the owner's WM_MEASUREITEM and WM_DRAWITEM.
    virtual void MeasureItem(MEASUREITEMSTRUCT*) {}
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
};
