"""The sample screen saver under Wine: "/s" full screen until the mouse really moves or a key is
pressed, "/p" into a given window, "/c" (and no argument) its settings message."""
import glob
import os
import shutil
import subprocess
import threading
import time

import layout
import rig

SAVER = layout.screen_saver("Sample")
SAVER_CLASS = "SampleScreenSaverClass"


def distinct_colours(image, left, top, right, bottom, step=4):
    return {image.pixel(x, y) for x in range(left, right, step) for y in range(top, bottom, step)}


class SampleSaver(rig.Scenario):
    def setUp(self):
        self.p = self.prefix()
        self.p.copy_in(rig.product("sample", "sample.scr"), SAVER)

    def run_saver(self, args, script, timeout=40):
        return self.p.run(None, 'start "%s" -- %s\n%s\nend timeout=20\n' % (SAVER, args, script), timeout=timeout)

    def mouse_after_window(self, moves, then_after_xshot=None):
        """Moves the X pointer (xdotool) once the screen saver's window is on the display: each
        move is (dx, dy, seconds to wait before it), relative to the start point. then_after_xshot:
        (NAME, move): one more move once the robot's `xshot NAME` was taken, so that the robot's
        own checks come first however slowly it runs."""
        if not shutil.which("xdotool"):
            self.skipTest("xdotool is not installed")
        env = dict(os.environ, DISPLAY=rig.display())
        subprocess.run(["xdotool", "mousemove", "500", "400"], env=env, check=True)

        def move():
            deadline = time.time() + 30
            while time.time() < deadline:
                found = subprocess.run(["xdotool", "search", "--name", "^Sample$"], env=env, capture_output=True)
                if found.stdout.strip():
                    break
                time.sleep(0.2)
            for dx, dy, pause in moves:
                time.sleep(pause)
                subprocess.run(["xdotool", "mousemove", str(500 + dx), str(400 + dy)], env=env)
            if then_after_xshot:
                name, (dx, dy, pause) = then_after_xshot
                while time.time() < deadline + 30 and not glob.glob(os.path.join(self.p.out, "run*", "shots", name + ".png")):
                    time.sleep(0.1)
                time.sleep(pause)
                subprocess.run(["xdotool", "mousemove", str(500 + dx), str(400 + dy)], env=env)

        mover = threading.Thread(target=move, daemon=True)
        mover.start()
        self.addCleanup(mover.join, 40)

    def test_full_screen_ends_on_a_real_mouse_move(self):
        # Two tiny moves first, as Windows sends at the start: the screen saver stays.
        self.mouse_after_window([(2, 1, 1.0), (3, 2, 0.5)], then_after_xshot=("checked", (200, 150, 0.5)))
        r = self.run_saver("/s", """
wait class=%s caption="Sample" timeout=20
record style=no controls=no
shot first
sleep 700
shot later
sleep 1300
wait class=%s timeout=1
say still running after tiny moves
xshot checked
""" % (SAVER_CLASS, SAVER_CLASS))
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        # The whole screen, and still there after the tiny moves.
        self.assertTranscript(r, "sample_saver_full_screen")
        first, later = r.image("first"), r.image("later")
        self.assertGreater(len(distinct_colours(first, 0, 0, 1024, 768, 16)), 20)
        # It moves: the two pictures differ.
        self.assertNotEqual(first.row(300), later.row(300))
        # The title is drawn in the lower part: light pixels there.
        bright = [c for c in distinct_colours(first, 0, 450, 1024, 700, 2) if min(c) > 150]
        self.assertTrue(bright, "no title pixels")

    def test_full_screen_ends_on_a_key(self):
        r = self.run_saver("-S", """
wait class=%s timeout=20
sleep 500
key SPACE
""" % SAVER_CLASS)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)

    def test_preview_draws_into_the_given_window(self):
        host = rig.fixture("sample_preview_host.exe")
        r = self.p.run(host, """
wait class=SamplePreviewHostClass caption="Vorschau bereit" timeout=60
record style=no
shot preview
close
""", args=SAVER, timeout=40)
        self.assertRobotOk(r)
        # The host saw a painting child of the screen saver's class over its whole client area,
        # and the screen saver ended with its parent window (see tests/e2e/fixtures/preview_host.cpp).
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "sample_saver_preview")
        image = r.image("preview")
        colours = distinct_colours(image, 100, 100, 420, 340, 2)
        # Wine shows nothing that another process draws into a window; Windows shows the scene.
        if colours != {(255, 255, 255)}:
            self.assertGreater(len(colours), 20)
        self.assertEqual(distinct_colours(image, 0, 0, 90, 90), {image.pixel(0, 0)})  # nothing outside

    def test_settings_message(self):
        for args in ("/c", "/c:1234", ""):
            r = self.run_saver(args, """
wait class=#32770 caption="Sample" timeout=20
record rect=no style=no
press "OK"
""")
            self.assertRobotOk(r)
            self.assertEqual(r.exit_code, 0)
            self.assertTranscript(r, "sample_saver_settings")
