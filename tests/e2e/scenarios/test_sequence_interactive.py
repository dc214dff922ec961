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
            cls.size = sum(os.path.getsize(e) for e in entries)
            exe = rig.pack(os.path.join(cls.p.work, "Sample-Setup.exe"), TITLE + "  ", entries)
            cls.r = cls.p.run(exe, SCRIPT, timeout=120)
            cls.log = cls.p.fixture_log()
            cls.scr_exists = cls.p.exists(layout.screen_saver(TITLE))
        finally:
            cls.p.close()

    def setUp(self):
        self.assertRobotOk(self.r)

    def test_transcript_of_every_window(self):
        self.assertTranscript(self.r, "sequence_interactive")
        self.assertEqual(self.r.exit_code, 0)

    def test_information_message_names_directory_in_capitals_and_size_grouped(self):
        box = self.r.section('window class=#32770 caption="%s"' % CAPTION)
        self.assertIn('  owner: class=VistaworksInstallClass caption="Sample  "', box)
        message = "Dieses Programm installiert Sample Bildschirmschoner nach C:\\\\WINDOWS und macht diesen zu " \
                  "Ihrem Standard-Bildschirmschoner. Die Installation benötigt %s Byte." % "{:,}".format(self.size)
        self.assertIn('  message: "%s"' % message, box)
        self.assertIn('  buttons: "OK" "Abbrechen"', box)
        self.assertIn("  icon: information", box)

    def test_message_a_quotes_the_download_page_and_cancel(self):
        box = self.r.section('window class=#32770 caption="Den neuesten Flash Player installieren"')
        self.assertIn('  owner: class=VistaworksInstallClass caption="Sample  "', box)
        self.assertIn('  buttons: "OK" "Abbrechen"', box)
        self.assertIn("  icon: none", box)
        message = next(l for l in box if l.startswith("  message: "))
        self.assertIn('Version von \\"http://www.macromedia.com/go/getflashplayer\\" herunterzuladen.', message)
        self.assertIn('klicken Sie jetzt bitte auf \\"Abbrechen\\".\\r\\n\\r\\nMacromedia Flash ist ein eingetragenes '
                      'Warenzeichen der Macromedia, Inc."', message)

    def test_notice_centred_on_the_screen(self):
        box = self.r.section('window class=#32770 caption="Vistaworks Bestellinformation"')
        self.assertIn('  owner: class=VistaworksInstallClass caption="Sample  "', box)
        screen = next(l for l in self.r.lines if l.startswith("screen "))
        w, h = (int(v) for v in screen.split()[1].split("x"))
        left, top, right, bottom = (int(v) for v in next(l for l in box if l.startswith("  rect: ")).split()[1:])
        self.assertLessEqual(abs((left + right) - w), 1)
        self.assertLessEqual(abs((top + bottom) - h), 1)

    def test_screen_saver_started_by_its_short_path_without_arguments(self):
        self.assertTrue(self.scr_exists)
        started = [e for e in self.log if e["tag"] == "scr"]
        self.assertEqual(len(started), 1, self.log)
        self.assertEqual(started[0]["args"], "")
        self.assertEqual(started[0]["cmdline"].upper(), r"C:\WINDOWS\SAMPLE.SCR")
        self.assertFalse([e for e in self.log if e["tag"] == "uninstaller"])
