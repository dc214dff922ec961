// The data-folder chain on Windows: each folder created with the protected DACL of folder_trust.h,
// or, where one is there already, its attributes, owner and DACL read and judged before anything is
// written into it.
#include <windows.h>
#include <aclapi.h>
#include "install/folder_trust.h"

enum { AclBufferSize = 512, TokenUserSize = 256, MaxJudgedAces = 64 };

static int AccountSid(enum FolderAccount account, BYTE *sid, DWORD size)
{
    WELL_KNOWN_SID_TYPE type = account == AccountSystem           ? WinLocalSystemSid
                               : account == AccountAdministrators ? WinBuiltinAdministratorsSid
                                                                  : WinBuiltinUsersSid;
    return CreateWellKnownSid(type, NULL, sid, &size);
}

// The descriptor of ChainFolderAces; the owner is left to the system (Administrators for an
// elevated installer).
static int ComposeChainDescriptor(SECURITY_DESCRIPTOR *descriptor, ACL *acl)
{
    if (!InitializeAcl(acl, AclBufferSize, ACL_REVISION)) return 0;
    for (const FolderAce &ace : ChainFolderAces) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        if (!AccountSid(ace.account, sid, sizeof sid) ||
            !AddAccessAllowedAceEx(acl, ACL_REVISION, ace.inheritance, ace.rights, sid))
            return 0;
    }
    return InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// The account this process runs as; NULL when the token cannot be read (then no owner counts as it).
static PSID InstallingUser(void)
{
    static DWORD buffer[TokenUserSize / sizeof(DWORD)];
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return NULL;
    DWORD size = 0;
    BOOL read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    return read ? ((TOKEN_USER *)buffer)->User.Sid : NULL;
}

static enum FolderAccount AccountOf(PSID sid, PSID installingUser)
{
    if (!sid || !IsValidSid(sid)) return AccountOther;
    if (IsWellKnownSid(sid, WinLocalSystemSid)) return AccountSystem;
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return AccountAdministrators;
    if (IsWellKnownSid(sid, WinCreatorOwnerSid)) return AccountCreatorOwner;
    if (IsWellKnownSid(sid, WinBuiltinUsersSid)) return AccountUsers;
    if (installingUser && EqualSid(sid, installingUser)) return AccountInstallingUser;
    return AccountOther;
}

static enum FolderAceKind AceKindOf(BYTE type)
{
    if (type == ACCESS_ALLOWED_ACE_TYPE) return AceAllows;
    if (type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
        type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE)
        return AceDenies;
    return AceOtherKind;
}

// Reads the DACL's entries into aces; 0 when it cannot, or holds more than the rule looks at.
static int ReadAces(ACL *dacl, PSID installingUser, FolderAce *aces, size_t *count)
{
    ACL_SIZE_INFORMATION size;
    if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation) || size.AceCount > MaxJudgedAces) return 0;
    for (DWORD i = 0; i < size.AceCount; i++) {
        ACE_HEADER *header;
        if (!GetAce(dacl, i, (void **)&header)) return 0;
        FolderAce ace = {AceKindOf(header->AceType), AccountOther, 0, 0};
        if (ace.kind == AceAllows) {
            ACCESS_ALLOWED_ACE *allowed = (ACCESS_ALLOWED_ACE *)header;
            ace.account = AccountOf((PSID)&allowed->SidStart, installingUser);
            ace.rights = allowed->Mask;
        }
        aces[i] = ace;
    }
    *count = size.AceCount;
    return 1;
}

static enum FolderVerdict JudgeExistingFolder(const char *path, DWORD attributes)
{
    FolderAce aces[MaxJudgedAces];
    FolderFacts facts = {};
    facts.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.aces = aces;
    // A link is judged by its attributes alone: reading its descriptor would follow it.
    if (facts.directory && !facts.reparsePoint) {
        PSID owner = NULL;
        ACL *dacl = NULL;
        PSECURITY_DESCRIPTOR descriptor = NULL;
        if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, NULL, &dacl, NULL, &descriptor) == ERROR_SUCCESS) {
            PSID installingUser = InstallingUser();
            facts.owner = AccountOf(owner, installingUser);
            facts.daclPresent = dacl != NULL;
            facts.descriptorRead = !dacl || ReadAces(dacl, installingUser, aces, &facts.aceCount);
        }
        if (descriptor) LocalFree(descriptor);
    }
    return JudgeFolder(&facts);
}

int CreateChainFolder(const char *path)
{
    static DWORD aclBuffer[AclBufferSize / sizeof(DWORD)];
    SECURITY_DESCRIPTOR descriptor;
    // Without its descriptor a new folder would inherit what its parent hands down, and under the
    // common application-data folder that lets every user add files: refused like such a folder.
    if (!ComposeChainDescriptor(&descriptor, (ACL *)aclBuffer)) return ChainFolderRefused;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    if (CreateDirectoryA(path, &attributes)) return ChainFolderCreated;  // new, and administrators' alone
    DWORD found = GetFileAttributesA(path);
    if (found == INVALID_FILE_ATTRIBUTES) return ChainFolderUsable;  // nothing there: the writes into it fail and stop
    return JudgeExistingFolder(path, found) == FolderTrusted ? ChainFolderUsable : ChainFolderRefused;
}
