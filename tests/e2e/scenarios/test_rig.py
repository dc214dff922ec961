"""The rig's own checks: the robot reads message boxes, presses, times out loudly; the fixtures
record how they were started; the prefix helpers reach what Wine reads."""
import struct

import rig


class RobotReadsMessageBoxes(rig.Scenario):
    def test_box_text_buttons_and_icon_and_the_answer(self):
        p = self.prefix()
        r = p.run(rig.fixture("msgbox.exe"), args='41 "Installation des Bildschirmschoners Sample" "Zeile eins\\nZeile zwei"',
                  script="""
wait class=#32770 caption^="Installation des Bildschirmschoners" text^="Zeile eins" timeout=20
record
xshot box
press "Abbrechen"
gone
""", timeout=30)
        self.assertRobotOk(r)
        self.assertTranscript(r, "rig_msgbox")
        self.assertEqual(r.exit_code, 2)  # IDCANCEL
        # The outside screenshot: a PNG of the whole display.
        with open(r.xshots["box"], "rb") as f:
            head = f.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", head[16:24]), rig.SCREEN)

    def test_each_icon_is_told_apart(self):
        p = self.prefix()
        script = []
        for style in ("10", "20", "30", "40", "0"):
            script.append('start "%s" -- %s "Box %s" "Text"' % (p.copy_in(rig.fixture("msgbox.exe"), r"C:\e2e\msgbox.exe"), style, style))
            script.append('wait class=#32770 caption="Box %s" timeout=20' % style)
            script.append("record controls=no rect=no style=no")
            script.append('press "OK"')
            script.append("end timeout=10")
        r = p.run(None, "\n".join(script))
        self.assertRobotOk(r)
        # error, question, exclamation, information, none: in the order of the boxes.
        self.assertTranscript(r, "rig_icons")


class RobotClosesAndSeesWindowsGo(rig.Scenario):
    def test_closed_box_is_waited_out_by_its_caption(self):
        p = self.prefix()
        r = p.run(rig.fixture("msgbox.exe"), """
forbid class=#32770 caption="Anders"
wait class=#32770 caption="Zu" timeout=20
close
gone class=#32770 caption="Zu" timeout=10
""", args='1 "Zu" "Schliessen"', timeout=30)
        self.assertRobotOk(r)
        self.assertTranscript(r, "rig_close_and_gone")


class RobotFailsClearly(rig.Scenario):
    def test_a_window_that_never_comes_fails_the_robot_with_the_reason(self):
        p = self.prefix()
        r = p.run(rig.fixture("fake_scr.scr"), "wait class=NoSuchClass timeout=1\n", timeout=20)
        self.assertEqual(r.robot_rc, 1)
        self.assertTranscript(r, "rig_fail_window_never_comes")

    def test_a_window_that_stays_fails_gone_even_after_a_key_was_sent_to_it(self):
        p = self.prefix()
        r = p.run(rig.fixture("msgbox.exe"), """
wait class=#32770 caption="Bleibt" timeout=20
key TAB
gone class=#32770 caption="Bleibt" timeout=1
""", args='1 "Bleibt" "Offen"', timeout=30)
        self.assertEqual(r.robot_rc, 1)
        self.assertTranscript(r, "rig_fail_window_stays")

    def test_a_forbidden_window_fails_the_robot_while_it_waits_for_the_end(self):
        p = self.prefix()
        msgbox = p.copy_in(rig.fixture("msgbox.exe"), r"C:\e2e\msgbox.exe")
        r = p.run(None, 'forbid class=#32770 text~="nicht"\nstart "%s" -- 0 "Box" "Das kommt nicht"\nend timeout=20\n' % msgbox)
        self.assertEqual(r.robot_rc, 1)
        self.assertTranscript(r, "rig_fail_forbidden")

    def test_a_program_that_does_not_end_is_ended_and_reported(self):
        p = self.prefix()
        r = p.run(rig.fixture("msgbox.exe"), 'wait class=#32770 caption="Stays" timeout=30\nend timeout=1\n',
                  args='0 "Stays" "Open"', timeout=40)
        self.assertEqual(r.robot_rc, 1)
        self.assertTranscript(r, "rig_fail_no_end")


class FixturesRecordTheirStart(rig.Scenario):
    def test_screen_saver_and_uninstaller_record_path_and_arguments(self):
        p = self.prefix()
        r = p.run(rig.fixture("fake_scr.scr"), "", args="/s")
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        r = p.run(rig.fixture("fake_uninstaller.exe"), "", args="/s", copy_to=r"C:\Program Files\Ein Ordner")
        self.assertRobotOk(r)
        log = p.fixture_log()
        self.assertEqual([(e["tag"], e["path"], e["args"]) for e in log], [
            ("scr", r"C:\e2e\fake_scr.scr", "/s"),
            ("uninstaller", r"C:\Program Files\Ein Ordner\fake_uninstaller.exe", "/s"),
        ])


class PrefixHelpers(rig.Scenario):
    def test_registered_player_is_what_wine_reads(self):
        p = self.prefix()
        p.install_flash("10", r"C:\flash\player.dll")
        self.assertEqual(p.reg_value(rig.FLASH_CLSID_KEY), r"C:\flash\player.dll")
        done = p.wine("reg", "query", rig.FLASH_CLSID_KEY, "/ve", "/reg:32")
        self.assertIn(r"C:\flash\player.dll", done.stdout.decode("cp1252", "replace"))
        self.assertTrue(p.exists(r"C:\FLASH\PLAYER.DLL"))

    def test_small_drive_c_has_the_free_space_asked_for_and_still_runs_programs(self):
        p = self.prefix()
        free = p.small_drive_c(512 * 1024)
        self.assertTrue(500 * 1024 <= free <= 530 * 1024, free)
        r = p.run(rig.fixture("fake_scr.scr"), "")
        self.assertRobotOk(r)
        self.assertEqual([e["tag"] for e in p.fixture_log()], ["scr"])
