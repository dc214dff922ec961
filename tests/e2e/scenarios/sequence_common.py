"""Shared pieces of the sequence scenarios: payloads, the windows of a whole installation and a
snapshot of everything an installation could leave in a prefix."""
import os

import layout
import rig

TITLE = "Sample"
CAPTION = "Installation des Bildschirmschoners %s" % TITLE
FLASH = "Den neuesten Flash Player installieren"
PAGE = "http://www.macromedia.com/go/getflashplayer"

INFO_OK = """
wait class=#32770 text^="Dieses Programm installiert" timeout=30
press "OK"
"""
NOTICE_OK = """
wait class=#32770 caption="Vistaworks Bestellinformation" timeout=60
record rect=no style=no
press "OK"
"""


def payload(p, movie_version=9, data_size=None, name="payload"):
    entries = rig.sample_payload(os.path.join(p.work, name), movie_version)
    if data_size:
        with open(entries[1], "wb") as f:
            f.write(bytes(range(256)) * (data_size // 256))
    return entries


def snapshot(p):
    """What an installation touches: the Windows directory's names, the data folders, the
    uninstall entries, system.ini and the fixture log."""
    return {
        "windows": sorted(n.lower() for n in p.listdir(layout.WINDOWS)),
        "data": p.exists(layout.PRODUCT_FOLDER) and p.tree(layout.PRODUCT_FOLDER),
        "alt-data": p.exists(layout.ALL_USERS) and p.tree(layout.ALL_USERS),
        "uninstall": p.reg_subkeys(layout.UNINSTALL_KEY),
        "system.ini": p.system_ini(),
        "log": p.fixture_log(),
    }


def installed(p, title=TITLE):
    return p.exists(layout.screen_saver(title)) and p.exists(layout.uninstaller(title))


def started(p, tag="scr"):
    return [e for e in p.fixture_log() if e["tag"] == tag]
