// System registration over the registry, the profile API and the folder lookup of SHFOLDER.DLL,
// which older systems may lack: the Windows directory's All Users folder stands in for it.
#include <string.h>
#include <windows.h>
#include "core/fatal.h"
#include "core/installer_texts.h"
#include "core/state.h"
#include "core/system_win.h"
#include "core/text.h"
#include "install/folder_trust.h"
#include "install/registration.h"
#include "install/uninstall_values.h"

static_assert(ValueText == REG_SZ && ValueExpandText == REG_EXPAND_SZ && ValueNumber == REG_DWORD,
              "the composed values carry the registry's own type numbers");

static LONG OpenUninstallKey(HKEY *key, DWORD *disposition)
{
    char name[UninstallKeySize];
    if (!ComposeUninstallKey(ScreenSaverTitle, name, sizeof name)) return ERROR_INVALID_NAME;
    char noClass[] = "";
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, noClass, 0, KEY_ALL_ACCESS, NULL, key, disposition);
}

// What this run made before its first entry: the probe's key when it was new, and each folder of
// the data folder's chain that did not exist. A stop before the first entry takes them away again.
static int CreatedUninstallKey;
enum { DataFolderLevels = 5 };  // All Users, Application Data, vendor, product, title
static char CreatedFolders[DataFolderLevels][PathSize];
static int CreatedFolderCount;

int CheckUninstallAccess(void)
{
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG result = OpenUninstallKey(&key, &disposition);
    if (result == ERROR_ACCESS_DENIED) {
        MessageBoxA(NULL, AccessDeniedText, FatalCaption, MB_OK);
        return 0;
    }
    if (result == ERROR_SUCCESS) {
        CreatedUninstallKey = disposition == REG_CREATED_NEW_KEY;
        RegCloseKey(key);
    }
    return 1;
}

int SetScreenSaverPath(void)
{
    char windows[PathSize];
    QueryWindowsDirectory(windows, sizeof windows);
    return ComposeScreenSaverPath(windows, ScreenSaverFile, ScreenSaverPath, sizeof ScreenSaverPath);
}

// The first folder of the chain that administrators alone cannot change; nothing below it is
// created or judged, so nothing is ever written behind it.
static char RefusedFolder[PathSize];

static void CreateChainLevel(const char *path)
{
    if (RefusedFolder[0]) return;
    int made = CreateChainFolder(path);
    if (made == ChainFolderRefused) CopyText(RefusedFolder, sizeof RefusedFolder, path);
    // What this run made, so that a stop before the first entry can take it back.
    if (made == ChainFolderCreated && CreatedFolderCount < DataFolderLevels)
        CopyText(CreatedFolders[CreatedFolderCount++], PathSize, path);
}

int CreateDataFolder(void)
{
    char base[PathSize];
    char windows[PathSize];
    QueryCommonAppData(base, sizeof base);
    QueryWindowsDirectory(windows, sizeof windows);
    int fit = ComposeDataFolder(base, windows, ScreenSaverTitle, CreateChainLevel, DataFolder, sizeof DataFolder);
    // Another user could replace what is written there, UNINSTAL.EXE included, which Settings
    // starts with administrator rights later: stop before the first file.
    if (RefusedFolder[0]) FatalStop(FatalForeignFolder, RefusedFolder);
    return fit;
}

void RemoveWhatWasCreated(void)
{
    // Deepest first; a folder that holds anything (another title's data) is kept by the system.
    while (CreatedFolderCount > 0) RemoveDirectoryA(CreatedFolders[--CreatedFolderCount]);
    char name[UninstallKeySize];
    if (CreatedUninstallKey && ComposeUninstallKey(ScreenSaverTitle, name, sizeof name))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, name);
    CreatedUninstallKey = 0;
}

void WriteUninstallValues(const char *uninstallerPath)
{
    HKEY key;
    DWORD disposition;
    if (OpenUninstallKey(&key, &disposition) != ERROR_SUCCESS) return;
    static UninstallValues values;
    ComposeUninstallValues(ScreenSaverTitle, uninstallerPath, ScreenSaverPath, &values);
    for (const UninstallValue &v : values.value)
        RegSetValueExA(key, v.name, 0, v.type, (const BYTE *)v.data, v.size);
    RegCloseKey(key);
}

void ActivateScreenSaver(void)
{
    char shortPath[PathSize];
    DWORD n = GetShortPathNameA(ScreenSaverPath, shortPath, sizeof shortPath);
    // Without a short form the long path is the best name the profile can get.
    if (n == 0 || n >= sizeof shortPath) CopyText(shortPath, sizeof shortPath, ScreenSaverPath);
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", shortPath, "system.ini");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_UPDATEINIFILE);
}
