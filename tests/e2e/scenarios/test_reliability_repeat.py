"""The same installer again and again in one prefix, the real uninstaller after every second
install: the log grows by one block per install, one uninstall key with seven values, one
system.ini line, no stray files. tests/e2e/reliability runs 20 installs; make test a few."""
import rig
import reliability_lib as rel

COUNT = 6


class RepeatedInstalls(rig.Scenario):
    def test_installs_and_uninstalls_leave_one_of_everything(self):
        problems = rel.repeated_installs(COUNT)
        self.assertEqual(problems, [])
