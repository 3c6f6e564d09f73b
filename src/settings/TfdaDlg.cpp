#include "settings/TfdaDlg.h"

#include "analysis/ToothDetect.h"
#include "settings/TestTextGenerator.h"
#include "res/resource.h"
#include "ui/ResString.h"

#include <ctime>

namespace {

constexpr int EXCHANGES_PER_CLICK = 3;

// Texts on the wire are in the thread's ANSI code page; bytes that are no
// character of it show as the code page's default character.
std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::wstring QuotedLine(const std::string& text)
{
    return L"\"" + AnsiToWide(text) + L"\"\r\n";
}

std::wstring VerdictLine(bool passed)
{
    return LoadResString(IDS_TRANSFER_VERDICT) + LoadResString(passed ? IDS_TRANSFER_PASSED : IDS_TRANSFER_FAILED) +
           L"\r\n";
}

} // namespace

CTfdaDlg::CTfdaDlg(CWnd* parent) : CDialogEx(IDD_TFDA_DIALOG, parent) {}

LRESULT CTfdaDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_BTN_CLIENT_TO_SERVER:
            OnBnClickedClientToServerTest();
            return 0;
        case IDC_BTN_SERVER_TO_CLIENT:
            OnBnClickedServerToClientTest();
            return 0;
        case IDC_BTN_CLEAR_LOG:
            OnBnClickedClearLog();
            return 0;
        default:
            break;
        }
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CTfdaDlg::OnBnClickedClientToServerTest()
{
    CToothDetect detect;
    detect.SetServer(serverHost, serverPort);
    CTestTextGenerator generator(static_cast<uint32_t>(std::time(nullptr)));
    for (int exchange = 0; exchange < EXCHANGES_PER_CLICK; ++exchange) {
        const std::string text = generator.Next();
        AppendLog(LoadResString(IDS_CLIENT_TO_SERVER) + QuotedLine(text));
        bool accepted = false;
        std::string echo;
        const bool passed = detect.DataReflect(text, &accepted, &echo) && accepted && echo == text;
        AppendLog(VerdictLine(passed));
    }
}

void CTfdaDlg::OnBnClickedServerToClientTest()
{
    CToothDetect detect;
    detect.SetServer(serverHost, serverPort);
    for (int exchange = 0; exchange < EXCHANGES_PER_CLICK; ++exchange) {
        AppendLog(LoadResString(IDS_SERVER_TO_CLIENT));
        bool accepted = false;
        std::string firstHalf;
        std::string secondHalf;
        const bool answered = detect.TestMessage(&accepted, &firstHalf, &secondHalf) && accepted;
        if (!answered) {
            firstHalf.clear();
        }
        const bool passed = answered && firstHalf == secondHalf;
        AppendLog(QuotedLine(firstHalf) + VerdictLine(passed));
    }
}

void CTfdaDlg::OnBnClickedClearLog()
{
    logText.Clear();
    ShowLog();
}

void CTfdaDlg::AppendLog(const std::wstring& text)
{
    logText.Append(text);
    ShowLog();
}

void CTfdaDlg::ShowLog()
{
    SetDlgItemTextW(hwnd, IDC_TFDA_LOG, logText.Text().c_str());
    const LRESULT lines = SendDlgItemMessageW(hwnd, IDC_TFDA_LOG, EM_GETLINECOUNT, 0, 0);
    SendDlgItemMessageW(hwnd, IDC_TFDA_LOG, EM_LINESCROLL, 0, lines);
}
