// The system-test dialog: checks the connection to the analysis server both
// ways and writes each exchange, with its verdict, to a read-only log.
// "Client To Server" sends three generated texts that the server must echo
// unchanged; "Server To Client" asks three times for the server's test text,
// whose two halves must be equal. The requests run on the UI thread, so the
// dialog does not respond while one is under way; no outcome shows anywhere
// but in the log.
#pragma once

#include "settings/TransferLog.h"
#include "ui/Dialog.h"

#include <string>

class CTfdaDlg : public CDialogEx {
public:
    explicit CTfdaDlg(CWnd* parent = nullptr);

    // Where the analysis server is; set by the opener.
    std::string serverHost;
    unsigned short serverPort = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnBnClickedClientToServerTest();
    void OnBnClickedServerToClientTest();
    void OnBnClickedClearLog();

    void AppendLog(const std::wstring& text);
    // Shows the whole log with its end in view.
    void ShowLog();

    CTransferLog logText;
};
