#include "install/InstallerExitCode.h"

const char* InnoSetupExitMeaning(uint32_t exitCode) {
  switch (exitCode) {
    case 0: return "the installation completed";
    case 1: return "Setup failed to initialise";
    case 2: return "the installation was cancelled before it started";
    case 3: return "a fatal error occurred while Setup moved to the next phase of the installation";
    case 4: return "a fatal error occurred during the installation";
    case 5: return "the installation was cancelled or aborted while it ran";
    case 6: return "Setup was terminated from a debugger";
    case 7: return "Setup found before installing that it cannot go on";
    case 8: return "Setup found before installing that it cannot go on until the system restarts";
    default: return "an exit code Inno Setup does not document";
  }
}
