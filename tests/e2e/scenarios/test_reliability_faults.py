"""Faults during the installation: a full disk before and in the middle of each entry, stored and
compressed; the screen saver's file held by the running screen saver; a read-only data folder; a
log that cannot be created. Each ends as the installation defines it, and every file already
written is complete or listed in INSTALL.LOG."""

import rig
import reliability_lib as rel


class FullDisk(rig.Scenario):
    def check(self, entries, middle, compress):
        for entry in entries:
            with self.subTest(entry=entry):
                what, problems, outcome = rel.full_disk(entry, middle, compress)
                self.assertEqual(problems, [], what)

    def test_before_each_stored_entry(self):
        self.check([1, 2, 3], False, False)

    def test_in_the_middle_of_each_stored_entry(self):
        self.check([1, 2, 3], True, False)

    def test_before_each_compressed_entry(self):
        self.check([1, 2, 3], False, True)

    def test_in_the_middle_of_each_compressed_entry(self):
        self.check([0, 1, 2, 3], True, True)

    # The first entry on a disk with no room for its log line either: the cut file is removed.
    def test_the_first_entry_before_and_in_the_middle(self):
        for middle, compress in ((False, False), (True, False), (False, True)):
            with self.subTest(middle=middle, compress=compress):
                what, problems, _ = rel.full_disk(0, middle, compress)
                self.assertEqual(problems, [], what)


class OtherFaults(rig.Scenario):
    def test_screen_saver_held_open_by_its_running_copy(self):
        what, problems, _ = rel.locked_destination()
        self.assertEqual(problems, [], what)

    def test_read_only_data_folder(self):
        what, problems, _ = rel.read_only_data_folder()
        self.assertEqual(problems, [], what)

    def test_log_not_creatable_stops_before_the_first_entry(self):
        what, problems, _ = rel.log_not_creatable()
        self.assertEqual(problems, [], what)
