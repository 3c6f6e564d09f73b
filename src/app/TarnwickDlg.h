// The main window of the program: a full-screen dialog filled by the tooth
// chart, with a strip of finding-filter check boxes under it. It takes image
// paths from the command line and from later starts of the program
// (WM_COPYDATA) and opens each from a short one-shot timer, after the
// messages already queued. Its finding list, page label and buttons are
// parked outside the visible area; the buttons stay reachable by keyboard.
#pragma once

#include "analysis/ToothInfo.h"
#include "app/ImageButton.h"
#include "app/TransCheckBox.h"
#include "chart/ToothStatic.h"
#include "chart/ToothStaticListener.h"
#include "ui/Dialog.h"
#include "ui/GdiHandles.h"
#include "ui/GdiplusPtr.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Fills `buffer` (of `capacity` characters) with the program file's path the
// way GetModuleFileNameW does and returns its result.
using ModuleFileNameQuery = std::function<DWORD(wchar_t* buffer, DWORD capacity)>;

class CTarnwickDlg : public CDialogEx, public CToothStaticListener {
public:
    static constexpr size_t FILTER_CHECK_COUNT = 13;

    CTarnwickDlg();

    virtual bool StartOpenFileTimer();
    virtual void StopOpenFileTimer();

    void OnToothChartEvent(int event, int arg) override;
    void OnOpenImage(const std::wstring& path) override;

    // Places the chart and sets the units and the filter strip for a client
    // area of this size; the full-screen layout runs it for the real one.
    void LayoutForClient(const RECT& client);
    void UpdateNavigation();
    void RefreshFindingList();
    void LayoutFilterChecks();
    void OnFilterCheck(UINT id);

    void OnBnClickedLoad();
    void OnBnClickedPrev();
    void OnBnClickedNext();
    void OnBnClickedAnalyse();

    // The filter check box of a control id (1006 to 1018), or null.
    CTransCheckBox* FilterCheck(UINT id);

    // The program file's path; empty: the system's.
    ModuleFileNameQuery moduleFileName;

    wchar_t programFolder[MAX_PATH] = {};
    CToothStatic toothChart;
    CImageButton loadButton;
    CImageButton prevButton;
    CImageButton nextButton;
    CImageButton analyseButton;
    // In the order of their ids 1007 to 1017, then 1006, then 1018.
    std::array<CTransCheckBox, FILTER_CHECK_COUNT> filterChecks;
    ToothInfoMap currentTeeth; // keyed by tooth number
    UniqueMemoryDC backgroundDC;
    UniqueBitmap backgroundBitmap;
    SIZE backgroundSize{};
    RECT clientRect{};
    HICON hIcon;
    GdiplusPtr<Gdiplus::Image> background;
    HWND findingList = nullptr;
    HWND pageLabel = nullptr;
    uint32_t filterMask = 0;
    bool backgroundDrawn = false;
    int32_t unitX = 0;
    int32_t unitY = 0;
    int32_t filterRowTop = 0;
    int32_t filterRowBottom = 0;
    std::wstring pendingFilePath;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    // Asks the user for one existing JPEG file; false when cancelled.
    virtual bool AskForImageFile(std::wstring* path);

private:
    LRESULT OnSysCommand(UINT command);
    void OnSize(UINT type, int width, int height);
    void OnDisplayChange(int width, int height);
    void OnBringToFront();
    void OnPaint();
    void OnTimer(UINT_PTR timerId);
    void OnClose();
    // The session ends: the process is ended once this returns.
    void OnEndSession(bool ending);
    BOOL OnCopyData(HWND sender, const COPYDATASTRUCT* data);
    LRESULT OnPostInit();

    void LayoutControls();
    RECT FitToScreen();
    void SetupFindingList(RECT& rect);
    void LayoutButtons();
    bool LoadButtonImages();
    void MakeBackground(int width, int height);
    void DrawBackground(HDC dc);
    // Shows the error of an analysis that could not start.
    void ReportAnalysisNotStarted();
    // The chart shows the dialog's filter and the tips of the teeth it lets
    // through, and repaints.
    void HandFilterToChart();

    UINT_PTR openFileTimerId = 0;
    // The full-screen layout has run; the filter strip has been laid out
    // (until then "Unknown" keeps its place from the template).
    bool laidOut = false;
    bool filterStripLaidOut = false;
};
