// The journal of a run mode's temporary copies: a small file of the
// program's own in the temporary folder that names every copy from just
// before it is made until it is gone, so that the copies of a run that ended
// without its own stop (a killed process, a crash) are deleted at the next
// start of that mode.
//
// Every process that has copies named holds the journal open with a shared
// lock on one byte past its text. Locks on a file reach every process that
// opens it, whatever session it runs in and whichever program's instance
// rules it holds, so a start sweeps, and a process writes the journal whole,
// only while no one else holds it; the lock is taken and let go of behind a
// second byte, the gate, that one process passes at a time.
//
// A journal that cannot be read or written never stops the program: the
// operation reports false to its caller, which carries on (the copy is still
// made and deleted as before; only a run killed meanwhile would leave it),
// and the first such failure of the process is written to the debugger's
// output (OutputDebugStringW), since the program keeps no log. A journal
// that cannot be read is left as it is, for a later start.
#pragma once

#include "ui/Handles.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class CTempFileJournal {
public:
    // Keeps the journal in the user's temporary folder under `name`; false
    // when there is no temporary folder. Lets go of a journal held before;
    // nothing is read or written yet.
    bool Open(const wchar_t* name);
    // For the start that holds its mode's single instance, before it makes
    // a copy: unless a running process holds the journal, deletes the copies
    // it names that still exist and that lie in the temporary folder under a
    // copy's name. Those that cannot be deleted stay named for the next
    // start. False when the journal cannot be read.
    bool Sweep();
    // Names `path`; called before the copy is made.
    bool Record(const std::wstring& path);
    // Strikes `path`; called once the copy is gone. The journal goes with
    // the last live copy it names, once no one else holds it.
    bool Strike(const std::wstring& path);

private:
    // Opens the journal and holds it with the others that use it.
    bool Join();
    bool Append(const std::string& line);
    // Writes the journal's live names alone, or deletes it when it names
    // none, if no one else holds it and it can be read.
    bool Compact();
    // While no one else holds the journal: makes it name `paths` alone, or
    // deletes it when there are none.
    bool Replace(const std::vector<std::wstring>& paths);
    bool Reported(bool succeeded);

    std::mutex mutex;
    std::wstring folder;
    std::wstring path;
    // This process's hold of the journal; empty while it names no copy of ours.
    UniqueHandle held;
    std::vector<std::wstring> live;
    // Lines appended since the journal was last written whole.
    size_t appendedLines = 0;
    bool failureReported = false;
};

// The journal of this process's run mode.
extern CTempFileJournal g_tempFileJournal;
