// CFECFileDialog: the open dialog through which the user picks source workbooks, many at once.
// The base dialog returns names through a fixed buffer (m_ofn.nMaxFile characters); a selection of
// hundreds of long names does not fit and the dialog fails with FNERR_BUFFERTOOSMALL. While the
// selection is too large, this class keeps its own copy of the dialog's name field and folder,
// each in a buffer of the size the dialog reports, and hands the selection out from those. Names
// are wide, as the dialog gives them.
//
// The dialog itself resolves what is typed into its name field in a buffer of MAX_PATH characters
// when Open is pressed; a longer path overruns it (under Wine it ends the program). So Open is
// answered here first: when a typed name, with the folder it is in, is MAX_PATH characters or
// longer, the selection is taken from the name field and folder as above and the dialog is closed
// without acting on it.
//
// The dialog's own buffer (m_ofn.lpstrFile) is grown to hold each selection and each typed list
// before the dialog writes it, so the whole list normally comes back there; the copy above remains
// for a dialog that reports the buffer too small all the same.
#pragma once

#include "../framework/FileDialog.h"

#include <string>

class CFECFileDialog : public CFileDialog {
public:
    static constexpr const char* kRuntimeClass = "CFECFileDialog";

    CFECFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr, const wchar_t* lpszFileName = nullptr,
        DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
        HWND hWndParent = nullptr);
    ~CFECFileDialog() override;

    INT_PTR DoModal() override;

    // These hide the base's: with an enlarged selection they walk our own copy of it.
    POSITION GetStartPosition() const;
    std::wstring GetNextPathName(POSITION& pos) const;

    // True while the selection is kept in our own buffers rather than in m_ofn.lpstrFile.
    bool HasEnlargedSelection() const { return m_pszSpec != nullptr; }

protected:
    // Zeroed bytes kept behind the name field's size as the dialog gives it: its own terminator,
    // should the dialog fill every character, and the second one that ends a list of one name.
    static constexpr size_t kNameFieldSlack = 2;

    void OnFileNameChange() override;
    bool OnOpenCommand() override;

    // Drops both buffers.
    void FreeSelection();
    // Turns the name field text in m_pszSpec into the names one after another, each ended by a
    // terminator, with an empty name at the end.
    void ConvertSpec() const;
    // What m_ofn.lpstrFile would hold for the selection we keep, given room enough.
    std::wstring FullBufferLayout() const;
    // True when our selection cannot fit m_ofn.lpstrFile and the buffer begins as a cut-off copy
    // of it.
    bool BufferIsCutOffSelection() const;
    // True when the names in m_ofn.lpstrFile end inside it, as a complete answer's do.
    bool BufferIsComplete() const;

    mutable int m_bSpecConverted; // 1 once m_pszSpec holds separate names
    bool m_bTakenOver = false; // Open was answered here with the selection in m_pszSpec
    wchar_t* m_pszFolder; // folder of the selection as the dialog reports it, or null
    wchar_t* m_pszSpec; // the dialog's name field, or null; set together with m_pszFolder
};
