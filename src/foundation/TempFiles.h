// Temporary files: made in the user's temporary folder under GUID names,
// registered in one process-wide list, and deleted together.
#pragma once

#include "foundation/TempFilePath.h"

#include <string>
#include <vector>

// Registered paths in registration order; a path may stand twice. Destroying
// the list at exit deletes no file.
extern std::vector<std::wstring> g_tempFiles;

// The user's temporary folder (as GetTempPathW gives it, ending with a
// backslash) + GUID text + extension in `out` of TEMP_PATH_CAPACITY
// characters. False when there is no temporary folder or the path does not fit.
bool MakeTempFilePath(const GUID* guid, const wchar_t* extension, wchar_t* out);

// Registers `path` and names it in the run mode's journal; called before the
// file is made, so that a run that ends halfway through leaves it named.
void AddTempFile(const wchar_t* path);

// Takes back the registration of a file whose making failed: deletes what
// may have been written and forgets the path.
void ForgetTempFile(const wchar_t* path);

// Deletes every registered file, passing over those that cannot be deleted
// (gone, or held open elsewhere), and empties the list. The journal keeps
// naming those still there, for the next start to delete.
void DeleteTempFiles();

// Deletes a temporary copy and strikes it from the journal once it is gone
// (a copy still open elsewhere with delete sharing goes at its last close);
// true when it is gone.
bool DeleteTempCopy(const std::wstring& path);
