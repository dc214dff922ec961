// The folders of the data-folder chain: which ones the installer writes into, judged from what the
// system reports (attributes, owner, DACL), and the DACL it gives the ones it creates. Wine keeps
// no security descriptors, so these decisions are shown here and not under Wine.
#include <gtest/gtest.h>
#include <vector>
#include "install/folder_trust.h"

namespace {

const uint32_t Inherited = AceObjectInherit | AceContainerInherit;

struct Case {
    const char *what;
    int directory, reparsePoint, descriptorRead;
    FolderAccount owner;
    int daclPresent;
    std::vector<FolderAce> aces;
    FolderVerdict verdict;
};

FolderVerdict Judge(const Case &c)
{
    FolderFacts facts = {c.directory, c.reparsePoint, c.descriptorRead, c.owner, c.daclPresent,
                         c.aces.data(), c.aces.size()};
    return JudgeFolder(&facts);
}

TEST(ChainFolder, OnlyFoldersAdministratorsAloneCanChangeAreWrittenInto)
{
    const std::vector<FolderAce> chain(ChainFolderAces, ChainFolderAces + ChainAceCount);
    const FolderAce system = {AceAllows, AccountSystem, RightsFullControl, Inherited};
    const FolderAce admins = {AceAllows, AccountAdministrators, RightsFullControl, Inherited};
    const FolderAce creatorOwner = {AceAllows, AccountCreatorOwner, RightsFullControl, Inherited};
    const FolderAce usersRead = {AceAllows, AccountUsers, RightsReadAndExecute, Inherited};
    auto others = [](uint32_t rights) { return FolderAce{AceAllows, AccountOther, rights, 0}; };
    auto with = [&](std::vector<FolderAce> aces, FolderAce more) {
        aces.push_back(more);
        return aces;
    };
    const Case cases[] = {
        // What the installer creates passes its own check on a repair run, whoever owns it.
        {"the chain's own DACL", 1, 0, 1, AccountAdministrators, 1, chain, FolderTrusted},
        {"... owned by the installing account", 1, 0, 1, AccountInstallingUser, 1, chain, FolderTrusted},
        {"... owned by SYSTEM", 1, 0, 1, AccountSystem, 1, chain, FolderTrusted},
        {"... with CREATOR OWNER for what is created inside", 1, 0, 1, AccountAdministrators, 1,
         with(chain, creatorOwner), FolderTrusted},
        // Made by a standard user in the common application-data folder, which lets everyone create.
        {"owned by another user", 1, 0, 1, AccountOther, 1, chain, FolderForeignOwner},
        {"owned by the Users group", 1, 0, 1, AccountUsers, 1, chain, FolderForeignOwner},
        // What a folder made there without a DACL of its own inherits: Users may add files and folders.
        {"inherited from the application-data folder", 1, 0, 1, AccountAdministrators, 1,
         {system, admins, creatorOwner, usersRead, {AceAllows, AccountUsers, 0x116, AceContainerInherit}},
         FolderOpenToOthers},
        // Wine's view of every folder: its user and SYSTEM in full, everyone reading.
        {"as Wine reports a folder", 1, 0, 1, AccountInstallingUser, 1,
         {system, {AceAllows, AccountInstallingUser, RightsFullControl, Inherited}, others(RightsReadAndExecute)},
         FolderTrusted},
        {"a NULL DACL", 1, 0, 1, AccountAdministrators, 0, {}, FolderOpenToOthers},
        {"an empty DACL", 1, 0, 1, AccountAdministrators, 1, {}, FolderTrusted},
        {"others may add a file", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x2)), FolderOpenToOthers},
        {"others may add a folder", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x4)), FolderOpenToOthers},
        {"others may delete inside", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x40)), FolderOpenToOthers},
        {"others may delete or rename it", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x10000)),
         FolderOpenToOthers},
        {"others may change its DACL", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x40000)),
         FolderOpenToOthers},
        {"others may take it over", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x80000)),
         FolderOpenToOthers},
        {"others have GENERIC_WRITE", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x40000000)),
         FolderOpenToOthers},
        {"others have GENERIC_ALL", 1, 0, 1, AccountAdministrators, 1, with(chain, others(0x10000000)),
         FolderOpenToOthers},
        {"others granted write only to what is created inside", 1, 0, 1, AccountAdministrators, 1,
         with(chain, FolderAce{AceAllows, AccountUsers, 0x2, AceObjectInherit}), FolderOpenToOthers},
        {"others denied everything", 1, 0, 1, AccountAdministrators, 1,
         with(chain, FolderAce{AceDenies, AccountOther, RightsFullControl, 0}), FolderTrusted},
        {"an entry of an unknown kind", 1, 0, 1, AccountAdministrators, 1,
         with(chain, FolderAce{AceOtherKind, AccountOther, 0, 0}), FolderOpenToOthers},
        // A link or junction: the descriptor that counts is behind it, and anyone chose the target.
        {"a link in place of the folder", 1, 1, 1, AccountAdministrators, 1, chain, FolderNotPlain},
        {"a file in place of the folder", 0, 0, 1, AccountAdministrators, 1, chain, FolderNotPlain},
        {"a descriptor that cannot be read", 1, 0, 0, AccountAdministrators, 1, chain, FolderUnknown},
    };
    for (const Case &c : cases) EXPECT_EQ(Judge(c), c.verdict) << c.what;
}

TEST(ChainFolder, ItsDaclReachesEverythingCreatedInside)
{
    // The files and folders made inside inherit the protection: none of them is left to the DACL
    // its parent would hand down, nor one that Users could change.
    for (const FolderAce &ace : ChainFolderAces) {
        EXPECT_EQ(ace.inheritance, Inherited) << ace.account;
        EXPECT_EQ(ace.kind, AceAllows) << ace.account;
        if (ace.account == AccountUsers) {
            EXPECT_EQ(ace.rights & RightsChangingAFolder, 0u);
        }
    }
}

}  // namespace
