"""Where an installation lands in the rig's prefix: the screen saver, the data folder and its
files, INSTALL.LOG, the uninstall key and its values, system.ini. The scenarios, the reliability
driver and the demo take these names from here, so the installed layout is written out once.

Paths are as the installer composes them in a prefix whose Windows directory is C:\\windows and
whose common application-data folder is C:\\ProgramData; folders carry no closing backslash.
"""

WINDOWS = r"C:\windows"
SYSTEM_INI = WINDOWS + r"\system.ini"
APPLICATION_DATA = r"C:\ProgramData"
# Without SHFOLDER.DLL the application-data folder lies below the Windows directory; the
# installer makes both of these folders when they are missing, and they stay.
ALL_USERS = WINDOWS + r"\All Users"
FALLBACK_APPLICATION_DATA = ALL_USERS + r"\Application Data"
# The folders the installer makes below the application-data folder, publisher first; the
# uninstaller removes them again when they are empty.
PUBLISHER_FOLDER = APPLICATION_DATA + r"\Quilmark LLC"
PRODUCT_FOLDER = PUBLISHER_FOLDER + r"\Vistaworks"
FALLBACK_PUBLISHER_FOLDER = FALLBACK_APPLICATION_DATA + r"\Quilmark LLC"
FALLBACK_PRODUCT_FOLDER = FALLBACK_PUBLISHER_FOLDER + r"\Vistaworks"

UNINSTALLER = "UNINSTAL.EXE"
INSTALL_LOG = "INSTALL.LOG"
FIRST_EXTRA = "FILE0000.SWF"  # entry 3, the movie, when its extension is .SWF

# As the installer names it; a 32-bit program's HKLM\Software lies in the 64-bit prefix under
# Software\Wow6432Node (rig.Prefix's registry calls take that view by default).
UNINSTALL_SUBKEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
UNINSTALL_KEY = "HKLM\\" + UNINSTALL_SUBKEY
WOW64_NODE = "Wow6432Node"
# The seven values the installer writes under its key, lower-case as rig.Prefix.reg_values gives them.
UNINSTALL_VALUES = {"displayname", "uninstallstring", "installlocation", "displayicon", "publisher",
                    "versionmajor", "versionminor"}


def screen_saver(title):
    """The installed screen saver: entry 0's destination."""
    return WINDOWS + "\\" + title + ".scr"


def data_folder(title, fallback=False):
    """The data folder of a title; fallback: the one below the Windows directory."""
    return (FALLBACK_PRODUCT_FOLDER if fallback else PRODUCT_FOLDER) + "\\" + title


def destinations(title, folder=None):
    """Where the four entries of a payload (screen saver, data file, uninstaller, movie) go, in
    table order; folder: the data folder when not the usual one."""
    folder = folder or data_folder(title)
    return [screen_saver(title), folder + "\\" + title + ".dat", folder + "\\" + UNINSTALLER,
            folder + "\\" + FIRST_EXTRA]


def install_log(title, folder=None):
    return (folder or data_folder(title)) + "\\" + INSTALL_LOG


def uninstaller(title, folder=None):
    return (folder or data_folder(title)) + "\\" + UNINSTALLER


def uninstall_string(title, folder=None):
    """UninstallString as the installer registers it: the uninstaller's path in double quotes, so
    the system never runs a program named by the path's first words."""
    return '"%s"' % uninstaller(title, folder)


def uninstall_key(title):
    return UNINSTALL_KEY + "\\" + title
