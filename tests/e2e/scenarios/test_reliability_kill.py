"""Installations killed from outside (no chance to clean up) at three points: inside the compressed
screen saver, right after the uninstaller's log line (before its file and its registration), and
inside the stored movie that follows the uninstaller. After each kill the same installer again
installs every file byte-identical and the uninstaller then leaves nothing of the product; where
the kill left an uninstall entry, the uninstaller straight away leaves nothing either. The full
family (46 points) runs in tests/e2e/reliability."""

import os

import rig
import reliability_lib as rel


class Killed(rig.Scenario):
    def test_a_kill_at_three_points_is_repaired_and_removed(self):
        campaign = rel.KillCampaign(os.path.join(rig.BUILD, "e2e-work", "kill-campaign"))
        for n, point in enumerate(rel.kill_points(campaign.contents, full=False)):
            with self.subTest(point=point.label):
                state, problems = rel.kill_once(campaign, point, "r%d" % n)
                self.assertEqual(problems, [], "%s (%s)" % (point.label, state))


class UninstallerFaults(rig.Scenario):
    """The screen saver in use, the log of a repaired installation, a log cut inside its last line
    end; the rest run in tests/e2e/reliability."""

    def test_faults_end_with_the_report_and_nothing_else_touched(self):
        for fault in rel.uninstaller_faults(quick=True):
            what, problems, _ = fault()
            with self.subTest(fault=what):
                self.assertEqual(problems, [], what)
