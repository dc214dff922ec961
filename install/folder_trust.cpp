// The rule for the folders of the data-folder chain; see folder_trust.h.
#include "install/folder_trust.h"

const struct FolderAce ChainFolderAces[ChainAceCount] = {
    {AceAllows, AccountSystem, RightsFullControl, AceObjectInherit | AceContainerInherit},
    {AceAllows, AccountAdministrators, RightsFullControl, AceObjectInherit | AceContainerInherit},
    {AceAllows, AccountUsers, RightsReadAndExecute, AceObjectInherit | AceContainerInherit},
};

// The owner of an object may always read and change its DACL, whatever the DACL says: it must be
// an administrator. The installing account counts as one, since it runs elevated.
static int AdministratorAccount(enum FolderAccount account)
{
    return account == AccountSystem || account == AccountAdministrators || account == AccountInstallingUser;
}

static int GrantsOthersChange(const struct FolderAce *ace)
{
    if (ace->kind == AceDenies) return 0;
    if (ace->kind == AceOtherKind) return 1;
    if (AdministratorAccount(ace->account) || ace->account == AccountCreatorOwner) return 0;
    return (ace->rights & RightsChangingAFolder) != 0;
}

enum FolderVerdict JudgeFolder(const struct FolderFacts *facts)
{
    if (!facts->directory || facts->reparsePoint) return FolderNotPlain;
    if (!facts->descriptorRead) return FolderUnknown;
    if (!AdministratorAccount(facts->owner)) return FolderForeignOwner;
    if (!facts->daclPresent) return FolderOpenToOthers;
    for (size_t i = 0; i < facts->aceCount; i++) {
        if (GrantsOthersChange(&facts->aces[i])) return FolderOpenToOthers;
    }
    return FolderTrusted;
}
