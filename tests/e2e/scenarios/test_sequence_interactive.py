"""The whole interactive installation in a plain prefix (no Flash Player registered): the
information message with the upper-case Windows directory and the grouped size, the progress
dialog, message A, the notice dialog centred on the screen, and the installed screen saver
started by its short path without arguments; message D never comes."""
import os

import layout
import rig

TITLE = "Sample"
CAPTION = "Installation des Bildschirmschoners Sample"

SCRIPT = """
forbid class=#32770 text="Installation beendet!"
wait class=VistaworksInstallClass timeout=30
wait class=#32770 text^="Dieses Programm installiert" timeout=20
record
press "OK"
wait class=#32770 caption="%(caption)s" text="Bitte warten..." timeout=20
wait class=#32770 caption="Den neuesten Flash Player installieren" timeout=60
record
press "Abbrechen"
wait class=#32770 caption="Vistaworks Bestellinformation" timeout=20
screen
record
press "OK"
end timeout=30
""" % {"caption": CAPTION}


def big_payload(folder, data_size=12 * 1024 * 1024, movie_version=9):
    """The sample payload with a data file large enough to keep the progress dialog up a while."""
    entries = rig.sample_payload(folder, movie_version)
    with open(entries[1], "wb") as f:
        f.write(bytes(range(256)) * (data_size // 256))
    return entries


class InteractiveSequence(rig.Scenario):
    @classmethod
    def setUpClass(cls):
        cls.p = rig.Prefix("InteractiveSequence")
        try:
            entries = big_payload(os.path.join(cls.p.work, "payload"))
            exe = rig.pack(os.path.join(cls.p.work, "Sample-Setup.exe"), TITLE + "  ", entries)
            cls.r = cls.p.run(exe, SCRIPT, timeout=120)
            cls.log = cls.p.fixture_log()
            cls.scr_exists = cls.p.exists(layout.screen_saver(TITLE))
        finally:
            cls.p.close()

    def setUp(self):
        self.assertRobotOk(self.r)

    def test_transcript_of_every_window(self):
        # Every window owned by the backdrop: the information message with the upper-case
        # Windows directory and the size grouped, message A quoting the download page, the
        # notice centred on the screen.
        self.assertTranscript(self.r, "sequence_interactive")
        self.assertEqual(self.r.exit_code, 0)

    def test_screen_saver_started_by_its_short_path_without_arguments(self):
        self.assertTrue(self.scr_exists)
        started = [e for e in self.log if e["tag"] == "scr"]
        self.assertEqual(len(started), 1, self.log)
        self.assertEqual(started[0]["args"], "")
        self.assertEqual(started[0]["cmdline"].upper(), r"C:\WINDOWS\SAMPLE.SCR")
        self.assertFalse([e for e in self.log if e["tag"] == "uninstaller"])
