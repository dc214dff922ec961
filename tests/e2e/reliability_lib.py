"""Damaged installers, faults during the installation and repeated installs under Wine, each run
classified from what the robot saw and what the prefix holds afterwards.

The damaged variants come from one sound installer with its integrity record (three entries
compressed, one stored) and a signed copy of it: every truncation at the structural boundaries
(PE headers, resource directory, block, table, integrity record, each entry's data; of the signed
copy the security directory entry and the certificate table) found from its PE headers and
`sspack list`, a seeded set of single-byte and 4-byte changes in each of those areas, and bytes
inserted at each region's start and inside it. Each variant runs once, with the robot answering
every window, in one of two prefixes whose Wine server keeps running (Worker): a prefix is kept
while its variants leave nothing behind, an installation is taken back, anything else gets a
fresh prefix. Each ends in one of:

  refused    the damaged-installer message, exit code 1, nothing written
  installed  every file byte-identical, the log, the uninstall key and system.ini complete, exit 0
  not loaded the system's loader would not start the file (our code never ran), nothing written:
             it refused it, or it died on damage only it reads, or a trace shows it died in Wine's
             loader before the image's imports were loaded; or, under qemu-i386, Wine's own resource
             lookup faulted in the image's damaged resource directory (a guarded read that Wine
             catches natively, where the pre-check then refuses the file, but that qemu hands it as
             an unknown trap it cannot catch)
  failed     anything else: a crash, a hang, a write outside the screen saver and the data folder,
             a success after wrong bytes, a stop without the refusal
"""
import os
import random
import re
import shutil
import struct
import subprocess
import threading
import time
import unittest

import layout
import rig

TITLE = "Sample"
DATA = layout.data_folder(TITLE)
SCREEN_SAVER = layout.screen_saver(TITLE)
INSTALLED = layout.destinations(TITLE)
LOG = layout.install_log(TITLE)
KEY = layout.uninstall_key(TITLE)
DAMAGED = ("Die Installationsdatei ist beschädigt oder unvollständig. "
           "Bitte laden Sie das Programm erneut herunter.")
SHORT_WRITE = "Die Datei %s konnte nicht vollständig geschrieben werden. Die Installation wurde abgebrochen."
ERROR_CAPTION = "Fehler!!!"
SUCCESS_TEXTS = ("Installation beendet!",)
# What Wine itself writes into drive C during a session; never anything of ours.
WINE_OWN = re.compile(r"^(users/[^/]+/(temp|appdata/local/temp)(/|$)|windows/temp(/|$))", re.I)
TIMEOUT = 60  # seconds an installation of the small payload may take before it counts as hung


# ---- the sound installer and its structure ------------------------------------------------------

def word_text(rng):
    """A maker of text that sspack compresses well: size bytes of 300 words of random letters,
    all drawn from rng."""
    words = [bytes(rng.choice(b"abcdefghijklmnop") for _ in range(rng.randint(2, 9))) for _ in range(300)]

    def text(size):
        out = bytearray()
        while len(out) < size:
            out += rng.choice(words) + b" "
        return bytes(out[:size])
    return text


