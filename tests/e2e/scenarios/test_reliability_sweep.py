"""A reduced sweep of damaged installers: truncations spread over every structural boundary, one
seeded single-byte and one 4-byte change in each area (headers, block header, table, integrity
record, each entry's data; of a signed copy the security directory entry and the certificate
table) and bytes inserted into the entries' data, into the integrity record and into the middle of
the block header; each must be refused with the
damaged-installer message, install completely, or not be started by the loader at all.
tests/e2e/reliability runs the full set."""
import os

import rig
import reliability_lib as rel

CUTS = 18
PER_AREA = 1  # a single-byte and a 4-byte change in each of 10 areas: 20
INSERTIONS = 8
# Bytes inserted into the record push its tag aside, and 37 in the middle of the block header make
# the table read zero padding: both were once installed as if sound.
MOVED = ("the integrity record", "37 bytes inserted in the middle of the block header")


class DamagedInstallers(rig.Scenario):
    def test_every_variant_is_refused_or_installs_completely(self):
        folder = os.path.join(rig.WORK, "reliability-sweep")
        os.makedirs(folder, exist_ok=True)

        def choose(variants):
            inserted = [v for v in variants if v.kind == "insertion" and " entry " in v.name]
            moved = [v for v in variants if v.kind == "insertion" and any(m in v.name for m in MOVED)]
            return [v for v in variants if v.kind != "insertion"] + rel.sample_every(inserted, INSERTIONS) + moved
        layout, signed, results = rel.sweep(folder, truncation_count=CUTS, per_area=PER_AREA, choose=choose)
        self.assertTrue(layout.integrity and signed.signed)
        self.assertEqual(len(results), CUTS + 20 * PER_AREA + INSERTIONS + 3 * 4 + 1)
        failed = ["%s: %s" % (v.name, o.reason) for v, o in results if o.verdict == "failed"]
        self.assertEqual(failed, [], "%d of %d variants failed" % (len(failed), len(results)))

        def verdicts(chosen):
            return {o.verdict for v, o in results if chosen(v)}
        # A cut inside the entries' data must be caught: it is no loader matter.
        self.assertEqual(verdicts(lambda v: v.kind == "truncation" and " data " in v.name), {"refused"})
        # Under the integrity record no changed or inserted byte of an entry's data gets installed,
        # stored or compressed.
        self.assertEqual(verdicts(lambda v: v.area.startswith("entry ") or v.kind == "insertion"), {"refused"})
        # The signature lies outside what the record covers and the installer does not check it.
        self.assertEqual(verdicts(lambda v: v.area == "certificate table"), {"installed"})
        self.assertEqual(verdicts(lambda v: v.area == "security directory entry"), {"refused"})
