// The record template editor: the seven sections of the user's template in
// edit boxes, the presets to start from, and saving.
#pragma once

#include "chart/RecordTemplateInfo.h"
#include "ui/Dialog.h"
#include "ui/GdiHandles.h"

class CRecordTemplateDlg : public CDialogEx {
public:
    CRecordTemplateDlg();

    // Puts the sections of the template file at `path` into the boxes; a
    // section the file lacks leaves its box as it was. False, with every box
    // unchanged, when the file cannot be read.
    bool LoadTemplate(const char* path);

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnLoadTemplateMenu();
    void OnTemplateMenu(UINT command);
    void OnSaveAndApply();

    CRecordTemplateInfo TextsOfBoxes() const;

    UniqueFont editFont;
};
