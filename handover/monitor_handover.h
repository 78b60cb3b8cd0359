#pragma once
// The install's hand-over of the running monitors: each monitor that runs from the installed file
// is closed before the file is replaced or removed, and started again once the new file is in
// place, in its own session and as its own user. The installer runs it as LocalSystem, and it
// says every step in the install's own log.

#include <string>

// Asks every monitor that runs from installedPath to close, in its own session and as its own
// user, and ends by force what has not closed after a few seconds. With startAgain, any record an
// earlier install left is forgotten, and the sessions and users are recorded, for
// StartMonitorsAgain.
void CloseMonitors(const std::wstring& installedPath, bool startAgain);

// Starts installedPath in each recorded session that still has the recorded user and has no
// monitor running, with that user's own token; then forgets the record.
void StartMonitorsAgain(const std::wstring& installedPath);

// What the install hands its action: "close PATH", "end PATH" (close, never to start again: a
// removal) or "start PATH", the path in quotes. Returns false for anything else.
bool RunHandover(const std::wstring& command);