def payload_files(folder, big=False, compressible=True, stored_movie=False):
    """The four entries: the recorder fixtures as screen saver and uninstaller, a data file and a
    movie; compressible text so that sspack keeps compressed streams. big=True makes the data
    file and the movie some hundred KB, so that a fault can land inside them; stored_movie=True
    fills the movie with noise, which sspack stores as it is."""
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(11)
    words = word_text(rng)

    def text(size):
        made = words(size)
        return made if compressible else rng.randbytes(size)

    sizes = (300 * 1024, 200 * 1024) if big else (10 * 1024, 2000)
    paths = []
    for name, body in (("sample.scr", open(rig.fixture("fake_scr.scr"), "rb").read() + text(sizes[0] // 4)),
                       ("sample.dat", text(sizes[0])),
                       ("uninstal.exe", open(rig.fixture("fake_uninstaller.exe"), "rb").read() + text(sizes[1] // 4)),
                       ("movie.swf", rig.movie_bytes(9, 12) + (rng.randbytes(sizes[1]) if stored_movie else
                                                               text(sizes[1])))):
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(body)
        paths.append(path)
    return paths


def sspack_entries(installer):
    """(offset, stored, expanded) of each entry as `sspack list` reports them."""
    out = subprocess.run([rig.SSPACK, "list", installer], capture_output=True, check=True).stdout.decode()
    # "stored" in the expanded column: an entry kept as it is (ExpandedSize 0).
    return [(int(m.group(1), 16), int(m.group(2)), 0 if m.group(3) == "stored" else int(m.group(3)))
            for m in re.finditer(r"^\d+\s+\S+(?: \S+)?\s+0x([0-9A-Fa-f]+)\s+(\d+)\s+(\d+|stored)", out, re.M)]


class Layout:
    """Where the parts of an installer file lie: (name, start, end) regions in file order, from
    its PE headers, its resource directory and its payload block."""

    def __init__(self, data, entries):
        self.size = len(data)
        u16 = lambda at: struct.unpack_from("<H", data, at)[0]
        u32 = lambda at: struct.unpack_from("<I", data, at)[0]
        pe = u32(0x3C)
        sections = u16(pe + 6)
        optional = u16(pe + 20)
        table = pe + 24 + optional
        regions = [("DOS header", 0, 0x40), ("PE file header", pe, pe + 24),
                   ("optional header", pe + 24, table), ("section table", table, table + 40 * sections)]
        rsrc = None
        # Where the first section's data starts: a file cut before it holds headers only.
        self.headers_end = min([u32(table + 40 * i + 20) for i in range(sections) if u32(table + 40 * i + 16)] or [0])
        for i in range(sections):
            at = table + 40 * i
            if data[at:at + 8].rstrip(b"\0") == b".rsrc":
                rsrc = (u32(at + 12), u32(at + 16), u32(at + 20))  # RVA, raw size, raw offset
        if rsrc is None:
            raise rig.RigError("no .rsrc section")
        va, raw_size, raw = rsrc
        # The whole directory tree: its extent, and the first entry at each level down to the data entry.
        extent = [raw]

        def walk(at, depth):
            named, ids = u16(at + 12), u16(at + 14)
            extent.append(at + 16 + 8 * (named + ids))
            first = None
            for n in range(named + ids):
                name, offset = u32(at + 16 + 8 * n), u32(at + 20 + 8 * n)
                if name & 0x80000000:
                    s = raw + (name & 0x7FFFFFFF)
                    extent.append(s + 2 + 2 * u16(s))
                if offset & 0x80000000:
                    leaf = walk(raw + (offset & 0x7FFFFFFF), depth + 1)
                else:
                    leaf = raw + offset
                    extent.append(leaf + 16)
                if first is None:
                    first = leaf
            return first
        data_entry = walk(raw, 0)
        self.block = u32(data_entry) - va + raw
        regions.append(("resource directory", raw, max(extent)))
        licence = u16(self.block)
        self.table = self.block + 2 + licence + 260 + 2
        regions.append(("block header", self.block, self.table))
        records, at = [], self.table
        while u32(at + 4) != 0:
            records.append(at)
            at += 28
        self.records = records + [at]  # the terminator last
        self.table_end = at + 28
        regions.append(("table", self.table, self.table_end))
        self.integrity = data[self.table_end:self.table_end + 8] == b"SSCRC32\0"
        if self.integrity:
            regions.append(("integrity record", self.table_end, self.table_end + 12))
        self.entries = entries
        read_back = [(u32(r), u32(r + 4), u32(r + 8)) for r in records]
        if read_back != entries:
            raise rig.RigError("sspack list and the table disagree: %s / %s" % (entries, read_back))
        for i, (offset, stored, _expanded) in enumerate(entries):
            regions.append(("entry %d data" % i, offset, offset + stored))
        # The certificate table a signer appends, and its entry among the data directories.
        self.security = pe + 24 + 128
        table_at, table_size = struct.unpack_from("<II", data, self.security)
        self.signed = table_size > 0
        if self.signed:
            regions.append(("security directory entry", self.security, self.security + 8))
            regions.append(("certificate table", table_at, table_at + table_size))
        self.regions = regions
        # Header bytes the installer's own reader never looks at (it takes the PE header's offset,
        # the section count and the section table, then the resource directory, and the security
        # directory entry): only the system's loader reads the DOS stub, the other file-header
        # fields and the rest of the optional header.
        self.loader_only = [(0, 0x3C), (0x40, pe + 6), (pe + 8, self.security), (self.security + 8, table)]

    def loader_only_change(self, at, width):
        return all(any(s <= b < e for s, e in self.loader_only) for b in range(at, at + width))

    def region(self, at):
        """The name of the region a byte lies in (None: between regions)."""
        found = [n for n, s, e in self.regions if s <= at < e]
        return found[-1] if found else None

    def areas(self):
        """The corruption areas and their byte ranges, in table order: headers, block header,
        table, integrity record, each entry's data, and for a signed file the security directory
        entry and the certificate table. The headers leave out the security entry, an area of
        its own."""
        r = {n: (s, e) for n, s, e in self.regions}
        headers = [(0, r["section table"][1]), r["resource directory"]]
        if self.signed:
            headers = [(0, self.security), (self.security + 8, r["section table"][1]), r["resource directory"]]
        out = [("headers", headers), ("block header", [r["block header"]]), ("table", [r["table"]])]
        if self.integrity:
            out.append(("integrity record", [r["integrity record"]]))
        out += [("entry %d data" % i, [r["entry %d data" % i]]) for i in range(len(self.entries))]
        if self.signed:
            out += [("security directory entry", [r["security directory entry"]]),
                    ("certificate table", [r["certificate table"]])]
        return out


class Variant:
    """One damaged file: kind 'truncation', 'change' or 'insertion'; area the row of the table it
    counts in; base 'sound' or 'signed', the installer it damages."""

    def __init__(self, name, kind, area, make, loader_only=False, base="sound"):
        self.name, self.kind, self.area, self._make, self.base = name, kind, area, make, base
        self.loader_only = loader_only  # only the loader reads what changed, or the cut left headers only

    def data(self, bases):
        return self._make(bases[self.base])


def truncations(layout, base="sound", only=None):
    """Every cut at the structural boundaries: each region's first byte, one byte into it, its
    middle and its last byte; each table record's start and middle. only: the regions to cut
    (all when None)."""
    cuts = {}
    for name, start, end in layout.regions:
        if only is not None and name not in only:
            continue
        for at, where in ((start, "at the start of"), (start + 1, "1 byte into"),
                          ((start + end) // 2, "in the middle of"), (end - 1, "at the last byte of")):
            if 0 < at < layout.size and at not in cuts:
                cuts[at] = "cut %s the %s (%d bytes)" % (where, name, at)
    for i, at in enumerate(layout.records if only is None else []):
        what = "the terminator" if i == len(layout.records) - 1 else "record %d" % i
        for cut, where in ((at, "before"), (at + 14, "inside")):
            if cut not in cuts:
                cuts[cut] = "cut %s %s of the table (%d bytes)" % (where, what, cut)
    # A file cut within its headers holds no code at all: whatever becomes of it is the loader's
    # doing. (Wine's 32-bit loader hands such a file to its DOS support, which ends it with its own
    # code; 64-bit Windows refuses to start it.)
    return [Variant(("signed: " if base == "signed" else "") + text, "truncation", "truncations",
                    (lambda at: lambda d: d[:at])(at), loader_only=at <= layout.headers_end, base=base)
            for at, text in sorted(cuts.items())]


def corruptions(layout, per_area, seed=7, base="sound", only=None):
    """per_area single-byte and per_area 4-byte changes in each area of layout.areas() (only:
    those named), drawn with a fixed seed; every change alters the bytes it touches."""
    rng = random.Random("%s %s" % (seed, base))
    out = []
    for area, ranges in layout.areas():
        if only is not None and area not in only:
            continue
        total = sum(e - s for s, e in ranges)
        for width in (1, 4):
            for n in range(per_area):
                pick = rng.randrange(max(1, total - width + 1))
                for s, e in ranges:
                    if pick < e - s:
                        at = s + max(0, min(pick, e - s - width))
                        break
                    pick -= e - s
                noise = bytes(rng.randint(1, 255) for _ in range(width))

                def make(d, at=at, noise=noise):
                    b = bytearray(d)
                    for k, x in enumerate(noise):
                        b[at + k] ^= x  # never 0: each byte changes
                    return bytes(b)
                out.append(Variant("%s%d-byte change at 0x%X (%s)" % ("signed: " if base == "signed" else "", width,
                                                                       at, layout.region(at) or area),
                                   "change", area, make, layout.loader_only_change(at, width), base=base))
    return out


def insertions(layout, seed=7, sizes=(1, 4, 37, 512)):
    """Bytes inserted at every region's first byte, one byte into it and in its middle, and at
    the end of the file: each of sizes, seeded noise. An insertion before the first section's
    data moves every section away from where the headers say: the image the loader maps then
    holds no code of ours where it should."""
    rng = random.Random("%s insert" % seed)
    points = {}
    for name, start, end in layout.regions:
        for at, where in ((start, "at the start of"), (start + 1, "1 byte into"), ((start + end) // 2, "in the middle of")):
            if 0 <= at < layout.size and at not in points:
                points[at] = "%s the %s" % (where, name)
    points.setdefault(layout.size, "at the end of the file")
    out = []
    for at, where in sorted(points.items()):
        for size in sizes:
            noise = bytes(rng.randint(0, 255) for _ in range(size))
            out.append(Variant("%d bytes inserted %s (0x%X)" % (size, where, at), "insertion", "insertions",
                               (lambda at, noise: lambda d: d[:at] + noise + d[at:])(at, noise),
                               loader_only=at < layout.headers_end))
    return out


def sample_every(variants, count):
    """count variants spread evenly over the list (all when there are no more)."""
    if count >= len(variants):
        return list(variants)
    step = len(variants) / count
    return [variants[int(i * step)] for i in range(count)]


def sound_installer(folder, compress="best", stub=None):
    """Packs the sweep's installer (with its integrity record; three entries compressed, the movie
    stored); returns (path, host payload
    paths, Layout)."""
    entries = payload_files(os.path.join(folder, "payload"), stored_movie=True)
    exe = rig.pack(os.path.join(folder, "sound.exe"), TITLE, entries, compress=compress, stub=stub)
    with open(exe, "rb") as f:
        data = f.read()
    return exe, entries, Layout(data, sspack_entries(exe))


def signed_installer(folder, exe):
    """The sound installer signed with a throw-away certificate: (path, Layout)."""
    signed = rig.sign(exe, os.path.join(folder, "signed.exe"))
    with open(signed, "rb") as f:
        data = f.read()
    return signed, Layout(data, sspack_entries(signed))


# ---- what a run did -----------------------------------------------------------------------------

def snapshot(prefix):
    """{relative lower-case path: (size, mtime)} of everything on drive C, folders with a slash."""
    root = prefix.drive_c
    out = {}
    for base, dirs, files in os.walk(root):
        rel = os.path.relpath(base, root).replace(os.sep, "/")
        rel = "" if rel == "." else rel + "/"
        for d in dirs:
            out[(rel + d).lower() + "/"] = None
        for f in files:
            try:
                st = os.lstat(os.path.join(base, f))
            except OSError:
                continue
            out[(rel + f).lower()] = (st.st_size, st.st_mtime_ns)
    return out


def changes(before, after):
    return sorted(k for k in set(before) | set(after) if before.get(k, 0) != after.get(k, 0))


def _rel(winpath):
    return winpath[3:].replace("\\", "/").lower()


OURS = [_rel(SCREEN_SAVER), _rel(DATA) + "/", _rel(layout.PUBLISHER_FOLDER) + "/", _rel(layout.PRODUCT_FOLDER) + "/",
        _rel(layout.SYSTEM_INI), "windows/win.ini", "fixture-log.txt", "e2e/"]


def outside_writes(changed, copied):
    """The changed paths that are neither ours to write nor Wine's own."""
    allowed = set(OURS) | {_rel(copied)}
    data = _rel(DATA) + "/"
    return [c for c in changed if c not in allowed and not c.startswith(data) and not WINE_OWN.match(c)]


def windows_seen(result):
    """Each recorded window as a dict: class, caption, message, plus the raw lines."""
    out, current = [], None
    for line in result.lines:
        m = re.match(r'^window class=(\S+) caption="(.*)"$', line)
        if m:
            current = {"class": m.group(1), "caption": m.group(2), "message": None, "texts": [], "lines": [line]}
            out.append(current)
            continue
        if current is not None and line.startswith("  "):
            current["lines"].append(line)
            mm = re.match(r'^  message: "(.*)"$', line)
            if mm:
                current["message"] = mm.group(1)
            mt = re.match(r'^  control id=-?\d+ class=\S+ text="(.*)" style', line)
            if mt:
                current["texts"].append(mt.group(1))
        else:
            current = None
    return out


def unescape(text):
    return text.replace('\\"', '"').replace("\\\\", "\\")


class Outcome:
    def __init__(self, verdict, reason, elapsed=0.0):
        self.verdict, self.reason, self.elapsed = verdict, reason, elapsed

    def __repr__(self):
        return "%s: %s" % (self.verdict, self.reason)


def installed_problems(prefix, contents, blocks=1):
    """What is missing or wrong in a complete installation (empty list: none)."""
    problems = []
    for path, content in zip(INSTALLED, contents):
        if not prefix.exists(path):
            problems.append("%s missing" % path)
        elif prefix.read_file(path) != content:
            problems.append("%s differs from its entry" % path)
    lines = "".join(p + "\r\n" for p in INSTALLED).encode("cp1252")
    if not prefix.exists(LOG) or prefix.read_file(LOG) != lines * blocks:
        problems.append("INSTALL.LOG is not %d block(s) of the four paths" % blocks)
    values = prefix.reg_values(KEY)
    if values is None or set(values) != layout.UNINSTALL_VALUES:
        problems.append("uninstall key values %s" % (sorted(values) if values else None))
    if TITLE.lower() + "~1.scr" not in prefix.system_ini().get("boot", {}).get("scrnsave.exe", "").lower() and \
            TITLE.lower() + ".scr" not in prefix.system_ini().get("boot", {}).get("scrnsave.exe", "").lower():
        problems.append("system.ini names no %s.scr" % TITLE)
    return problems


def nothing_installed(prefix, uninstall_before):
    problems = []
    if prefix.exists(SCREEN_SAVER):
        problems.append("the screen saver was written")
    if prefix.exists(layout.PUBLISHER_FOLDER):
        problems.append("the data folder was made")
    if prefix.reg_subkeys(layout.UNINSTALL_KEY) != uninstall_before:
        problems.append("the uninstall key changed")
    if "scrnsave.exe" in prefix.system_ini().get("boot", {}):
        problems.append("system.ini names a screen saver")
    return problems


def _traced_run(prefix, winpath, debug, timeout):
    """Runs the image once with Wine's traces debug (+loaddll among them): (base, the trace lines
    of the thread that loaded it), or None when no thread did. Only that thread counts: Wine's
    services raise exceptions of their own in the same run."""
    done = prefix.run(None, 'start "%s"\nend timeout=%d' % (winpath, timeout), timeout=timeout, debug=debug)
    lines = done.stderr.splitlines()
    name = '"' + winpath.lower().replace("\\", "\\\\") + '" at '
    for l in lines:
        m = re.match(r"^([0-9a-f]{4}):trace:loaddll:.* at ([0-9A-Fa-f]+)", l)
        if m and name in l.lower():
            return int(m.group(2), 16), [l for l in lines if l.startswith(m.group(1) + ":")]
    return None


def loader_crash(prefix, winpath, imports):
    """Runs a program that died without a window once more with Wine's exception and DLL traces:
    a text saying where it died when that was in Wine's loader (outside the image, before the
    thread loaded any DLL the image imports beyond the kernel: its code never ran), else None.
    imports: the lower-case DLL names the image imports."""
    found = _traced_run(prefix, winpath, "+seh,+loaddll", 20)
    if not found:
        return None
    base, lines = found
    crash = [(n, re.match(r"^[0-9a-f]{4}:trace:seh:dispatch_exception code=([0-9a-f]+) flags=\S+ addr=([0-9A-Fa-f]+)", l))
             for n, l in enumerate(lines)]
    crash = [(n, m) for n, m in crash if m]
    if not crash:
        return None
    at, first = crash[0]
    code, addr = int(first.group(1), 16), int(first.group(2), 16)
    loaded = [l for l in lines[:at] if ":trace:loaddll:" in l]
    user = [d for d in imports if d not in ("kernel32.dll", "kernelbase.dll", "ntdll.dll")]
    ours = [l for l in loaded if any("\\\\" + d + '"' in l.lower() for d in user)]
    if base <= addr < base + 0x1000000:
        return None
    if ours:
        trapped = at > 0 and "err:seh:segv_handler Got unexpected trap -1" in lines[at - 1]
        return _resource_fault(prefix, winpath) if trapped else None
    return "Wine's loader died on the image (0x%X at 0x%X, before any of %s was loaded)" % (code, addr, "/".join(user))


def _resource_fault(prefix, winpath):
    """For a fault that qemu-i386 handed Wine as an unknown trap: a text when a call trace shows it
    in Wine's resource lookup on the image itself, else None."""
    found = _traced_run(prefix, winpath, "+seh,+loaddll,+relay", 60)
    if not found:
        return None
    base, lines = found
    calls = []
    for l in lines:
        if ":Call " in l:
            calls.append(l)
        elif "err:seh:segv_handler Got unexpected trap -1" in l:
            m = re.match(r"^[0-9a-f]{4}:Call ntdll\.(Ldr\w*Resource\w*)\(([0-9a-f]+),", calls[-1] if calls else "")
            if m and int(m.group(2), 16) == base:
                return ("Wine's %s faulted in the image's damaged resource directory, a fault qemu-i386 hands "
                        "Wine as an unknown trap" % m.group(1))
            return None
    return None


def image_imports(data):
    """The lower-case names of the DLLs a PE32 image imports."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = pe + 24
    table = optional + struct.unpack_from("<H", data, pe + 20)[0]

    def offset(rva):
        for i in range(sections):
            va, size, raw = struct.unpack_from("<III", data, table + 40 * i + 12)
            if va <= rva < va + size:
                return rva - va + raw
        raise rig.RigError("RVA 0x%X in no section" % rva)
    at = offset(struct.unpack_from("<I", data, optional + 104)[0])
    names = []
    while struct.unpack_from("<I", data, at + 12)[0]:
        name = offset(struct.unpack_from("<I", data, at + 12)[0])
        names.append(data[name:data.index(b"\0", name)].decode().lower())
        at += 20
    return names


def classify(prefix, result, contents, before, uninstall_before, copied, loader_only=False, diagnose=None):
    """The verdict of one run of a damaged variant. diagnose: for a run that died without a
    window or a write, a function saying whether that was Wine's loader (loader_crash)."""
    changed = changes(before, snapshot(prefix))
    outside = outside_writes(changed, copied)
    if outside:
        return Outcome("failed", "wrote outside its places: %s" % ", ".join(outside[:4]), result.elapsed)
    text = result.transcript
    if re.search(r"^FAILED line \d+: cannot start ", text, re.M):
        problems = nothing_installed(prefix, uninstall_before)
        if problems:
            return Outcome("failed", "not started, yet " + "; ".join(problems), result.elapsed)
        return Outcome("not loaded", "the loader would not start it", result.elapsed)
    if "did not end in time" in text or result.exit_code is None:
        return Outcome("failed", "hang: no end within %d s" % TIMEOUT, result.elapsed)
    seen = windows_seen(result)
    errors = [w for w in seen if w["caption"] == ERROR_CAPTION]
    success = [w for w in seen if any(t in SUCCESS_TEXTS for t in w["texts"]) or
               (w["message"] or "") in SUCCESS_TEXTS]
    code = result.exit_code
    if code not in (0, 1) and loader_only and not seen and not nothing_installed(prefix, uninstall_before):
        # Our code never reads these bytes; the process died before showing anything: the
        # system's loader failed on the image (Windows refuses such a file to start).
        return Outcome("not loaded", "the loader failed (exit 0x%X), nothing shown or written" % (code & 0xFFFFFFFF),
                       result.elapsed)
    if code not in (0, 1) and diagnose and not seen and not nothing_installed(prefix, uninstall_before):
        why = diagnose()
        if why:
            return Outcome("not loaded", why + ", nothing shown or written", result.elapsed)
    if code not in (0, 1):
        return Outcome("failed", "crash: exit code 0x%X" % (code & 0xFFFFFFFF), result.elapsed)
    if code == 1 and len(errors) == 1 and unescape(errors[0]["message"] or "") == DAMAGED:
        problems = nothing_installed(prefix, uninstall_before)
        others = [w["caption"] for w in seen if w["caption"] != ERROR_CAPTION and w["class"] != "VistaworksInstallClass"]
        if others:
            problems.append("windows before the refusal: %s" % others)
        if problems:
            return Outcome("failed", "refused, yet " + "; ".join(problems), result.elapsed)
        return Outcome("refused", "the damaged-installer message, exit 1", result.elapsed)
    if code == 0 and not errors:
        problems = installed_problems(prefix, contents)
        if problems:
            return Outcome("failed", ("success message, yet " if success else "exit 0, yet ") + "; ".join(problems),
                           result.elapsed)
        return Outcome("installed", "installed completely and correctly", result.elapsed)
    messages = ["%s: %s" % (w["caption"], unescape(w["message"] or "")) for w in errors]
    return Outcome("failed", "exit %s, %s" % (code, "; ".join(messages) or "no message"), result.elapsed)


class SeenRegistry:
    """A prefix whose registry is read from the robot's `registry` lines (its server keeps
    running): the uninstall key's subkeys and each one's value names. Everything else goes to
    the prefix."""

    def __init__(self, prefix, result):
        self._prefix = prefix
        self._subkeys = None  # None: the robot never read the key
        found = {}
        where = '"%s"' % layout.UNINSTALL_KEY.replace("\\", "\\\\")
        for line in result.lines:
            if not line.startswith("registry " + where + " "):
                continue
            rest = line[len("registry " + where + " "):]
            if rest in ("read", "missing"):
                self._subkeys = found
                continue
            m = re.match(r'^subkey "((?:[^"\\]|\\.)*)" values(.*)$', rest)
            if m:
                found[unescape(m.group(1))] = [unescape(v) for v in re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(2))]

    def __getattr__(self, name):
        return getattr(self._prefix, name)

    def reg_subkeys(self, key, view=32):
        if key != layout.UNINSTALL_KEY or view != 32:
            raise rig.RigError("only the uninstall key was read")
        return None if self._subkeys is None else sorted(self._subkeys)

    def reg_values(self, key, as_written=False, view=32):
        parent, _, name = key.rpartition("\\")
        if parent != layout.UNINSTALL_KEY or view != 32 or as_written:
            raise rig.RigError("only the uninstall key's subkeys were read")
        if self._subkeys is None or name not in self._subkeys:
            return None
        return {v.lower(): (None, None) for v in self._subkeys[name]}


class Worker:
    """A prefix of the sweep's own with its server kept running (rig.Prefix.serve), on a display
    of its own: variants run one after another in it. After a complete installation its files
    go, the ini files it changed come back from copies and the next run's robot deletes its
    uninstall key; a variant that left anything else behind (a file outside the e2e folder and
    Wine's own temporary files, a registry subkey, a stray process) or failed gets a fresh prefix
    after it; the others leave the prefix as it was."""

    KEPT = ("windows/system.ini", "windows/win.ini")  # what an installation changes in place

    def __init__(self, name, on_display=None):
        self.name, self.on_display = name, on_display
        self.p = None
        self.fresh()

    def fresh(self):
        if self.p is not None:
            self.p.close()
        self.p = rig.Prefix("rel-" + self.name)
        self.p.display = self.on_display
        self.p.install_flash("10")  # the movie asks for 9: no message about the player
        self.uninstall_before = self.p.reg_subkeys(layout.UNINSTALL_KEY)
        self.p.serve()
        self.before = snapshot(self.p)
        self.forget = False  # the next run deletes the product's uninstall key first
        self.copies = os.path.join(self.p.work, "copies")
        os.makedirs(self.copies)
        for path in self.KEPT:
            shutil.copy2(self.p.unix("C:\\" + path), os.path.join(self.copies, os.path.basename(path)))

    def undo_installation(self, after):
        """Takes a complete installation back on drive C: True when drive C is as before it
        (the uninstall key goes at the next run)."""
        left = [c for c in changes(self.before, after) if not c.startswith("e2e/") and not WINE_OWN.match(c)]
        folders = []
        for c in left:
            host = self.p.unix("C:\\" + c.rstrip("/"))
            if c in self.before:
                if c not in self.KEPT:
                    return False
                shutil.copy2(os.path.join(self.copies, os.path.basename(c)), host)
            elif c.endswith("/"):
                folders.append(host)
            else:
                os.remove(host)
        for folder in sorted(folders, key=len, reverse=True):
            os.rmdir(folder)
        now = snapshot(self.p)
        if [c for c in changes(self.before, now) if not c.startswith("e2e/") and not WINE_OWN.match(c)]:
            return False
        self.before = now
        self.forget = True
        return True

    imports = ()  # the DLLs the sound installer imports (sweep sets them)

    def run(self, label, data, contents, loader_only=False):
        """One damaged variant, answered like an agreeable user: its Outcome."""
        began = time.time()
        self.p.write_file(r"C:\e2e\setup.exe", data)
        # The registry is read however the robot ends, a program the loader refuses included.
        forget = 'forget "%s"\n' % KEY if self.forget else ""
        script = '%sregistry "%s"\nstart "C:\\e2e\\setup.exe"\nanswer timeout=%d shots=none' % (
            forget, layout.UNINSTALL_KEY, TIMEOUT)
        r = self.p.run(None, script, timeout=TIMEOUT + 10)
        stalled = "did not end in time" in r.transcript and not windows_seen(r)
        if not r.transcript or stalled:
            # Wine did not start the robot, or started the program and then showed nothing at all:
            # both seen only after hundreds of runs in one kept server, never again in a fresh
            # prefix. Once more in a fresh prefix; what that run does counts.
            print("  [%s] %s; the variant runs again in a fresh prefix" % (
                label, "the program stalled without a window" if stalled else "the robot did not start"), flush=True)
            self.fresh()
            self.p.write_file(r"C:\e2e\setup.exe", data)
            r = self.p.run(None, script.replace('forget "%s"\n' % KEY, ""), timeout=TIMEOUT + 10)
        self.forget = False
        seen = SeenRegistry(self.p, r)
        if self.p.stray:
            outcome = Outcome("failed", "processes left running: %s" % ", ".join(self.p.stray[:3]), r.elapsed)
        else:
            outcome = classify(seen, r, contents, self.before, self.uninstall_before, r"C:\e2e\setup.exe",
                               loader_only, lambda: loader_crash(self.p, r"C:\e2e\setup.exe", self.imports))
        outcome.elapsed = time.time() - began
        after = snapshot(self.p)
        left = [c for c in changes(self.before, after) if not c.startswith("e2e/") and not WINE_OWN.match(c)]
        if outcome.verdict == "failed":
            # The prefix stays for a look, under the variant's name.
            self.p.close()
            kept = os.path.join(rig.WORK, "rel-" + label)
            shutil.rmtree(kept, ignore_errors=True)
            os.rename(self.p.work, kept)
            self.p = None
            self.fresh()
        elif outcome.verdict == "installed" and self.undo_installation(after):
            pass
        elif left or seen.reg_subkeys(layout.UNINSTALL_KEY) != self.uninstall_before:
            self.fresh()
        else:
            self.before = after
        return outcome

    def close(self):
        if self.p is not None:
            self.p.close()
            shutil.rmtree(self.p.work, ignore_errors=True)
            self.p = None


def variants(layout, signed_layout, truncation_count=None, per_area=20, seed=7, insertion_count=None):
    """Every variant of the sweep, in a fixed order: truncations (of the sound installer, and of
    the signed one in its certificate table and security entry), changes in every area of both
    (the signed one only where signing put something), insertions. truncation_count and
    insertion_count: how many of those (spread evenly; None: all)."""
    signing = ("security directory entry", "certificate table")
    cuts = truncations(layout) + truncations(signed_layout, "signed", signing)
    if truncation_count is not None:
        cuts = sample_every(cuts, truncation_count)
    inserted = insertions(layout, seed)
    if insertion_count is not None:
        inserted = sample_every(inserted, insertion_count)
    return cuts + corruptions(layout, per_area, seed) + corruptions(signed_layout, per_area, seed, "signed",
                                                                    signing) + inserted


def sweep(folder, truncation_count=None, per_area=20, seed=7, report=None, workers=2, insertion_count=None,
          choose=None):
    """Packs the sound installer and signs a copy, makes their variants and runs each:
    (Layout, signed Layout, [(Variant, Outcome)]) in the variants' order. truncation_count,
    insertion_count: how many of those (spread evenly; None: all); choose: a function that
    picks from the variants; workers: prefixes run side by side (each on a display of its own)."""
    exe, entries, layout = sound_installer(folder)
    signed, signed_layout = signed_installer(folder, exe)
    bases = {}
    for name, path in (("sound", exe), ("signed", signed)):
        with open(path, "rb") as f:
            bases[name] = f.read()
    contents = [open(e, "rb").read() for e in entries]
    chosen = variants(layout, signed_layout, truncation_count, per_area, seed, insertion_count)
    if choose:
        chosen = choose(chosen)
    for v in chosen:
        if v.data(bases) == bases[v.base]:
            raise rig.RigError("a variant that changes nothing: %s" % v.name)
    results = [None] * len(chosen)
    queue = list(enumerate(chosen))
    lock = threading.Lock()
    errors = []

    def work(index):
        w = None
        try:
            w = Worker("w%d" % index, rig.display(index))
            w.imports = image_imports(bases["sound"])
            while True:
                with lock:
                    if not queue or errors:
                        return
                    n, v = queue.pop(0)
                outcome = w.run("%04d" % n, v.data(bases), contents, v.loader_only)
                with lock:
                    results[n] = (v, outcome)
                    if report:
                        report(n, len(chosen), v, outcome)
        except BaseException as e:  # noqa: B902 -- handed to the caller's thread
            with lock:
                errors.append(e)
        finally:
            if w:
                w.close()
    threads = [threading.Thread(target=work, args=(i,), daemon=True) for i in range(max(1, workers))]
    for t in threads:
        t.start()
    try:
        for t in threads:
            t.join()
    except BaseException as e:  # noqa: B902 -- a signal: the workers take no further variant
        with lock:
            errors.append(e)
        raise
    if errors:
        raise errors[0]
    return layout, signed_layout, results


# ---- faults during the installation ------------------------------------------------------------

class FaultRun:
    """One installation under a fault: the prefix (kept open for a look), the robot's result and
    what the checks found."""

    def __init__(self, name, compress=None, big=True, stub=None):
        self.p = rig.Prefix("fault-" + name)
        self.p.install_flash("10")
        self.entries = payload_files(os.path.join(self.p.work, "payload"), big=big)
        self.contents = [open(e, "rb").read() for e in self.entries]
        self.exe = rig.pack(os.path.join(self.p.work, "setup.exe"), TITLE, self.entries, compress=compress,
                            stub=stub)
        self.layout = sspack_entries(self.exe)

    def run(self, script=None, copy_to=None, timeout=TIMEOUT):
        script = script or "answer timeout=%d shots=w" % timeout
        self.result = self.p.run(self.exe if "start" not in script else None, script, timeout=timeout + 10,
                                 copy_to=copy_to)
        return self.result

    def log_lines(self):
        if not self.p.exists(LOG) or os.path.isdir(self.p.unix(LOG)):
            return []
        return self.p.read_file(LOG).decode("cp1252").split("\r\n")[:-1]

    def unaccounted(self):
        """Installed paths that hold something other than their whole entry and are not in the log:
        what an uninstaller could not find."""
        logged = {l.lower() for l in self.log_lines()}
        out = []
        for path, content in zip(INSTALLED, self.contents):
            if self.p.exists(path) and self.p.read_file(path) != content and path.lower() not in logged:
                out.append(path)
        return out

    def fatal_stop(self):
        """The path the short-write stop named, or None when there was none."""
        for w in windows_seen(self.result):
            m = re.match(r"^Die Datei (.*) konnte nicht vollständig geschrieben werden\. Die Installation wurde "
                         r"abgebrochen\.$", unescape(w["message"] or ""))
            if w["caption"] == ERROR_CAPTION and m:
                return m.group(1)
        return None

    def success_shown(self):
        return any(any(t in SUCCESS_TEXTS for t in w["texts"]) or w["message"] in SUCCESS_TEXTS
                   for w in windows_seen(self.result))

    def close(self):
        self.p.close()


def expect_fatal_stop(run, destination):
    """Problems (empty: none) with a run that must end in the short-write stop naming destination,
    with every partial file logged and no success shown."""
    problems = []
    r = run.result
    named = run.fatal_stop()
    if r.exit_code != 1:
        problems.append("exit code %s, not 1" % r.exit_code)
    if named is None:
        problems.append("no short-write stop (windows: %s)" % [w["caption"] for w in windows_seen(r)])
    elif destination is not None and named.lower() != destination.lower():
        problems.append("the stop named %s, not %s" % (named, destination))
    if run.success_shown():
        problems.append("a success message came")
    lost = run.unaccounted()
    if lost:
        problems.append("partial and not logged: %s" % ", ".join(lost))
    return problems


def entry_sizes_on_disk(layout):
    """The bytes each destination takes on the drive, in 4 KB pages as tmpfs counts them."""
    return [((expanded or stored) + 4095) // 4096 * 4096 for _o, stored, expanded in layout]


def full_disk(entry, middle, compress):
    """Drive C with room for the entries before `entry` (and the log), plus half of `entry` when
    middle is set. The outcome: the stop names that entry (or an earlier one, should Wine's own
    files have taken a page), every partial file is logged, exit 1, no success."""
    name = "full-%s-%s-%d" % ("compressed" if compress else "stored", "middle" if middle else "before", entry)
    run = FaultRun(name, compress="best" if compress else None)
    try:
        sizes = entry_sizes_on_disk(run.layout)
        room = sum(sizes[:entry]) + (4096 if entry > 0 else 0)  # the log's first page once entry 0 is logged
        if middle:
            room += sizes[entry] // 2
        run.p.small_drive_c(room)
        run.run()
        named = run.fatal_stop()
        problems = expect_fatal_stop(run, None)
        if named and named.lower() not in [p.lower() for p in INSTALLED[:entry + 1]]:
            problems.append("the stop named %s, a later entry than %d" % (named, entry))
        stored = "compressed" if run.layout[entry][2] else "stored"
        what = "full disk %s entry %d (%s)" % ("in the middle of" if middle else "before", entry, stored)
        return what, problems, "fatal stop naming %s, exit %s, partial files logged or removed" % (
            (named or "?").split("\\")[-1], run.result.exit_code)
    finally:
        run.close()


def locked_destination():
    """The screen saver runs (its file held open, writers denied) while the installer replaces
    it: the replace question, then the stop naming the screen saver, which stays whole."""
    run = FaultRun("locked", big=False)
    try:
        # A stand-in for a running screen saver: keeps its file open, denying writers, until a
        # file of the same name plus ".release" appears (at most 60 s).
        run.p.copy_in(rig.fixture("hold_open.exe"), r"C:\e2e\hold_open.exe")
        old = b"MZ running screen saver"
        run.p.write_file(SCREEN_SAVER, old)
        run.p.copy_in(run.exe, r"C:\e2e\setup.exe")
        run.run("""
start "C:\\e2e\\hold_open.exe" -- %s
sleep 500
start "C:\\e2e\\setup.exe"
answer timeout=%d shots=w
end timeout=10
start "C:\\e2e\\hold_open.exe" -- release %s
end timeout=20
""" % (SCREEN_SAVER, TIMEOUT, SCREEN_SAVER))
        codes = [int(l.split()[-1]) for l in run.result.lines if l.startswith("exit code ")]
        run.result.exit_code = codes[0] if codes else None
        problems = expect_fatal_stop(run, SCREEN_SAVER)
        if run.p.read_file(SCREEN_SAVER) != old:
            problems.append("the running screen saver's file changed")
        return "destination locked (the screen saver runs)", problems, \
            "fatal stop naming %s, exit %s, the running file untouched" % (
                SCREEN_SAVER.split("\\")[-1], run.result.exit_code)
    finally:
        run.close()


def read_only_data_folder():
    """The data folder exists on a read-only mount: INSTALL.LOG cannot be opened, so the stop names
    it before the first entry, exit 1, and the screen saver is not written."""
    run = FaultRun("readonly", big=False)
    mount = None
    try:
        folder = run.p.unix(DATA)
        os.makedirs(folder)
        if os.geteuid() != 0:
            raise unittest.SkipTest("a read-only folder for root needs a bind mount")
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        mount = folder
        subprocess.run(["mount", "-o", "remount,ro,bind", folder], check=True)
        run.run()
        problems = expect_fatal_stop(run, LOG)
        if run.p.exists(SCREEN_SAVER):
            problems.append("the screen saver was written")
        return "data folder read-only", problems, "fatal stop naming %s, exit %s, nothing written" % (
            LOG.split("\\")[-1], run.result.exit_code)
    finally:
        if mount:
            subprocess.run(["umount", "-l", mount])
        run.close()


def log_not_creatable():
    """INSTALL.LOG cannot be created (a folder of that name): the stop names the log before the
    first entry, exit 1; no file, no uninstall key, no system.ini line."""
    run = FaultRun("nolog", big=False)
    try:
        os.makedirs(run.p.unix(LOG))
        run.run()
        problems = expect_fatal_stop(run, LOG)
        for path in INSTALLED:
            if run.p.exists(path):
                problems.append("%s was written" % path)
        if run.p.reg_values(KEY) is not None:
            problems.append("the uninstall key was made")
        if "scrnsave.exe" in run.p.system_ini().get("boot", {}):
            problems.append("system.ini names a screen saver")
        return "log not creatable", problems, "fatal stop naming %s, exit %s, nothing installed" % (
            LOG.split("\\")[-1], run.result.exit_code)
    finally:
        run.close()


def faults(quick=False):
    """Every fault as a function returning (what, problems, outcome text)."""
    out = []
    for compress in (False, True):
        for entry in range(4):
            for middle in (False, True):
                out.append(lambda e=entry, m=middle, c=compress: full_disk(e, m, c))
    out += [locked_destination, read_only_data_folder, log_not_creatable]
    return out


# ---- repeated installs -------------------------------------------------------------------------

def repeated_installs(count, report=None):
    """The same installer `count` times in one prefix with the real uninstaller run after every
    second install. After each install: the log holds one block per install since the last
    uninstall, the registry one key with the seven values, system.ini one screen-saver line, and
    nothing else anywhere. After each uninstall nothing of the product is left. Returns problems."""
    p = rig.Prefix("repeat")
    problems = []
    try:
        uninstaller = rig.product("uninstall", "UNINSTAL.EXE")
        entries = payload_files(os.path.join(p.work, "payload"))
        entries[2] = uninstaller
        contents = [open(e, "rb").read() for e in entries]
        exe = rig.pack(os.path.join(p.work, "setup.exe"), TITLE, entries, compress="best")
        p.install_flash("10")
        uninstall_before = p.reg_subkeys(layout.UNINSTALL_KEY)
        first = snapshot(p)
        blocks = 0
        for n in range(1, count + 1):
            before = snapshot(p)
            r = p.run(exe, "answer timeout=%d shots=w" % TIMEOUT, timeout=TIMEOUT + 10)
            blocks += 1
            found = []
            if r.exit_code != 0:
                found.append("exit code %s" % r.exit_code)
            found += installed_problems(p, contents, blocks)
            if p.reg_subkeys(layout.UNINSTALL_KEY) != sorted(uninstall_before + [TITLE]):
                found.append("uninstall keys %s" % p.reg_subkeys(layout.UNINSTALL_KEY))
            ini = p.read_file(layout.SYSTEM_INI).decode("cp1252").lower()
            if ini.count("scrnsave.exe=") != 1:
                found.append("system.ini has %d screen-saver lines" % ini.count("scrnsave.exe="))
            stray = outside_writes(changes(before, snapshot(p)), r"C:\e2e\setup.exe")
            if stray:
                found.append("stray files: %s" % stray[:4])
            folder = sorted(x.lower() for x in p.listdir(DATA))
            expected_folder = sorted(x.lower() for x in [TITLE + ".dat", layout.UNINSTALLER, layout.FIRST_EXTRA,
                                                         layout.INSTALL_LOG])
            if folder != expected_folder:
                found.append("data folder holds %s" % folder)
            if n % 2 == 0:
                r = p.run(None, 'start "%s" -- /s\nend timeout=30\n' % layout.uninstaller(TITLE), timeout=60)
                blocks = 0
                if r.exit_code != 0:
                    found.append("uninstaller exit code %s" % r.exit_code)
                left = [x for x in nothing_installed(p, uninstall_before)]
                left += [c for c in changes(first, snapshot(p))
                         if not WINE_OWN.match(c) and c not in ("e2e/", "e2e/setup.exe", _rel(layout.SYSTEM_INI),
                                                                "windows/win.ini", "fixture-log.txt")]
                # The uninstaller takes its system.ini line away only when it names this screen saver.
                if left:
                    found.append("after the uninstaller: %s" % left[:4])
            if report:
                report(n, count, found)
            problems += ["install %d: %s" % (n, f) for f in found]
        return problems
    finally:
        p.close()


# ---- installations killed anywhere -------------------------------------------------------------
# The quiet installer is killed from outside (SIGKILL to its process: no chance to clean up, as
# TerminateProcess) as soon as a watched file reaches a size: INSTALL.LOG holding some lines, an
# entry's destination some part of its bytes, the last entry complete (then the activation runs).
# Where exactly it stopped is read afterwards from what it left.

KILL_EXTRA = DATA + "\\FILE0001.TXT"
KILL_DESTINATIONS = INSTALLED + [KILL_EXTRA]
ENTRY_NAMES = ["screen saver", "data file", "uninstaller", "movie", "further file"]


def kill_payload(folder):
    """About 5 MB: the screen saver and a further file of text (compressed), the data file and the
    movie of random bytes (stored), the real uninstaller between them. The stored movie is the
    large further file behind the uninstaller; the last file's fourth byte is the version the
    Flash check reads, so it starts like a movie too."""
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(23)
    text = word_text(rng)
    bodies = (("sample.scr", open(rig.fixture("fake_scr.scr"), "rb").read() + text(900 * 1024)),
              ("sample.dat", rng.randbytes(1200 * 1024)),
              ("uninstal.exe", None),
              ("movie.swf", rig.movie_bytes(9, 12) + rng.randbytes(1500 * 1024)),
              ("notes.txt", rig.movie_bytes(9, 0) + text(1000 * 1024)))
    paths = []
    for name, body in bodies:
        if body is None:
            paths.append(rig.product("uninstall", "UNINSTAL.EXE"))
            continue
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(body)
        paths.append(path)
    return paths


def _kill_when(prefix, argv, winpath, size, timeout=TIMEOUT):
    """Runs a Wine program in prefix and kills it as soon as winpath holds at least size bytes
    (size 0: as soon as it exists). Returns the exit status (negative: the signal)."""
    target = prefix.unix(winpath)
    p = rig._popen(["wine"] + argv, env=prefix.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    prefix._server_may_run = True
    began = time.time()
    rc = None
    while rc is None and time.time() - began < timeout:
        try:
            if os.stat(target).st_size >= size:
                os.kill(p.pid, 9)
        except OSError:
            pass
        rc = p.poll()
    rig._end(p)
    prefix.settle()
    return rc


def _wine(prefix, argv, timeout=TIMEOUT):
    p = rig._popen(["wine"] + argv, env=prefix.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    prefix._server_may_run = True
    try:
        rc = p.wait(timeout)
    except subprocess.TimeoutExpired:
        rc = None
    rig._end(p)
    prefix.settle()
    return rc


class KillPoint:
    def __init__(self, label, winpath, size):
        self.label, self.winpath, self.size = label, winpath, size


def kill_points(contents, full=True):
    """Where to kill: when the log holds k lines, at fractions of each entry's bytes, and when the
    last entry is complete (the activation). reduced: the three kinds of point the mends are about."""
    lines = [len(p) + 2 for p in KILL_DESTINATIONS]
    points = []
    for k in range(len(lines)):
        what = "log line of the %s written" % ENTRY_NAMES[k]
        if k == 2:
            what = "log line of the uninstaller (before its file and values)"
        if full or k == 2:
            points.append(KillPoint(what, LOG, sum(lines[:k + 1])))
    fractions = (0, 0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9) if full else (0.5,)
    for k, (name, path, content) in enumerate(zip(ENTRY_NAMES, KILL_DESTINATIONS, contents)):
        if not full and k not in (0, 3):
            continue
        for f in fractions:
            points.append(KillPoint("%s, %s" % (name, "created" if f == 0 else "%d %% written" % (f * 100)), path,
                                    int(len(content) * f)))
    if full:
        points.append(KillPoint("activation (every entry complete)", KILL_DESTINATIONS[-1], len(contents[-1])))
    return points


class KillCampaign:
    """The packed installer and its files' contents."""

    def __init__(self, folder):
        os.makedirs(folder, exist_ok=True)
        self.entries = kill_payload(os.path.join(folder, "payload"))
        self.contents = [open(e, "rb").read() for e in self.entries]
        self.exe = rig.pack(os.path.join(folder, "setup.exe"), TITLE, self.entries, compress="best",
                            stub=rig.INSTALLER_QUIET)
        self.layout = sspack_entries(self.exe)

    def prefix(self, name):
        p = rig.Prefix(name)
        p.install_flash("10")
        p.copy_in(self.exe, r"C:\e2e\setup.exe")
        return p

    def installed(self, p):
        problems = []
        for path, content in zip(KILL_DESTINATIONS, self.contents):
            if not p.exists(path) or p.read_file(path) != content:
                problems.append("%s is not whole" % path)
        values = p.reg_values(KEY)
        if values is None or set(values) != layout.UNINSTALL_VALUES:
            problems.append("uninstall key values %s" % (sorted(values) if values else None))
        if TITLE.lower() not in p.system_ini().get("boot", {}).get("scrnsave.exe", "").lower():
            problems.append("system.ini names no %s.scr" % TITLE)
        return problems

    def stopped_at(self, p):
        """Where the killed run stopped, from what it left."""
        values = p.reg_values(KEY)
        key = "key: %s" % ("%d values" % len(values) if values else "bare" if values is not None else "none")
        logged = p.read_file(LOG).count(b"\r\n") if p.exists(LOG) else 0
        parts = []
        for name, path, content in zip(ENTRY_NAMES, KILL_DESTINATIONS, self.contents):
            if p.exists(path):
                size = len(p.read_file(path))
                parts.append("%s %d %%" % (name, size * 100 // len(content)))
        ini = TITLE.lower() in p.system_ini().get("boot", {}).get("scrnsave.exe", "").lower()
        where = parts[-1] if parts else "no entry"
        return "%s; %d lines; %s%s" % (key, logged, where, "; system.ini" if ini else "")


def product_left(p, first, uninstall_before):
    """What the product left on drive C, in the registry and in system.ini compared with the
    snapshot taken before its first run."""
    left = nothing_installed(p, uninstall_before)
    if p.reg_values(KEY) is not None:
        left.append("the uninstall key")
    left += [c for c in changes(first, snapshot(p))
             if not WINE_OWN.match(c) and not c.startswith("e2e/") and
             c not in (_rel(layout.SYSTEM_INI), "windows/win.ini", "fixture-log.txt")]
    return left


def uninstall(p):
    """The registered uninstaller, silently, as the installer starts it: (exit code, problems)."""
    command = p.reg_value(KEY, "UninstallString")
    if not command:
        return None, ["no UninstallString"]
    # The installer quotes the path (an older one wrote it bare); the system runs what the quotes hold.
    path = command[1:].split('"', 1)[0] if command.startswith('"') else command
    if not p.exists(path):
        return None, ["UninstallString names a missing file"]
    return _wine(p, [path, "/s"]), []


def kill_once(campaign, point, name):
    """One kill point: returns (state after the kill, problems)."""
    p = campaign.prefix("kill-" + name)
    q = None
    problems = []
    try:
        uninstall_before = p.reg_subkeys(layout.UNINSTALL_KEY)
        first = snapshot(p)
        rc = _kill_when(p, [r"C:\e2e\setup.exe"], point.winpath, point.size)
        state = campaign.stopped_at(p) if rc != 0 else "ran to its end before the kill"
        values = p.reg_values(KEY)
        registered = values is not None and "uninstallstring" in values
        whole_uninstaller = p.exists(INSTALLED[2]) and p.read_file(INSTALLED[2]) == campaign.contents[2]
        # (c) the uninstaller straight away, on a copy of the killed prefix
        if registered:
            q = rig.Prefix("kill-%s-u" % name)
            shutil.rmtree(q.path)
            rig._copy_tree(p.path, q.path)
            if not whole_uninstaller:
                problems.append("the uninstall entry names an uninstaller that is not whole")
            else:
                rc, found = uninstall(q)
                if rc != 0:
                    found.append("uninstaller straight away: exit %s" % rc)
                found += ["left after the uninstaller straight away: %s" % x
                          for x in product_left(q, first, uninstall_before)]
                problems += found
        # (a) the same installer again, (b) then the uninstaller; the robot records what it showed
        r = p.run(None, 'start "C:\\e2e\\setup.exe"\nanswer timeout=%d shots=none\n' % TIMEOUT, timeout=TIMEOUT + 10)
        if r.exit_code != 0:
            problems.append("second run: exit %s" % r.exit_code)
        found = campaign.installed(p)
        if found:
            seen = ", ".join(w["class"] for w in windows_seen(r)) or "none"
            found.append("its windows: %s" % seen)
        problems += ["second run: %s" % x for x in found]
        rc, found = uninstall(p)
        problems += found
        if rc != 0:
            problems.append("uninstaller after the second run: exit %s" % rc)
        problems += ["left after the uninstaller: %s" % x for x in product_left(p, first, uninstall_before)]
        return state, problems
    finally:
        if q:
            q.close()
        p.close()
        if not problems:
            shutil.rmtree(p.work, ignore_errors=True)
            if q:
                shutil.rmtree(q.work, ignore_errors=True)


def kill_campaign(full=True, report=None):
    """Every kill point: [(KillPoint, state, problems)]."""
    campaign = KillCampaign(os.path.join(rig.BUILD, "reliability-kill"))
    points = kill_points(campaign.contents, full)
    results = []
    for n, point in enumerate(points):
        began = time.time()
        state, problems = kill_once(campaign, point, "%02d" % n)
        results.append((point, state, problems))
        if report:
            report(n, len(points), point, state, problems, time.time() - began)
    return campaign, results


# ---- the uninstaller under faults --------------------------------------------------------------
# Each fault: a quiet installation of the real uninstaller, one change made to it, the uninstaller
# with "/s"; its exit code, the files, folders, key and system.ini it left, and nothing else on
# drive C changed.

class UninstallRun:
    def __init__(self, name):
        self.p = rig.Prefix("unfault-" + name)
        self.p.install_flash("10")
        entries = payload_files(os.path.join(self.p.work, "payload"))
        entries[2] = rig.product("uninstall", "UNINSTAL.EXE")
        exe = rig.pack(os.path.join(self.p.work, "setup.exe"), TITLE, entries, compress="best",
                       stub=rig.INSTALLER_QUIET)
        self.uninstall_before = self.p.reg_subkeys(layout.UNINSTALL_KEY)
        self.first = snapshot(self.p)
        self.p.copy_in(exe, r"C:\e2e\setup.exe")
        if _wine(self.p, [r"C:\e2e\setup.exe"]) != 0:
            raise rig.RigError("the installation failed")
        self.log = self.p.read_file(LOG)

    def uninstall(self, script="", answer=""):
        """The uninstaller started by the robot after script's own steps, with "/s" or, given the
        steps that answer its windows, without; its exit code (self.result: the robot's Result)."""
        start = 'start "%s"%s' % (layout.uninstaller(TITLE), "" if answer else " -- /s")
        self.result = self.p.run(None, '%s\n%s\n%s\nend timeout=30\n' % (script, start, answer), timeout=60)
        codes = [int(l.split()[-1]) for l in self.result.lines if l.startswith("exit code ")]
        return codes[-1] if codes else None

    def left(self, allowed=()):
        """Everything of the product left, apart from the paths allowed to stay (lower-case rel)."""
        return [x for x in product_left(self.p, self.first, self.uninstall_before) if x not in allowed]

    def close(self):
        self.p.close()


def _kept_for_repeat(run):
    """A run that could not remove a file keeps the log, the key and the uninstaller for a repeat."""
    problems = []
    if not run.p.exists(LOG):
        problems.append("the log went")
    if not run.p.exists(INSTALLED[2]):
        problems.append("the uninstaller went")
    if set(run.p.reg_values(KEY) or {}) != layout.UNINSTALL_VALUES:
        problems.append("the uninstall key went")
    return problems


def unfault_in_use():
    """The screen saver runs (its file held open): it is named as not removed, and the log, the key
    and the uninstaller stay for a second run, which then removes everything."""
    run = UninstallRun("in-use")
    try:
        run.p.copy_in(rig.fixture("hold_open.exe"), r"C:\e2e\hold_open.exe")
        box = 'wait class=#32770 caption="Bildschirmschoner entfernen" timeout=20'
        rc = run.uninstall('start "C:\\e2e\\hold_open.exe" -- %s\nsleep 500' % SCREEN_SAVER,
                           answer='%s\npress "Ja"\n%s\nrecord rect=no style=no\npress "OK"' % (box, box))
        problems = [] if rc == 1 else ["exit %s, not 1" % rc]
        messages = [unescape(w["message"] or "") for w in windows_seen(run.result)]
        report = messages[-1] if messages else ""
        if "nicht gelöscht werden:\n%s\n" % SCREEN_SAVER not in report.replace("\\n", "\n"):
            problems.append("the report does not name the screen saver: %r" % report[:200])
        if not run.p.exists(SCREEN_SAVER):
            problems.append("the running screen saver went")
        problems += _kept_for_repeat(run)
        others = [x for x in run.left() if x not in (_rel(SCREEN_SAVER), _rel(LOG), _rel(INSTALLED[2]),
                                                       _rel(DATA) + "/", _rel(layout.PRODUCT_FOLDER) + "/",
                                                       _rel(layout.PUBLISHER_FOLDER) + "/",
                                                       "the screen saver was written", "the data folder was made",
                                                       "the uninstall key changed", "the uninstall key",
                                                       "system.ini names a screen saver")]
        if others:
            problems.append("also left: %s" % others[:4])
        rc = run.uninstall('start "C:\\e2e\\hold_open.exe" -- release %s\nend timeout=20' % SCREEN_SAVER)
        if run.p.exists(SCREEN_SAVER + ".release"):
            os.remove(run.p.unix(SCREEN_SAVER + ".release"))  # the stand-in's own signal
        if rc != 0:
            problems.append("second run: exit %s" % rc)
        problems += ["second run left %s" % x for x in run.left()]
        return "screen saver in use", problems, "report names it, exit 1, log/key/uninstaller kept; second run clean"
    finally:
        run.close()


def _clean_after(name, what, change, expect_rc=0, allowed=()):
    """A fault after which the uninstaller must still remove everything (exit expect_rc)."""
    run = UninstallRun(name)
    try:
        change(run)
        rc = run.uninstall()
        problems = [] if rc == expect_rc else ["exit %s, not %s" % (rc, expect_rc)]
        problems += ["left %s" % x for x in run.left(allowed)]
        return what, problems, "exit %s, nothing of the product left" % rc
    finally:
        run.close()


def _set_log(run, data):
    run.p.write_file(LOG, data)


def uninstaller_faults(quick=False):
    """Every uninstaller fault as a function returning (what, problems, outcome text); quick: the
    three whose handling is least obvious."""
    lines = lambda log: [l + b"\r\n" for l in log.split(b"\r\n")[:-1]]
    repaired = lambda: _clean_after("repaired", "the log of a repaired installation (two blocks)",
                                    lambda r: _set_log(r, r.log * 2))
    # A kill between a line's path and its CR LF leaves it so: the path is whole.
    cut = lambda: _clean_after("cut", "a log cut inside its last line end (CR only)",
                               lambda r: _set_log(r, r.log[:-1]))
    if quick:
        return [unfault_in_use, repaired, cut]
    return [
        unfault_in_use,
        lambda: _clean_after("read-only", "read-only installed files",
                             lambda r: os.chmod(r.p.unix(INSTALLED[1]), 0o444) or
                             r.p.wine("attrib", "+r", INSTALLED[3])),
        lambda: _clean_after("deleted", "an installed file already deleted",
                             lambda r: os.remove(r.p.unix(INSTALLED[3]))),
        repaired,
        lambda: _clean_after("twice", "a log that names a file twice",
                             lambda r: _set_log(r, r.log + lines(r.log)[1])),
        cut,
        lambda: _clean_after("no-line-end", "a log without its last line end",
                             lambda r: _set_log(r, r.log[:-2])),
        lambda: _clean_after("empty-line", "a log with empty lines",
                             lambda r: _set_log(r, b"\r\n" + b"\r\n".join(lines(r.log)))),
        lambda: _clean_after("key-gone", "the uninstall key already gone",
                             lambda r: r.p.wine("reg", "delete", KEY.replace("HKLM\\Software", "HKLM\\Software\\"
                                                                                 "Wow6432Node"), "/f")),
        unfault_foreign_file,
    ]


def unfault_foreign_file():
    """A file the log does not name in the data folder: it and its folders stay, the rest goes."""
    run = UninstallRun("foreign")
    try:
        other = DATA + r"\notes.txt"
        run.p.write_file(other, b"the user's own")
        rc = run.uninstall()
        problems = [] if rc == 0 else ["exit %s, not 0" % rc]
        if not run.p.exists(other) or run.p.read_file(other) != b"the user's own":
            problems.append("the unnamed file went or changed")
        allowed = {_rel(other), _rel(DATA) + "/", _rel(layout.PRODUCT_FOLDER) + "/",
                   _rel(layout.PUBLISHER_FOLDER) + "/", "the data folder was made"}
        problems += ["left %s" % x for x in run.left(allowed)]
        return "a file the log does not name", problems, "exit %s, the file and its folders stay" % rc
    finally:
        run.close()
