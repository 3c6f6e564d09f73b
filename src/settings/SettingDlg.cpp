#include "settings/SettingDlg.h"

#include "foundation/SystemSetting.h"
#include "res/resource.h"
#include "ui/ResString.h"

namespace {

// One setting as a list of two items. `onItem` is the item that stands for
// the setting being on: the lists do not all put "on" second.
struct SettingChoice {
    int comboId;
    UINT itemTextIds[2];
    int onItem;
    bool (*isOn)(const CSystemSetting& setting);
    void (*turn)(CSystemSetting& setting, bool on);
};

const SettingChoice UpdateNotifyChoice{
    IDC_COMBO_UPDATE_NOTIFY,
    {IDS_UPDATE_NOTIFY_MAJOR, IDS_UPDATE_NOTIFY_ALL},
    1,
    [](const CSystemSetting& setting) { return setting.updateNotify != 0; },
    [](CSystemSetting& setting, bool on) { setting.updateNotify = on ? 1 : 0; },
};
const SettingChoice MissEndChoice{
    IDC_COMBO_MISS_END,
    {IDS_MISS_END_IGNORE, IDS_MISS_END_REPORT},
    1,
    [](const CSystemSetting& setting) { return setting.missEnd; },
    [](CSystemSetting& setting, bool on) { setting.missEnd = on; },
};
const SettingChoice CaptureBarChoice{
    IDC_COMBO_CAPTURE_BAR,
    {IDS_CAPTURE_BAR_SHOW, IDS_CAPTURE_BAR_HIDE},
    0,
    [](const CSystemSetting& setting) { return setting.captureBar; },
    [](CSystemSetting& setting, bool on) { setting.captureBar = on; },
};
const SettingChoice ClipboardTokenChoice{
    IDC_COMBO_CLIPBOARD_TOKEN,
    {IDS_CLIPBOARD_TOKEN_OFF, IDS_CLIPBOARD_TOKEN_ON},
    1,
    [](const CSystemSetting& setting) { return setting.clipboardToken; },
    [](CSystemSetting& setting, bool on) { setting.clipboardToken = on; },
};

const SettingChoice* const SettingChoices[] = {&UpdateNotifyChoice, &MissEndChoice, &CaptureBarChoice,
                                               &ClipboardTokenChoice};

void ShowChoice(HWND dialog, const SettingChoice& choice)
{
    for (WPARAM item = 0; item < 2; ++item) {
        SendDlgItemMessageW(dialog, choice.comboId, CB_INSERTSTRING, item,
                            reinterpret_cast<LPARAM>(LoadResString(choice.itemTextIds[item]).c_str()));
    }
    const bool on = choice.isOn(g_systemSetting);
    const int shown = on ? choice.onItem : 1 - choice.onItem;
    SendDlgItemMessageW(dialog, choice.comboId, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

// Every index but 0, "no selection" among them, reads as the second item.
void StoreChoice(HWND dialog, const SettingChoice& choice)
{
    const LRESULT index = SendDlgItemMessageW(dialog, choice.comboId, CB_GETCURSEL, 0, 0);
    const bool on = choice.onItem == 0 ? index == 0 : index != 0;
    if (on != choice.isOn(g_systemSetting)) {
        choice.turn(g_systemSetting, on);
        g_systemSetting.dirty = true;
    }
}

} // namespace

CSettingDlg::CSettingDlg(CWnd* parent) : CDialogEx(IDD_SETTING_DIALOG, parent) {}

BOOL CSettingDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    for (const SettingChoice* choice : SettingChoices) {
        ShowChoice(hwnd, *choice);
    }
    return TRUE;
}

LRESULT CSettingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        switch (LOWORD(wParam)) {
        case IDC_COMBO_UPDATE_NOTIFY:
            OnCbnSelchangeUpdateNotify();
            return 0;
        case IDC_COMBO_MISS_END:
            OnCbnSelchangeMissEnd();
            return 0;
        case IDC_COMBO_CAPTURE_BAR:
            OnCbnSelchangeCaptureBar();
            return 0;
        case IDC_COMBO_CLIPBOARD_TOKEN:
            OnCbnSelchangeClipboardToken();
            return 0;
        default:
            break;
        }
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CSettingDlg::OnCbnSelchangeUpdateNotify()
{
    StoreChoice(hwnd, UpdateNotifyChoice);
}

void CSettingDlg::OnCbnSelchangeMissEnd()
{
    StoreChoice(hwnd, MissEndChoice);
}

void CSettingDlg::OnCbnSelchangeCaptureBar()
{
    StoreChoice(hwnd, CaptureBarChoice);
}

void CSettingDlg::OnCbnSelchangeClipboardToken()
{
    StoreChoice(hwnd, ClipboardTokenChoice);
}
