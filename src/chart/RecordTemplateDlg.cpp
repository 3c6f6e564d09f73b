#include "chart/RecordTemplateDlg.h"

#include "chart/RecordTemplate.h"
#include "foundation/TextFile.h"
#include "res/resource.h"
#include "ui/ResString.h"
#include "ui/UniqueMenu.h"

namespace {

// The edit box of each section, in the order of TemplateSections.
constexpr int SectionBoxes[TEMPLATE_SECTION_COUNT] = {
    IDC_TEMPLATE_BODY, IDC_TEMPLATE_PERI_SEVERE, IDC_TEMPLATE_PERI_MODERATE, IDC_TEMPLATE_PERI_MILD,
    IDC_TEMPLATE_NONE, IDC_TEMPLATE_PREFIX,      IDC_TEMPLATE_POSTFIX,
};

struct TemplateMenuItem {
    UINT command;
    UINT textId;
    const char* path;
};

const TemplateMenuItem TemplateMenuItems[] = {
    {ID_TEMPLATE_KEY_FINDINGS, IDS_TEMPLATE_KEY_FINDINGS, PRESET_TEMPLATE_PATHS[0]},
    {ID_TEMPLATE_ALL_FINDINGS, IDS_TEMPLATE_ALL_FINDINGS, PRESET_TEMPLATE_PATHS[1]},
    {ID_TEMPLATE_CHECKED, IDS_TEMPLATE_CHECKED, PRESET_TEMPLATE_PATHS[2]},
    {ID_TEMPLATE_USER, IDS_TEMPLATE_USER, USER_TEMPLATE_PATH},
};

constexpr int EDIT_FONT_HEIGHT = 16;
constexpr wchar_t EDIT_FONT_FACE[] = L"標楷體";

} // namespace

CRecordTemplateDlg::CRecordTemplateDlg() : CDialogEx(IDD_RECORD_TEMPLATE_DIALOG) {}

bool CRecordTemplateDlg::LoadTemplate(const char* path)
{
    std::wstring text;
    if (!ReadUtf8File(path, &text)) {
        return false;
    }
    const TemplateSectionTexts sections = FindTemplateSections(text);
    for (size_t i = 0; i < TEMPLATE_SECTION_COUNT; ++i) {
        if (sections[i]) {
            SetDlgItemTextW(hwnd, SectionBoxes[i], sections[i]->c_str());
        }
    }
    return true;
}

BOOL CRecordTemplateDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    editFont.Reset(CreateFontW(EDIT_FONT_HEIGHT, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0,
                               FIXED_PITCH | FF_MODERN, EDIT_FONT_FACE));
    for (int box : SectionBoxes) {
        SendDlgItemMessageW(hwnd, box, WM_SETFONT, reinterpret_cast<WPARAM>(editFont.Get()), TRUE);
    }
    LoadTemplate(USER_TEMPLATE_PATH);
    // The close button, first in tab order, holds the focus.
    return TRUE;
}

LRESULT CRecordTemplateDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        const UINT command = LOWORD(wParam);
        switch (command) {
        case IDOK:
            OnSaveAndApply();
            return 0;
        case IDC_BTN_LOAD_TEMPLATE:
            if (HIWORD(wParam) == BN_CLICKED) {
                OnLoadTemplateMenu();
                return 0;
            }
            break;
        case ID_TEMPLATE_KEY_FINDINGS:
        case ID_TEMPLATE_ALL_FINDINGS:
        case ID_TEMPLATE_CHECKED:
        case ID_TEMPLATE_USER:
            OnTemplateMenu(command);
            return 0;
        default:
            break;
        }
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CRecordTemplateDlg::OnLoadTemplateMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return;
    }
    for (const TemplateMenuItem& item : TemplateMenuItems) {
        AppendMenuW(menu.get(), MF_STRING, item.command, LoadResString(item.textId).c_str());
    }
    TrackPopupMenu(menu.get(), 0, cursor.x, cursor.y, 0, hwnd, nullptr);
}

void CRecordTemplateDlg::OnTemplateMenu(UINT command)
{
    for (const TemplateMenuItem& item : TemplateMenuItems) {
        if (item.command == command) {
            LoadTemplate(item.path);
        }
    }
}

void CRecordTemplateDlg::OnSaveAndApply()
{
    if (!SaveRecordTemplate(USER_TEMPLATE_PATH, TextsOfBoxes())) {
        // The editor stays open with every text, so nothing typed is lost.
        ShowMessageBox(IDS_TEMPLATE_SAVE_FAILED);
        return;
    }
    OnOK();
}

CRecordTemplateInfo CRecordTemplateDlg::TextsOfBoxes() const
{
    CRecordTemplateInfo info;
    for (size_t i = 0; i < TEMPLATE_SECTION_COUNT; ++i) {
        HWND box = GetDlgItem(SectionBoxes[i]);
        const int length = GetWindowTextLengthW(box);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const int copied = ::GetWindowTextW(box, text.data(), length + 1);
        text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        info.*TemplateSections[i].field = std::move(text);
    }
    return info;
}
