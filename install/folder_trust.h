// Which folders of the data-folder chain (...\Quilmark LLC\Vistaworks\<title>) the installer may
// write into: only folders that administrators alone can change. Portable, from what the system
// reports about a folder, so the rule is tested on the host; the queries are in folder_trust_win.cpp.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The accounts an access-control entry or an owner can name, as far as the rule tells them apart.
enum FolderAccount {
    AccountOther = 0,        // anyone else: Users, Everyone, Authenticated Users, a standard user, ...
    AccountSystem,           // SYSTEM
    AccountAdministrators,   // the Administrators group
    AccountInstallingUser,   // the account this elevated installer runs as
    AccountCreatorOwner,     // in an inheritable entry: whoever creates the child (here the installer)
    AccountUsers,            // the Users group: read and execute in the descriptor the installer sets
};

enum FolderAceKind { AceAllows, AceDenies, AceOtherKind };

// Inheritance flags and rights, with the system's values.
enum {
    AceObjectInherit = 0x1,
    AceContainerInherit = 0x2,
    RightsFullControl = 0x1F01FF,      // FILE_ALL_ACCESS
    RightsReadAndExecute = 0x1200A9,   // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
    // What lets a holder put, replace, remove or rename something in a folder, or take the folder
    // over: add file, add subfolder, write extended attributes and attributes, delete child,
    // DELETE, WRITE_DAC, WRITE_OWNER, and the generic rights that include them.
    RightsChangingAFolder = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000,
};

struct FolderAce {
    enum FolderAceKind kind;
    enum FolderAccount account;
    uint32_t rights;
    uint32_t inheritance;  // AceObjectInherit | AceContainerInherit
};

// What the system reports about an existing folder.
struct FolderFacts {
    int directory;        // a folder at all (FILE_ATTRIBUTE_DIRECTORY)
    int reparsePoint;     // a link or junction (FILE_ATTRIBUTE_REPARSE_POINT)
    int descriptorRead;   // owner and DACL could be read
    enum FolderAccount owner;
    int daclPresent;      // 0: a NULL DACL, which grants everyone everything
    const struct FolderAce *aces;
    size_t aceCount;
};

enum FolderVerdict {
    FolderTrusted = 0,
    FolderNotPlain,        // a link, a junction or not a folder: what lies behind it is anyone's choice
    FolderUnknown,         // its owner and DACL cannot be read
    FolderForeignOwner,    // owned by someone who is not an administrator
    FolderOpenToOthers,    // someone who is not an administrator may change what is in it
};

// The verdict on a folder found in place of one of the chain. Deny entries only take rights
// away, so they are not counted; inheritable entries count too, because what the installer
// creates inside inherits them. An entry of a kind the rule does not know counts as open.
enum FolderVerdict JudgeFolder(const struct FolderFacts *facts);

// The DACL a folder of the chain is created with: protected from inheriting, SYSTEM and
// Administrators full control, Users read and execute, each for the folder and everything in it.
enum { ChainAceCount = 3 };
extern const struct FolderAce ChainFolderAces[ChainAceCount];

// ---- Windows (folder_trust_win.cpp) ---------------------------------------------------------------
// Creates one folder of the chain with the DACL above, or judges the folder already there.
// ChainFolderCreated when this call made it; ChainFolderUsable when the installer may write into
// the one there (or nothing is there and nothing could be created: the writes that follow fail and
// stop the installation as before); ChainFolderRefused when the folder is refused.
enum { ChainFolderRefused = 0, ChainFolderUsable = 1, ChainFolderCreated = 2 };
int CreateChainFolder(const char *path);
