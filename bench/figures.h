#pragma once
// The figures the driver measures; each reports its observations through samples.h.

#include <string>

// How long the driver takes to see a tray icon that its own Shell_NotifyIconW call added: what
// watching the screen adds to the start-up figure.
void MeasureTrayObservation(int runs);

// From CreateProcess to the program's icon in the notification area, monitor and floor in turn,
// after one unrecorded start of each.
void MeasureStartup(int runs);

// Processor time over idleMilliseconds after start-up, and private memory at its end, with the
// monitor and the floor running side by side.
void MeasureIdle(int runs, unsigned idleMilliseconds);

// From posting the Stop command to the monitor's hidden window until its message box shows, with
// agentCount stand-in agents running; the box is then answered with OK.
void MeasureStopCommand(const char* figure, int agentCount, int runs);

// The same observation of a program that shows the box after a known pause.
void MeasureReferenceBox(const char* figure, unsigned pauseMilliseconds, int runs);

// A silent upgrade (upgrade, the upgrade-check package) over the monitor started from a fresh
// install of package: from its icon going to the new monitor's icon, and the whole upgrade.
void MeasureUpgrade(const std::wstring& package, const std::wstring& upgrade, int runs);
