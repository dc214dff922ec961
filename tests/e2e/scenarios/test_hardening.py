"""What Windows does with the shipped programs before and beside their own code: the DLLs it loads
for them, and the run level their manifests ask for.

Windows looks for every DLL that is not one of its KnownDLLs in the program's own folder first,
and an installer is started from a download folder that anyone may write to. The programs import
KnownDLLs alone (the unit tests read their import tables) and load SHFOLDER.DLL and VERSION.DLL
from the system directory. Wine knows no KnownDLLs, and its own USER32 imports VERSION.DLL at
every start (Windows' does not) and calls it, so a DLL under either kind of name beside a program
says nothing about Windows here: the marker goes beside the installer as SHFOLDER.DLL, the one
name only the program itself asks for, and the system's copy must be the one that serves it."""
import os

import layout
import rig

TITLE = "Sample"


class Hardening(rig.Scenario):
    def test_a_planted_shfolder_dll_is_never_loaded(self):
        p = self.prefix()
        # Native first, as Windows searches a DLL that is not a KnownDLL: beside the program first.
        p.copy_in(rig.fixture("marker.dll"), r"C:\e2e\SHFOLDER.DLL")
        p.dll_overrides["shfolder"] = "n,b"
        p.install_flash("10")
        exe = rig.pack(p.work + "/setup.exe", TITLE, rig.sample_payload(p.work + "/payload"))
        r = p.run(exe, "answer timeout=60", timeout=90)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertEqual([l for l in p.fixture_log() if l["tag"] == "planted"], [])
        self.assertIn('  message: "Installation beendet!"', r.lines)
        # The system's SHFOLDER.DLL named the data folder: the installation is where it belongs.
        for path in layout.destinations(TITLE) + [layout.install_log(TITLE)]:
            self.assertTrue(p.exists(path), path)

    def test_each_program_asks_for_its_run_level(self):
        p = self.prefix()
        expected = {rig.INSTALLER: 3, rig.INSTALLER_QUIET: 3, rig.product("uninstall", "UNINSTAL.EXE"): 3,
                    rig.product("sample", "sample.scr"): 1, rig.product("sspack", "sspack.exe"): 1}
        for program, level in expected.items():
            with self.subTest(program=os.path.basename(program)):
                done = p.wine(rig.fixture("run_level.exe"), p.win(program))
                self.assertEqual(done.returncode, 0, done.stderr[-500:])
                # 1 asInvoker, 3 requireAdministrator; never uiAccess.
                self.assertEqual(done.stdout.decode().split(), ["level", str(level), "uiAccess", "0"])
