/* Test stand-in for a locked-down system: creates a key under HKEY_LOCAL_MACHINE and gives it a
   security descriptor that denies everyone write access, for the rest of the Wine session.
   Usage: deny_key.exe KEY  (exit code 0 when the key is locked, 1 otherwise) */
#include <windows.h>

int main(int argc, char **argv)
{
    HKEY key;
    if (argc != 2 ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 1;
    SID_IDENTIFIER_AUTHORITY world = {SECURITY_WORLD_SID_AUTHORITY};
    PSID everyone;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return 1;
    DWORD aclBuffer[64];
    PACL acl = (PACL)aclBuffer;
    SECURITY_DESCRIPTOR sd;
    int locked = InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
                 AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC, everyone) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone) &&
                 InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
                 RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    RegCloseKey(key);
    FreeSid(everyone);
    HKEY probe;
    if (locked && RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, NULL, 0, KEY_ALL_ACCESS, NULL, &probe, NULL) ==
                      ERROR_SUCCESS) {
        RegCloseKey(probe);
        locked = 0;
    }
    return locked ? 0 : 1;
}
