"""The Flash Player check after a normal installation: the registered player's FileVersion
against the fourth byte of the installed movie, and the message each outcome shows before the
notice and the start of the screen saver."""
import rig
from sequence_common import FLASH, INFO_OK, NOTICE_OK, PAGE, TITLE, payload, started

FINISHED = """
forbid class=#32770 caption="%s"
""" % FLASH + INFO_OK + """
wait class=#32770 text="Installation beendet!" timeout=60
record rect=no style=no
press "OK"
""" + NOTICE_OK

OUTDATED = """
forbid class=#32770 text="Installation beendet!"
""" + INFO_OK + """
wait class=#32770 caption="%s" text^="Der Bildschirmschoner wurde" timeout=60
record rect=no style=no
press "OK"
""" % FLASH + NOTICE_OK

MISSING = """
forbid class=#32770 text="Installation beendet!"
""" + INFO_OK + """
wait class=#32770 caption="%s" text^="Sie haben leider keinen" timeout=60
record rect=no style=no
press "Abbrechen"
""" % FLASH + NOTICE_OK


class FlashPlayer(rig.Scenario):
    def install(self, player, movie_version, script, expected, title=TITLE):
        p = self.prefix()
        if player:
            p.install_flash(player)
        exe = rig.pack(p.work + "/Sample.exe", title, payload(p, movie_version))
        r = p.run(exe, script, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        # Each message as the script recorded it, owned by the backdrop, then the notice.
        self.assertTranscript(r, expected)
        # The notice came (the script waited for it) and the screen saver was started after it.
        self.assertEqual(len(started(p)), 1, p.fixture_log())
        self.started = started(p)

    def test_player_9_and_a_movie_for_8_or_9_finish_with_message_d(self):
        for movie in (8, 9):
            with self.subTest(movie=movie):
                self.install("9", movie, FINISHED, "flash_finished")

    def test_player_9_and_a_movie_for_10_is_outdated(self):
        self.install("9", 10, OUTDATED, "flash_outdated")

    def test_a_movie_of_three_bytes_asks_for_nothing(self):
        # A title that is no 8.3 name: the screen saver starts by its short name all the same.
        self.install("9", None, FINISHED, "flash_finished_night_sky_2", title="Night Sky 2")
        self.assertRegex(self.started[0]["cmdline"], r"(?i)^C:\\WINDOWS\\[^\\ .]{1,8}\.SCR$")
        self.assertEqual(self.started[0]["args"], "")

    def test_file_version_with_dots_reads_its_leading_number(self):
        self.install("10", 10, FINISHED, "flash_finished")

    def test_file_version_starting_with_a_letter_counts_as_missing(self):
        self.install("letter", 9, MISSING, "flash_missing")

    def test_download_offer_that_cannot_open_the_page_shows_message_b(self):
        p = self.prefix()
        # No handler for web addresses: the download page cannot be opened.
        p.wine("reg", "delete", r"HKCR\http", "/f")
        exe = rig.pack(p.work + "/Sample.exe", TITLE, payload(p))
        r = p.run(exe, """
forbid class=#32770 text="Installation beendet!"
""" + INFO_OK + """
wait class=#32770 caption="%s" timeout=60
press "OK"
# fMask 0 lets the shell tell of the failure in a box of its own first.
wait class=#32770 caption="Fehler" timeout=20 optional
press "OK"
wait class=#32770 caption="%s" timeout=30
record rect=no style=no
press "OK"
""" % (FLASH, PAGE) + NOTICE_OK, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "flash_page_cannot_open")
        self.assertEqual(len(started(p)), 1)
