"""Shared pieces of the sequence scenarios: payloads, the windows of a whole installation and a
snapshot of everything an installation could leave in a prefix."""
import os

import rig

TITLE = "Sample"
CAPTION = "Installation des Bildschirmschoners %s" % TITLE
DATA = r"C:\ProgramData\Quilmark LLC\Vistaworks"
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
        "windows": sorted(n.lower() for n in p.listdir(r"C:\windows")),
        "data": p.exists(DATA) and p.tree(DATA),
        "alt-data": p.exists(r"C:\windows\All Users") and p.tree(r"C:\windows\All Users"),
        "uninstall": p.reg_subkeys(rig.UNINSTALL_KEY),
        "system.ini": p.system_ini(),
        "log": p.fixture_log(),
    }


def installed(p, title=TITLE):
    return p.exists(r"C:\windows\%s.scr" % title) and p.exists(DATA + "\\" + title + r"\UNINSTAL.EXE")


def started(p, tag="scr"):
    return [e for e in p.fixture_log() if e["tag"] == tag]
