// What the main window's component tests share: the real main dialog with its
// chart pointed at the fake analysis server on a port of its own, image
// files made by the test, and a watcher that reads and closes the modal
// windows (message boxes, the file dialog, the about box) the dialog opens.
#pragma once

#include "app/TarnwickDlg.h"

#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mainwindowtest {

// A modal window seen by the watcher: its caption, the texts of its
// controls and its window rectangle, read before it was closed.
struct SeenWindow {
    std::wstring caption;
    std::vector<std::wstring> texts;
    RECT place{};

    bool HasText(const std::wstring& text) const;
};

// Watches the given thread for modal dialog windows (class "#32770") and
// closes each with Cancel, or OK when it has no Cancel button.
class ModalWatcher {
public:
    explicit ModalWatcher(DWORD uiThread);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    std::vector<SeenWindow> Seen() const;

private:
    void Watch();

    const DWORD uiThread;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::vector<SeenWindow> seen;
    std::vector<HWND> closing;
    std::thread thread;
};

// The dialog with the file dialog behind a stand-in when `chosenFile` is
// set: the stand-in answers with that path, or as cancelled when it is empty.
class TestMainDlg : public CTarnwickDlg {
public:
    bool standInFileDialog = false;
    std::wstring chosenFile;
    int fileDialogsShown = 0;

protected:
    bool AskForImageFile(std::wstring* path) override;
};

// A tooth of the chart's current image with its box in image pixels.
CToothInfo Tooth(int32_t number, uint32_t mask, RECT imageBox = {10, 10, 40, 40});

// A reply of the fake server: tooth boxes "x,y,w,h,n" and findings "n,codes".
FakeScenario Reply(const std::string& boxes, const std::string& findings);

// A 24-bit JPEG of one colour.
bool WriteJpeg(const std::wstring& path, int width, int height, COLORREF colour);

// The main dialog created modeless, its chart asking the fake server, in a
// working folder that holds "Record\User.tpl".
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog (SetUp does unless `createInSetUp` is false) and
    // waits until its initialisation has posted and handled WM_POSTINIT.
    void OpenMainDialog();
    // A JPEG in the scratch folder.
    std::wstring Image(const std::wstring& name, COLORREF colour = RGB(0x20, 0x30, 0x60), int width = 400,
                       int height = 300);
    // The rectangle of a child control in the dialog's client coordinates.
    RECT ChildRect(int id) const;
    bool Visible(int id) const;
    bool Checked(int id) const;

    bool createInSetUp = true;
    testutil::ScratchFolder folder;
    FakeAnalysisServer server;
    TestMainDlg dialog;
    wchar_t previousFolder[MAX_PATH] = {};
};

} // namespace mainwindowtest
