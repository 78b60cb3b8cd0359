#pragma once

// Carries out Restart (IDM_RESTART_AGENT) or Stop (IDM_STOP_AGENT) from the tray menu: tells the
// user the outcome and, on success, records the choice and switches the tray entry's look.
void RunAgentCommand(unsigned command);

// Whether a command is being carried out. Its message box runs a nested loop that still
// delivers tray clicks and commands.
bool AgentCommandInProgress();

// Brings the command's open message box to the front, for a user who lost it behind other windows.
void BringCommandBoxToFront();
