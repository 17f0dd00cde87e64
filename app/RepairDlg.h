// CRepairDlg: the main window, a two-step wizard. Step 1 is the source list, step 2 the results.
#pragma once

#include "../controls/HoverButton.h"
#include "../controls/IconButton.h"
#include "../controls/TransparentButton.h"
#include "../controls/TransparentStatic.h"
#include "../framework/Controls.h"
#include "../framework/Dialog.h"
#include "../framework/Gdi.h"
#include "../menu/PictureMenu.h"
#include "../msgbox/RixMessageBox.h"
#include "../repair/RepairJob.h"
#include "RowChangeQueue.h"
#include "../repair/WorkbookScan.h"
#include "ListTexts.h"
#include "TaskbarProgress.h"
#include "UserSettings.h"

#include <array>
#include <atomic>
#include <map>
#include <exception>
#include <functional>
#include <string>
#include <vector>

// Images of the result list.
enum ResultStatus { STATUS_WORKING = 0, STATUS_FAILED = 1, STATUS_REPAIRED = 2, STATUS_QUEUED = 3 };

class CRepairDlg;
extern CRepairDlg* g_pMainDlg;

class CRepairDlg : public CDialog, public IRepairRows {
public:
    static constexpr UINT_PTR kSelectAllTimer = 1;
    static constexpr UINT kSelectAllPeriod = 200;
    static constexpr UINT kSplashPeriod = 4000;
    // Work sent from the worker thread to be done on the window thread.
    static constexpr UINT kRunOnWindowThread = WM_APP + 1;
    // The worker's first row change since the window last made them all.
    static constexpr UINT kRowUpdate = WM_APP + 2;
    // Row changes that come while the window is awake are made together at this pace.
    static constexpr UINT_PTR kRowTimer = 2;
    static constexpr UINT kRowPeriod = 30;
    // The run has ended: its summary is shown (the run's number in wParam).
    static constexpr UINT kRunSummary = WM_APP + 3;
    // A scan of folders shows its progress window only when it takes longer than this.
    static constexpr UINT kScanProgressAfter = 400;

    explicit CRepairDlg(HWND hWndParent = nullptr);
    ~CRepairDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The block every message of the main window passes to the message box.
    static RixBoxParams MessageParams(const char* lpszMoreText = nullptr);
    int ShowMessage(const char* lpszText, DWORD dwStyle, const char* lpszMoreText = nullptr) const;

    // Commands of step 1
    void OnAddFiles();
    // Picks a folder and adds every workbook under it, sub-folders included.
    void OnAddFolder();
    // Files and folders dropped on the window or its source list (the block is released here).
    void OnDropFiles(HDROP hDrop);
    // Adds the workbooks at or under the paths, with the list's rules for a batch of them: a
    // workbook already in the list is not added again, a file that is not one is refused, and the
    // user hears about what was refused. A scan that takes long shows its progress and can be
    // cancelled (then what it found is added).
    AddOutcome AddPaths(const std::vector<std::wstring>& paths);
    void OnRemoveAll();
    void OnRemoveSelected();
    void OnSelectAll();
    void OnSourceClick(const NMHDR* pNotify);
    void OnExit();
    // Log-off or shut-down: the run stops as for an exit, and the process ends.
    void OnEndSession();
    void OnHelp();
    void OnLiveUpdate();
    void OnHomeLink();
    void OnAbout();
    // A companion file in the start folder; empty when the start folder is unknown.
    std::wstring CompanionPath(const char* name) const;
    // Commands of the batch run
    void OnNext();
    void OnBack();
    void OnSettings();
    // Writes the result list of the last run as a report file the user names.
    void OnSaveReport();
    // The summary of the run numbered `run`, when it is still the one shown and the user has not
    // turned the summary off.
    void OnRunSummary(WPARAM run);
    // Shows the folder in Explorer (or hands it to m_openFolder where that is set).
    void OpenFolder(const std::wstring& folder);

    void SetInstructions(const char* text) { m_lblInstructions.SetWindowText(text); }
    // How long a stop waits for the worker (the window paints meanwhile), and how often it cancels
    // a read that blocks.
    static constexpr DWORD kStopWait = 1000;
    static constexpr DWORD kStopRetry = 100;
    // Stops a running worker at its next safe point and waits up to `timeout` ms for it; true
    // when it has ended.
    bool StopWorker(DWORD timeout);

