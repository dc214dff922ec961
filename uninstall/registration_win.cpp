// Undoing the installer's registration: the uninstall entry and the active screen saver.
#include <windows.h>
#include "core/text.h"
#include "uninstall/own_folder.h"
#include "uninstall/path_rules.h"
#include "uninstall/uninstall.h"

enum UninstallEntryResult RemoveUninstallEntry(const char *title, const char *ownPath)
{
    char key[UninstallKeySize];
    if (!ComposeUninstallKey(title, key, sizeof key)) return UninstallEntryLeft;
    HKEY handle;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &handle);
    if (result == ERROR_FILE_NOT_FOUND) return UninstallEntryRemoved;
    if (result != ERROR_SUCCESS) return UninstallEntryLeft;
    // An entry that starts another program (or none) is not this installation's, whatever its name.
    char command[UninstallCommandSize] = "";
    DWORD type = 0, size = sizeof command - 1;
    result = RegQueryValueExA(handle, UninstallValueNames[UninstallStringIndex], NULL, &type, (BYTE *)command, &size);
    command[result == ERROR_SUCCESS && size < sizeof command ? size : 0] = 0;
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
        !UninstallEntryIsOwn(command, ownPath)) {
        RegCloseKey(handle);
        return UninstallEntryForeign;
    }
    int removed = 1;
    for (const char *name : UninstallValueNames) {
        LONG r = RegDeleteValueA(handle, name);
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) removed = 0;
    }
    // Values and subkeys that others put under the key are theirs: the key goes only when empty.
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyA(handle, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(handle);
    if (removed && subkeys == 0 && values == 0) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    return removed ? UninstallEntryRemoved : UninstallEntryLeft;
}

void ClearActiveScreenSaver(const RemovedSavers *savers)
{
    char active[PathSize];
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", active, sizeof active, "system.ini");
    if (active[0] == 0) return;
    for (unsigned i = 0; i < savers->count; i++) {
        if (SamePathText(active, savers->longPath[i]) || SamePathText(active, savers->shortPath[i])) {
            WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", NULL, "system.ini");
            return;
        }
    }
}
