// The one build-time difference between installer.exe (InteractiveMode) and installer-quiet.exe
// (QuietMode): app/CMakeLists.txt names the value.
#include "core/state.h"

volatile const uint32_t InstallMode = INSTALL_MODE;