    // Runs the work on the window thread and waits for it; what it throws is thrown here.
    void OnWindowThread(const std::function<void()>& work);
    // Makes the change on the window thread after the ones posted before it, without waiting. The
    // window is woken for the first change and takes the ones that follow in batches. A change of
    // one row, or of the run's count, may be `passing` (see RowChangeQueue::Add).
    void PostToWindowThread(std::function<void()> work, int row = RowChangeQueue::kNoRow, bool passing = false);
    // Makes the row changes posted and not yet made, now (on the window thread).
    void ApplyPendingRowChanges();

    // The result rows, for the worker.
    int RowCount() override;
    RepairSource StartRow(int row) override;
    void ShowFailed(int row) override;
    void ShowNameTooLong(int row) override;
    void ShowRepaired(int row, const OutputChoice& output) override;
    void ShowPartial(int row, const OutputChoice& output, const std::wstring& lost) override;
    void ShowDone() override;

    // Reads the result rows as the next run's sources (on the window thread, before it starts).
    void TakeRunSources();

    // Adds one row for a full path, as Add Files does for every selected file.
    void AddSourceFile(const std::wstring& path);
    // The choices kept between starts, as they stand now, and writing them.
    UserSettings CurrentSettings() const;
    void SaveSettings() const;

    // State, read by tests and by the worker.
    int m_nStep = 1;
    std::atomic<int> m_bRunning { 0 };
    int m_nNameMode = 1;
    int m_nLocationMode = 0;
    // Folders are wide, as every user's name is (see framework/PathText.h).
    std::wstring m_strTargetDir;
    std::wstring m_strSourceDir;
    std::wstring m_strStartDir;
    // Where workbooks were last added from, and where the last report went.
    std::wstring m_strAddFolder;
    std::wstring m_strReportFolder;
    bool m_bShowSummary = true;
    // Counts the runs started, so that a summary posted for one is never shown for another.
    WPARAM m_nRunSerial = 0;
    // Takes the place of Explorer for Open folder, when set.
    std::function<void(const std::wstring&)> m_openFolder;

    CListCtrl& SourceList() { return m_sourceList; }
    CListCtrl& ResultList() { return m_resultList; }
    HBITMAP BackgroundBitmap() const { return m_bmpBackground.get(); }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;

private:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnEraseBkgnd(HDC hDC);
    void OnPaint();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void SetUpButtons();
    void SetUpLists();
    void BuildMenuBar();
    // Shows the controls of one step and hides those of the other.
    void ShowStepControls(int step);
    bool AnySourceTicked() const;
    // Appends a row of the source list; the texts of the size and time columns may be empty.
    int InsertSourceRow(
        const std::wstring& name, const std::wstring& folder, const std::array<std::string, 4>* details);
    void AddFoundWorkbooks(const std::vector<FoundWorkbook>& found, AddOutcome& outcome);
    // The shell's icon and type name of a file name, asked once per extension.
    struct ShellLook {
        int icon = 0;
        std::wstring type;
    };
    const ShellLook& LookOf(const std::wstring& name);
    // "n of N" while a run goes on, and the taskbar button with it.
    void ShowRunProgress(int done, int total);
    struct SentWork {
        const std::function<void()>* work;
        std::exception_ptr failure;
    };
    LRESULT RunSentWork(LPARAM lParam);
    void OnRowUpdate();
    void OnRowTimer();
    // Makes the row changes until none is left, and leaves the next one to wake the window.
    void SleepRowChanges();

    CHoverButton m_btnHomeLink;
    CTransparentStatic m_lblSelectAll;
    CTransparentStatic m_lblInstructions;
    CIconButton m_btnLiveUpdate;
    CIconButton m_btnSettings;
    CIconButton m_btnRemoveSelected;
    CIconButton m_btnRemoveAll;
    CIconButton m_btnAddFiles;
    CIconButton m_btnBack;
    CIconButton m_btnNext;
    CListCtrl m_resultList;
    CListCtrl m_sourceList;
    CTransparentButton m_chkSelectAll;
    HICON m_hIcon = nullptr;
    gdi::ImageList m_resultImages;
    HIMAGELIST m_hSourceImages = nullptr; // the shell's list, not ours
    gdi::Bitmap m_bmpBackground;
    CPictureMenu m_menuFile;
    CPictureMenu m_menuTools;
    CPictureMenu m_menuHelp;
    std::vector<RepairSource> m_runSources; // the rows of the run, as it started
    RowChangeQueue m_rowChanges; // the worker's row changes the window has not made yet
    std::map<std::wstring, ShellLook> m_shellLooks; // by lower-case extension
    CTaskbarProgress m_taskbar;
};
