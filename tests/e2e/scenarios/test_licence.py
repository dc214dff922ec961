"""The licence agreement: shown centred without owner, its text read-only; Accept goes on to
the installation, Decline, the close box and Escape end it with nothing written; a licence
holding a NUL byte is shown up to it."""
import os

import rig
from sequence_common import INFO_OK, NOTICE_OK, TITLE, installed, payload, snapshot

LICENCE = "Licence for the sample screen saver.\r\nSecond line: use it kindly.\r\n"


class Licence(rig.Scenario):
    def packed(self, p, licence=LICENCE, extra=()):
        path = os.path.join(p.work, "licence.txt")
        with open(path, "wb") as f:
            f.write(licence.encode("cp1252"))
        return rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, payload(p), licence=path, extra=extra)

    def decline(self, how, expected):
        p = self.prefix()
        exe = self.packed(p)
        before = snapshot(p)
        r = p.run(exe, INFO_OK + """
wait class=#32770 caption="License Agreement" timeout=30
record rect=no style=no
%s
end timeout=30
""" % how)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 2)  # declined before anything was written
        self.assertEqual(snapshot(p), before)
        self.assertTranscript(r, expected)

    def test_shown_centred_without_owner_and_accept_installs(self):
        p = self.prefix()
        exe = self.packed(p)
        r = p.run(exe, INFO_OK + """
wait class=#32770 caption="License Agreement" timeout=30
screen
record
press "Accept"
wait class=#32770 caption="Den neuesten Flash Player installieren" timeout=60
press "Abbrechen"
""" + NOTICE_OK, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        # Centred on the screen without owner; the text whole in a read-only multi-line edit
        # (style ES_READONLY 0x0800 | ES_MULTILINE 0x0004).
        self.assertTranscript(r, "licence_accept")
        self.assertTrue(installed(p))

    def test_decline_writes_nothing(self):
        self.decline('press "Decline"', "licence_decline")

    def test_close_box_writes_nothing(self):
        self.decline("close sys", "licence_close_box")

    def test_escape_writes_nothing(self):
        self.decline("key ESC", "licence_escape")

    def test_text_with_a_nul_byte_is_shown_up_to_it(self):
        p = self.prefix()
        exe = self.packed(p, licence="Shown part.XHidden part.", extra=("--no-integrity",))
        with open(exe, "r+b") as f:
            data = f.read()
            at = data.index(b"Shown part.X")
            f.seek(at + len("Shown part."))
            f.write(b"\0")
        r = p.run(exe, INFO_OK + """
wait class=#32770 caption="License Agreement" timeout=30
record rect=no style=no
press "Decline"
end timeout=30
""")
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 2)
        self.assertTranscript(r, "licence_nul_byte")
