#pragma once
// The install's hand-over of the running monitors: each monitor that runs from the installed file
// is closed before the file is replaced or removed, and started again once the new file is in
// place, in its own session and as its own user. The installer runs it as LocalSystem.

#include <string>

// Asks every monitor that runs from installedPath to close, in its own session and as its own
// user, and ends by force what has not closed after a few seconds. With startAgain, the sessions
// and users are recorded first, for StartMonitorsAgain.
void CloseMonitors(const std::wstring& installedPath, bool startAgain);

// Starts installedPath in each recorded session that still has the recorded user and has no
// monitor running, with that user's own token; then forgets the record.
void StartMonitorsAgain(const std::wstring& installedPath);

// The program's command line, after its own name: "close PATH", "end PATH" (close, never to start
// again: a removal) or "start PATH". Returns the exit code: 0, or 2 for any other command line.
int RunHandover(int argumentCount, const wchar_t* const* arguments);
