// The batch sharpen mode: every file directly in the source folder, one per
// tick of a 50 ms timer, auto-levelled, sharpened and written as JPEG under
// its own name into the target folder. Without a source or a target folder
// nothing is processed. The files go through a pipeline that reads the
// next files and encodes the ones before while the effects run here;
// SharpenFile is the same work for one file alone.
#pragma once

#include "capture/BatchPipeline.h"
#include "capture/EffectWorkspace.h"
#include "ui/Dialog.h"

#include <memory>
#include <string>
#include <vector>

class CProgressDlg : public CDialogEx {
public:
    CProgressDlg();

    BOOL PreTranslateMessage(MSG* msg) override;

    bool ScanSourceFolder();
    bool SharpenFile(const std::wstring& name);

    std::vector<std::wstring> files;
    std::wstring sourceFolder;
    std::wstring targetFolder;
    HWND progress = nullptr;
    int fileCount = 0;
    int nextIndex = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

private:
    void ListSourceFiles();
    void OnTimer(UINT_PTR timerId);
    void OnDestroy();
    // The progress bar at the file the tick is on.
    void ShowProgress();
    void ProcessNextFile(const std::wstring& name);

    CBatchPipeline pipeline;
    // The effects' threads and memory, for as long as a batch runs.
    std::unique_ptr<CEffectWorkspace> effects;
};
