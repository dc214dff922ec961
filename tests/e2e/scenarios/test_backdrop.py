"""The backdrop: a borderless window over the work area with the title as its text, painted in
a blue gradient with a white frame and the heading over its shadow; then the program goes on by
itself (to its information message, which is cancelled here) and ends with exit code 2."""
import os

import rig

SCRIPT = """
screen
wait class=VistaworksInstallClass timeout=30
record
shot backdrop still
wait class=#32770 text^="Dieses Programm installiert" timeout=10 orexit
record rect=no style=no
press "Abbrechen"
"""

WHITE, BLACK = (255, 255, 255), (0, 0, 0)


def band_colour(y, height):
    """The blue of the gradient band that holds row y."""
    k = next(k for k in range(256) if (k * height) // 256 <= y < ((k + 1) * height) // 256)
    return (0, 0, 255 if k == 0 else 256 - k)


class Backdrop(rig.Scenario):
    # One run serves every check of the class.
    @classmethod
    def setUpClass(cls):
        cls.p = rig.Prefix("Backdrop")
        try:
            entries = rig.sample_payload(os.path.join(cls.p.work, "payload"))
            installer = rig.pack(os.path.join(cls.p.work, "Sample-Setup.exe"), "Sample  ", entries)
            cls.p.reg_set(r"HKEY_CURRENT_USER\Control Panel\Desktop", "FontSmoothing", "2")
            cls.r = cls.p.run(installer, SCRIPT, timeout=60)
            cls.smoothing_after = cls.p.reg_value(r"HKEY_CURRENT_USER\Control Panel\Desktop", "FontSmoothing")
        finally:
            cls.p.close()

    def setUp(self):
        self.assertRobotOk(self.r)

    def test_transcript_of_the_backdrop_and_the_cancelled_information(self):
        # The backdrop covers the work area with the title as its text; the information message
        # that follows belongs to it, and "Abbrechen" ends the program.
        self.assertTranscript(self.r, "backdrop_sample")
        self.assertEqual(self.r.exit_code, 2)  # the information message cancelled

    def test_gradient_frame_and_heading(self):
        self.check_gradient(self.r)
        # Font smoothing was on before the run: each paint switches it off and back on.
        self.assertEqual(self.smoothing_after, "2")

    def check_gradient(self, r):
        self.assertRobotOk(r)
        img = r.image("backdrop")
        w, h = img.width, img.height
        for y in (0, 1, h - 2, h - 1):
            self.assertEqual(set(img.row(y)), {WHITE}, "row %d" % y)
        for y in range(2, h - 2):
            self.assertEqual(img.pixel(w - 10, y), band_colour(y, h), "row %d of %d" % (y, h))
        if h >= 256:
            self.assertEqual(set(img.row(h - 3, 2, w - 2)), {(0, 0, 1)})
        self.check_heading(img, w, h)

    def test_bands_on_screens_whose_height_is_no_multiple_of_256(self):
        # A virtual desktop of the prefix gives the backdrop another work area: 600 rows, and
        # 200 rows, where some bands have no height at all.
        for size in ("800x600", "640x200"):
            with self.subTest(size=size):
                p = rig.Prefix("Backdrop" + size)
                try:
                    p.reg_set(r"HKEY_CURRENT_USER\Software\Wine\Explorer", "Desktop", "Default")
                    p.reg_set(r"HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops", "Default", size)
                    entries = rig.sample_payload(os.path.join(p.work, "payload"))
                    installer = rig.pack(os.path.join(p.work, "Sample-Setup.exe"), "Sample  ", entries)
                    r = p.run(installer, SCRIPT, timeout=60)
                finally:
                    p.close()
                self.check_gradient(r)
                img = r.image("backdrop")
                self.assertEqual("%dx%d" % (img.width, img.height), size)

    def check_heading(self, img, w, h):
        # The two-pixel white frame on all four edges.
        for x in (0, 1, w - 2, w - 1):
            self.assertEqual({img.pixel(x, y) for y in range(h)}, {WHITE}, "column %d" % x)
        # The band of row 3 across, the heading lies lower.
        self.assertEqual(set(img.row(3, 2, w - 2)), {band_colour(3, h)})
        # The heading: white text over its black shadow, starting about a third of an inch in
        # from the left and a quarter from the top (less the 2-pixel offset of the white text).
        # Wine smooths the glyph edges even with smoothing switched off, so edge colours that are
        # neither white, black nor the band's are not counted against it.
        whites, blacks = [], 0
        for y in range(2, 140):
            for x in range(2, w - 2):
                c = img.pixel(x, y)
                if c == WHITE:
                    whites.append((x, y))
                elif c == BLACK:
                    blacks += 1
        self.assertGreater(len(whites), 1000)
        self.assertGreater(blacks, 200)
        self.assertTrue(31 <= min(x for x, _ in whites) <= 40, min(x for x, _ in whites))
        self.assertTrue(23 <= min(y for _, y in whites) <= 40, min(y for _, y in whites))
        # Every black pixel is shadow: 2 pixels up and left of it lies the white text.
        blacks_at = [(x, y) for y in range(2, 140) for x in range(2, w - 2) if img.pixel(x, y) == BLACK]
        under_text = sum(1 for x, y in blacks_at if img.pixel(x - 2, y - 2) != band_colour(y - 2, h))
        self.assertGreater(under_text, len(blacks_at) * 0.97)
