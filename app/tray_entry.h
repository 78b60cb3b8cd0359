#pragma once
// The program's one notification-area entry and its two looks.

#include "platform/window_types.h"
#include "state/service_state.h"

// The callback message through which the shell reports mouse and keyboard events on the entry.
inline constexpr std::uint32_t kTrayCallback = kMsgUser + 1;

enum class Presentation { Running, Stopped };

Presentation PresentationFor(ServiceState state);

// Set once, before the first add: the window that owns the entry.
void AttachTrayEntry(WindowHandle window);

// Adds the entry in presentation, showing tip (cut to fit the record). An add the shell does not
// take is tried again, for some minutes at most, on the window's WM_TIMER (see RetryTrayEntry).
void AddTrayEntry(Presentation presentation, const wchar_t* tip);
// Adds the entry in presentation with that presentation's own tip.
void AddTrayEntry(Presentation presentation);
// Deletes the entry under the identifier it was added with, and tries no more to add it;
// harmless when it is not there.
void RemoveTrayEntry();
// Deletes the entry for good, as its window goes; later replaces and restores do nothing.
void DetachTrayEntry();
// Deletes the entry and adds it in presentation; the entry is never changed in place.
void ReplaceTrayEntry(Presentation presentation);
// Adds the entry again as it was last shown, for a shell that has lost it.
void RestoreTrayEntry();
// Tries again an add the shell did not take, deleting first; does nothing once the entry shows.
void RetryTrayEntry();

// Gives the keyboard focus back to the notification area, once a UI of the entry's has closed.
void GiveFocusToNotificationArea();

Presentation ShownPresentation();
