// What the exit code of the product's real installer, an Inno Setup
// installer, says: 0 is a completed installation, anything else a failed one.
#pragma once

#include <cstdint>

// Inno Setup's documented meaning of codes 0 to 8; any other code is named
// as undocumented.
const char* InnoSetupExitMeaning(uint32_t exitCode);
