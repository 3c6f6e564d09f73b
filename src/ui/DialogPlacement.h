// Where a dialog opens when its template leaves the place to the program: a
// template at the origin, neither absolute nor a child, whose dialog neither
// moved nor showed itself during WM_INITDIALOG, opens centred on its owner,
// or on the work area when it has no owner to be seen. Without this it would
// open in the corner of its owner's client area.
#pragma once

#include <windows.h>

// True when the dialog template `templateId` of `module` stands at the
// origin without DS_ABSALIGN, DS_CENTER or DS_CENTERMOUSE and is no child.
bool TemplateLeavesPlaceOpen(HINSTANCE module, UINT templateId);

// Centres `window` on its visible owner, else on the work area of its
// monitor, and keeps it inside that work area.
void CentreOnOwner(HWND window);
