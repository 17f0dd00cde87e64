// CTransparentStatic: a label that draws only its letters over its dialog's background picture.
#pragma once

#include "../framework/Controls.h"

class CTransparentStatic : public CStatic {
public:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
