#include "app/agent_commands.h"

void RunAgentCommand(unsigned /*command*/) {}
