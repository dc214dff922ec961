"""A reduced sweep of damaged installers: truncations spread over every structural boundary and
a few seeded changes of headers, block and table; each must be refused with the damaged-installer
message, install completely, or not be started by the loader at all. tests/e2e/reliability runs
the full set."""
import os

import rig
import reliability_lib as rel

CUTS = 18
PER_AREA = 2  # single-byte and 4-byte changes per area: 12


class DamagedInstallers(rig.Scenario):
    def test_every_variant_is_refused_or_installs_completely(self):
        folder = os.path.join(rig.WORK, "reliability-sweep")
        os.makedirs(folder, exist_ok=True)
        layout, results = rel.sweep(folder, truncation_count=CUTS, per_area=PER_AREA)
        self.assertEqual(len(results), CUTS + 6 * PER_AREA)
        verdicts = [o.verdict for _v, o in results]
        # A cut inside the entries' data must be caught: it is no loader matter.
        cut_data = [o.verdict for v, o in results if v.kind == "truncation" and "entry" in v.name]
        self.assertTrue(cut_data)
        failed = ["%s: %s" % (v.name, o.reason) for v, o in results if o.verdict == "failed"]
        self.assertEqual(failed, [], "%d of %d variants failed" % (len(failed), len(results)))
        self.assertIn("refused", verdicts)
        self.assertEqual(set(cut_data), {"refused"})
