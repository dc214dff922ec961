// The one build-time difference between installer.exe (2, interactive) and installer-quiet.exe.
#include "core/state.h"

volatile const uint32_t InstallMode = INSTALL_MODE;
