#pragma once

// Carries out Restart (IDM_RESTART_AGENT) or Stop (IDM_STOP_AGENT) from the tray menu.
void RunAgentCommand(unsigned command);
