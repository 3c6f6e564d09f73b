// The journal of a run mode's temporary copies: a small file of the
// program's own in the temporary folder that names every copy from just
// before it is made until it is gone, so that the copies of a run that ended
// without its own stop (a killed process, a crash) are deleted at the next
// start of that mode.
//
// A journal that cannot be read or written never stops the program: the
// operation reports false to its caller, which carries on (the copy is still
// made and deleted as before; only a run killed meanwhile would leave it),
// and the first such failure of the process is written to the debugger's
// output (OutputDebugStringW), since the program keeps no log.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class CTempFileJournal {
public:
    // Keeps the journal in the user's temporary folder under `name`; false
    // when there is no temporary folder. Nothing is read or written yet; a
    // journal never opened records nothing.
    bool Open(const wchar_t* name);
    // For the start that holds its mode's single instance, before anything
    // else touches the temporary folder: deletes the copies the journal names
    // that still exist and that lie in the temporary folder under a copy's
    // name. Those that cannot be deleted stay named for the next start.
    bool Sweep();
    // Names `path`; called before the copy is made.
    bool Record(const std::wstring& path);
    // Strikes `path`; called once the copy is gone. The journal goes with
    // its last live copy.
    bool Strike(const std::wstring& path);

private:
    bool Append(const std::string& line);
    // Writes the live paths alone, replacing the journal in one step.
    bool Rewrite();
    bool Reported(bool succeeded);

    std::mutex mutex;
    std::wstring folder;
    std::wstring path;
    std::vector<std::wstring> live;
    // Lines appended since the journal was last written whole.
    size_t appendedLines = 0;
    bool failureReported = false;
};

// The journal of this process's run mode.
extern CTempFileJournal g_tempFileJournal;
