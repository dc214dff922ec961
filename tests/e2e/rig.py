"""The end-to-end rig: runs the 32-bit product (and the 64-bit test programs beside it) under
Wine on a private X display, with the robot playing the user, and lets a scenario look at what
they left behind.

Python 3 standard library only. See README.md beside this file for the API.
"""
import atexit
import difflib
import fcntl
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest

import layout

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.abspath(os.environ.get("SSP_BUILD") or os.path.join(REPO, "build"))
WIN32 = os.path.join(BUILD, "win32")
WIN64 = os.path.join(BUILD, "win64")
HOST = os.path.join(BUILD, "host")
E2E_BIN = os.path.join(WIN64, "tests", "e2e")
E2E_BIN32 = os.path.join(WIN32, "tests", "e2e")
ROBOT = os.path.join(E2E_BIN, "robot.exe")
PROBE = os.path.join(E2E_BIN32, "probe.exe")
PROBE_EXIT = 32
# The shipped binaries: the PE32 installers, and (through product()) the uninstaller and sample.
INSTALLER = os.path.join(WIN32, "app", "installer.exe")
INSTALLER_QUIET = os.path.join(WIN32, "app", "installer-quiet.exe")
SSPACK = os.path.join(HOST, "sspack", "sspack")
EXPECTED = os.path.join(HERE, "expected")
WORK = os.path.join(BUILD, "e2e-work")
PRISTINE = os.path.join(BUILD, "wineprefix-pristine")

FLASH_CLSID_KEY = r"HKCR\CLSID\{d27cdb6e-ae6d-11cf-96b8-444553540000}\InprocServer32"
FIXTURE_LOG = r"C:\fixture-log.txt"

# Mono and Gecko would offer their installers in dialogs; the menu builder would write into $HOME.
BASE_OVERRIDES = {"mscoree": "", "mshtml": "", "winemenubuilder.exe": "d"}
SCREEN = (1024, 768)


class RigError(Exception):
    """The rig itself could not do its part (no Wine, no display, a missing build)."""


def fixture(name):
    """Host path of a built fixture: a 64-bit stand-in of the win64 kind, e.g.
    fixture('fake_scr.scr'), or a 32-bit helper of the win32 kind ('deny_key.exe', 'hold_open.exe')."""
    for folder in (E2E_BIN, E2E_BIN32):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return path
    raise RigError("fixture %s is not built (make BUILD=%s win32 win64)" % (name, BUILD))


def product(*parts):
    """Host path of a shipped PE32 program or file of the win32 build, e.g.
    product('uninstall', 'UNINSTAL.EXE'), product('sample', 'sample.scr')."""
    path = os.path.join(WIN32, *parts)
    if not os.path.exists(path):
        raise RigError("%s is not built (make BUILD=%s win32)" % (path, BUILD))
    return path


def log(message):
    if os.environ.get("E2E_VERBOSE"):
        sys.stderr.write("[rig] %s\n" % message)


# ---- processes -------------------------------------------------------------------------------

_started = []  # every Popen this rig started and has not yet reaped


def _popen(argv, env=None, **kw):
    p = subprocess.Popen(argv, env=env, start_new_session=True, **kw)
    _started.append(p)
    return p


def _end(p, grace=2.0):
    """Ends one process this rig started (its whole session), by its pid."""
    if p.poll() is None:
        try:
            os.killpg(p.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            p.wait(grace)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait()
    if p in _started:
        _started.remove(p)


_open_prefixes = []  # prefixes not yet closed: their Wine sessions end with the rig, come what may


def _end_all():
    for prefix in list(_open_prefixes):
        prefix.close()
    for p in list(_started):
        _end(p)


atexit.register(_end_all)


# ---- the display and the locale -----------------------------------------------------------------

_display = None
_more_displays = []


def start_display():
    """Starts an Xvfb of the rig's own (on a free display number), ended with the rig: (':N', process)."""
    if not shutil.which("Xvfb"):
        raise RigError("Xvfb is missing (make deps)")
    r, w = os.pipe()
    os.makedirs(BUILD, exist_ok=True)
    said = open(os.path.join(BUILD, "e2e-xvfb.log"), "w+")
    p = _popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp",
                "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=said)
    os.close(w)
    number = b""
    deadline = time.time() + 20
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(r, 16)
        if not chunk:
            break
        number += chunk
    os.close(r)
    if not number.strip():
        _end(p)
        said.seek(0)
        raise RigError("Xvfb did not start%s. Its last words are above; a display lock left in /tmp/.X*-lock "
                       "by a killed run, or a missing xvfb package (make deps), are the usual causes"
                       % _last_lines(said.read(), ":\n  "))
    said.close()
    log("display :%s" % number.decode().strip())
    return ":" + number.decode().strip(), p


def display(number=0):
    """The rig's own Xvfb (started once per run, on a free display number): ':N'. number=1, 2, ...
    a further one each, for programs run side by side (started on first use as well)."""
    global _display
    if not _display:
        _display = start_display()
    if number == 0:
        return _display[0]
    while len(_more_displays) < number:
        _more_displays.append(start_display())
    return _more_displays[number - 1][0]


_locale_env = None


def locale_env():
    """A German user locale for Wine, so system buttons read "Abbrechen", "Ja", "Nein".

    The machine may not have de_DE generated; then it is compiled once into the build root.
    """
    global _locale_env
    if _locale_env is not None:
        return _locale_env
    have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower()
    env = {"LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"}
    if "de_de.utf8" not in have and "de_de.utf-8" not in have:
        root = os.path.join(BUILD, "e2e-locale")
        if not os.path.isdir(os.path.join(root, "de_DE.UTF-8")):
            os.makedirs(root, exist_ok=True)
            done = subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8",
                                   os.path.join(root, "de_DE.UTF-8")], capture_output=True)
            if done.returncode not in (0, 1) or not os.path.isdir(os.path.join(root, "de_DE.UTF-8")):
                sys.stderr.write("rig: no German locale; Wine's own buttons will be English\n")
                env = {}
        if env:
            env["LOCPATH"] = root
    _locale_env = env
    return env


def wine_env(prefix, overrides=None, on_display=None):
    env = dict(os.environ)
    for k in ("WINELOADER", "WINESERVER", "WINEDLLPATH"):
        env.pop(k, None)
    env.update(locale_env())
    all_overrides = dict(BASE_OVERRIDES)
    all_overrides.update(overrides or {})
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win64",
        "WINEDEBUG": os.environ.get("E2E_WINEDEBUG", "-all"),
        "DISPLAY": on_display or display(),
        "WINEDLLOVERRIDES": ";".join("%s=%s" % kv for kv in sorted(all_overrides.items())),
    })
    return env


def wineserver(prefix, *args, timeout=30):
    env = wine_env(prefix)
    p = _popen(["wineserver"] + list(args), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        p.wait(timeout)
        ok = True
    except subprocess.TimeoutExpired:
        ok = False
    _end(p)
    return ok


# ---- the pristine prefix ------------------------------------------------------------------------

def pristine_prefix():
    """A 64-bit Wine prefix booted once and cached under the build root; rebuilt when missing, or
    when Wine's version, its installed loaders or the recipe below changed."""
    stamp = os.path.join(PRISTINE, ".e2e-ready")
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip() \
        if shutil.which("wine") else ""
    version += " " + PREFIX_RECIPE + " loaders " + ",".join(wine_loaders())

    def ready():
        # Built by this Wine; a prefix of another version would be updated on every start.
        if not os.path.exists(stamp):
            return False
        with open(stamp) as f:
            return f.readline().strip() == version
    if ready():
        return PRISTINE
    if not shutil.which("wine"):
        raise RigError("wine is missing (make deps)")
    os.makedirs(BUILD, exist_ok=True)
    with open(PRISTINE + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if ready():
            return PRISTINE
        fresh = PRISTINE + ".new"
        shutil.rmtree(fresh, ignore_errors=True)
        shutil.rmtree(PRISTINE, ignore_errors=True)
        sys.stderr.write("rig: building the Wine prefix %s (once)\n" % PRISTINE)
        started = time.time()
        env = wine_env(fresh)
        env["WINEDEBUG"] = "-all,err+all"
        said = open(PRISTINE + ".boot.log", "w+")
        p = _popen(["wine", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=said)
        try:
            p.wait(300)
        except subprocess.TimeoutExpired:
            _end(p)
            wineserver(fresh, "-k")
            raise RigError("wineboot did not finish in 300 s%s" % _boot_failure(said))
        _end(p)
        if not wineserver(fresh, "-w", timeout=120):
            wineserver(fresh, "-k")
        if not os.path.exists(os.path.join(fresh, "system.reg")):
            raise RigError("the Wine prefix %s did not boot: wineboot left no registry%s" % (fresh, _boot_failure(said)))
        said.close()
        # Windows not handed to a window manager: there is none on the rig's display, and Wine
        # would wait two seconds for one at every window that closes.
        _append_reg(os.path.join(fresh, "user.reg"), r"Software\Wine\X11 Driver", "Managed", '"N"')
        # No debugger for a crash: a program that dies ends with its exception code, as the
        # scenarios expect, instead of leaving Wine's debugger waiting (under qemu-i386 it never ends).
        for view in ("", "Wow6432Node\\"):
            key = r"Software\%sMicrosoft\Windows NT\CurrentVersion\AeDebug" % view
            _append_reg(os.path.join(fresh, "system.reg"), key, "Debugger", '""')
            _append_reg(os.path.join(fresh, "system.reg"), key, "Auto", '"1"')
        with open(os.path.join(fresh, ".e2e-ready"), "w") as f:
            f.write("%s\nbooted in %.1f s\n" % (version, time.time() - started))
        os.rename(fresh, PRISTINE)
        sys.stderr.write("rig: prefix ready after %.1f s\n" % (time.time() - started))
    return PRISTINE


# Changes to how the pristine prefix is made are counted here, so caches made before rebuild.
PREFIX_RECIPE = "recipe 3"

# What tells which loaders Wine has: the 32-bit one with its i386 libraries, the 64-bit one, and
# the i386 libraries of the WoW64 mode. A prefix booted before the i386 loader came cannot start
# any program afterwards ("could not load kernel32.dll"), so the cache is keyed by these too.
_LOADER_MARKS = ("/usr/lib/wine/wine", "/usr/lib/wine/wine64",
                 "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll",
                 "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll",
                 "/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll")


def wine_loaders():
    """The loader marks present on this machine, plus wine64 when it is on the PATH."""
    have = [m for m in _LOADER_MARKS if os.path.exists(m)]
    if shutil.which("wine64"):
        have.append(shutil.which("wine64"))
    return have


def check_pe32():
    """Starts the PE32 probe in a scratch prefix and raises RigError, naming the cause and the fix,
    unless it ends with its own exit code: every scenario runs the 32-bit product."""
    if not os.path.exists(PROBE):
        raise RigError("the PE32 probe is not built (make BUILD=%s win32)" % BUILD)
    p = Prefix("pe32-probe")
    try:
        done = p.wine(PROBE, timeout=120)
    finally:
        p.close()
    if done.returncode == PROBE_EXIT:
        return
    err = done.stderr.decode(errors="replace").strip().splitlines()
    cause = "Wine cannot start a 32-bit Windows program here (the probe %s ended with %s%s)" % (
        os.path.relpath(PROBE, BUILD), done.returncode, (": " + err[-1]) if err else "")
    raise RigError("%s. The tests run the shipped PE32 installer. %s" % (
        cause, i386_problem() or "Wine's own last words are above; `make deps` sets up its 32-bit loader."))


I386_LOADER = "/lib/ld-linux.so.2"
QEMU_HANDLER = "/proc/sys/fs/binfmt_misc/qemu-i386"


def i386_problem():
    """Why Wine's 32-bit loader cannot run on this machine, with the fix; None when none is known."""
    if not os.path.exists("/usr/lib/wine/wine") or not os.path.exists(I386_LOADER):
        return ("Debian's 32-bit Wine (wine32:i386) is not installed: run `make deps` (as root: "
                "dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386).")
    try:
        runs = subprocess.run([I386_LOADER, "--version"], capture_output=True).returncode == 0
    except OSError:
        runs = False
    if not runs:
        return ("This kernel runs no i386 programs (%s --version: Exec format error) and no qemu-i386 "
                "handler is registered in binfmt_misc: run `make deps`, which installs qemu-user-static "
                "and wine32-preloader:i386 and registers the handler." % I386_LOADER)
    emulated = os.path.exists(QEMU_HANDLER) and "enabled" in open(QEMU_HANDLER).read().split()
    if emulated and not os.path.exists("/usr/lib/wine/wine-preloader"):
        return ("Wine's 32-bit loader runs under qemu-i386 here, and without wine32-preloader:i386 it stops at "
                "once (\"failed to map the shared user data\"): run `make deps`.")
    return None


def _last_lines(text, lead, count=6):
    lines = [l for l in text.strip().splitlines() if l.strip()][-count:]
    return lead + "\n  ".join(lines) if lines else ""


def _boot_failure(said):
    """The end of a failed wineboot's error lines, and what is known wrong with the loader."""
    said.seek(0)
    text = _last_lines(said.read(), "; Wine's last error lines:\n  ")
    problem = i386_problem()
    return text + ("\n" + problem if problem else "\nThe whole log: %s" % said.name)


def _append_reg(path, rel_key, name, data):
    """Adds one value to a registry file while no Wine process runs; the later entry wins."""
    label = "@" if name == "" else '"%s"' % _reg_escape(name)
    with open(path, "a", encoding="utf-8") as f:
        f.write("\n[%s] %d\n%s=%s\n" % (rel_key.replace("\\", "\\\\"), int(time.time()), label, data))


# Files that Wine only reads are linked, not copied: a fresh prefix then costs a fraction of a
# second. Everything a program may write in place (registry, ini files) is a real copy.
_LINKABLE = (".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".ax", ".ds", ".nls",
             ".ttf", ".fon", ".mui", ".manifest", ".cat", ".msstyles", ".com", ".vxd")


def _copy_tree(src, dst, link=True):
    os.makedirs(dst, exist_ok=True)
    for name in os.listdir(src):
        s, d = os.path.join(src, name), os.path.join(dst, name)
        if os.path.islink(s):
            os.symlink(os.readlink(s), d)
        elif os.path.isdir(s):
            _copy_tree(s, d, link)
        elif link and name.lower().endswith(_LINKABLE):
            os.link(s, d)
        else:
            shutil.copy2(s, d)


# ---- registry files -------------------------------------------------------------------------------

def _unescape(text):
    out, i = [], 0
    simple = {"n": "\n", "r": "\r", "t": "\t", "0": "\0", "\\": "\\", '"': '"', "a": "\a", "b": "\b",
              "e": "\x1b", "f": "\f", "v": "\v"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
                out.append(chr(int(m.group(0), 16)) if m else "x")
                i += 2 + (len(m.group(0)) if m else 0)
                continue
            out.append(simple.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def _parse_value(raw):
    """A value of a Wine .reg file: (type, python value)."""
    if raw.startswith('"'):
        return "REG_SZ", _unescape(raw[1:-1] if raw.endswith('"') else raw[1:])
    m = re.match(r"str\((\d+)\):\"(.*)\"$", raw, re.S)
    if m:
        kind = {"1": "REG_SZ", "2": "REG_EXPAND_SZ", "7": "REG_MULTI_SZ"}.get(m.group(1), "REG_SZ")
        return kind, _unescape(m.group(2))
    if raw.startswith("dword:"):
        return "REG_DWORD", int(raw[6:], 16)
    m = re.match(r"hex(?:\((\w+)\))?:(.*)$", raw, re.S)
    if m:
        data = bytes(int(h, 16) for h in re.findall(r"[0-9a-fA-F]{2}", m.group(2)))
        kind = {None: "REG_BINARY", "2": "REG_EXPAND_SZ", "7": "REG_MULTI_SZ", "b": "REG_QWORD"}.get(
            m.group(1), "REG_" + str(m.group(1)))
        if kind in ("REG_EXPAND_SZ", "REG_MULTI_SZ"):
            return kind, data.decode("utf-16-le").rstrip("\0")
        return kind, data
    return "REG_UNKNOWN", raw


def read_reg_file(path):
    """{lower-case key path: {value name as written ('' = default): (type, value)}} plus a map
    of the keys' spelling: the whole of one Wine registry file."""
    keys, spelled = {}, {}
    current = None
    pending = ""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            line = line.rstrip("\n")
            if pending:
                line = pending + line.lstrip()
                pending = ""
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            if line.startswith("["):
                m = re.match(r"\[(.*)\]\s*\d*\s*$", line)
                if not m:
                    continue
                name = _unescape(m.group(1))
                current = keys.setdefault(name.lower(), {})
                spelled[name.lower()] = name
            elif current is not None and (line.startswith('"') or line.startswith("@")):
                if line.startswith("@="):
                    current[""] = _parse_value(line[2:])
                    continue
                m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line, re.S)
                if m:
                    current[_unescape(m.group(1))] = _parse_value(m.group(2))
    return keys, spelled


# The classes a 32-bit program sees apart from a 64-bit one (the rest of HKCR is shared).
_CLASSES_OF_32BIT = ("appid", "clsid", "directshow", "interface", "media type", "mediafoundation", "protocols",
                     "typelib")


def _split_hive(key, view=32):
    """'HKLM\\Software\\X' -> ('system.reg', 'Software\\Wow6432Node\\X'): where a key lives in the
    prefix's registry files as a program of the given width (32 or 64) opens it. On 64-bit
    Windows, and in the rig's 64-bit prefix, a 32-bit program's HKLM\\Software is redirected to
    Software\\Wow6432Node, and its class registrations (CLSID, ...) to Classes\\Wow6432Node."""
    parts = key.replace("/", "\\").split("\\", 1)
    hive, rest = parts[0].upper(), parts[1] if len(parts) > 1 else ""
    if hive in ("HKCU", "HKEY_CURRENT_USER"):
        return "user.reg", rest
    if hive in ("HKLM", "HKEY_LOCAL_MACHINE"):
        m = re.match(r"software(?:\\(.*))?$", rest, re.I | re.S)
        if not m or view == 64:
            return "system.reg", rest
        rest = m.group(1) or ""
        m = re.match(r"classes(?:\\(.*))?$", rest, re.I | re.S)
        if not m:
            return "system.reg", "Software\\" + layout.WOW64_NODE + ("\\" + rest if rest else "")
        hive, rest = "HKCR", m.group(1) or ""
    if hive in ("HKCR", "HKEY_CLASSES_ROOT"):
        if view == 32 and rest.split("\\")[0].lower() in _CLASSES_OF_32BIT:
            rest = layout.WOW64_NODE + "\\" + rest
        return "system.reg", "Software\\Classes" + ("\\" + rest if rest else "")
    raise ValueError("unknown hive in %r" % key)


def _reg_escape(text):
    out = []
    for c in text:
        if c in '"\\':
            out.append("\\" + c)
        elif c == "\n":
            out.append("\\n")
        elif ord(c) < 32 or ord(c) > 126:
            out.append("\\x%04x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


# ---- screenshots ------------------------------------------------------------------------------

class Image:
    """A screenshot in memory: width, height, pixel(x, y) -> (r, g, b). Reads 24/32-bit BMP."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            data = f.read()
        if data[:2] != b"BM":
            raise RigError("%s is not a BMP" % path)
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, height = struct.unpack_from("<ii", data, 18)
        bits = struct.unpack_from("<H", data, 28)[0]
        if bits not in (24, 32):
            raise RigError("%s: %d bits per pixel" % (path, bits))
        self.height = abs(height)
        self._bottom_up = height > 0
        self._step = bits // 8
        self._row = (self.width * self._step + 3) & ~3
        self._data = data
        self._offset = offset

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError("pixel (%d, %d) outside %dx%d" % (x, y, self.width, self.height))
        row = self.height - 1 - y if self._bottom_up else y
        i = self._offset + row * self._row + x * self._step
        b, g, r = self._data[i], self._data[i + 1], self._data[i + 2]
        return (r, g, b)

    def row(self, y, x0=0, x1=None):
        return [self.pixel(x, y) for x in range(x0, self.width if x1 is None else x1)]

    def save_png(self, path):
        """Converts with ImageMagick, for people to look at."""
        subprocess.run(["convert", self.path, path], check=True, capture_output=True)
        return path


# ---- one run ----------------------------------------------------------------------------------

class Result:
    """What one run left: the robot's exit status, the program's exit code (None when the robot
    did not see it end), the transcript text, the robot's screenshots and the time taken."""

    def __init__(self, robot_rc, transcript, shots, stderr, elapsed):
        self.robot_rc = robot_rc
        self.transcript = transcript
        self.lines = transcript.splitlines()
        self.shots = shots
        self.stderr = stderr
        self.elapsed = elapsed
        self.xshots = {}  # name -> PNG taken from outside for an `xshot` step
        self.exit_code = None
        for line in self.lines:
            m = re.match(r"exit code (-?\d+)$", line)
            if m:
                self.exit_code = int(m.group(1))

    @property
    def ok(self):
        return self.robot_rc == 0

    def image(self, name):
        if name not in self.shots:
            raise RigError("no screenshot %r (have %s)" % (name, sorted(self.shots)))
        return Image(self.shots[name])

    def section(self, first_line_start):
        """The lines of the transcript from the first one starting with the given text up to the
        next line that is not indented (a window record, say)."""
        out = []
        for line in self.lines:
            if out and not line.startswith("  "):
                break
            if out or line.startswith(first_line_start):
                out.append(line)
        return out

    def failure_text(self):
        tail = "\n".join(self.lines[-25:])
        shot = "\nscreen at the failure: %s" % self.shots["failure"] if "failure" in self.shots else ""
        return "robot status %s\n--- transcript (end) ---\n%s\n--- robot stderr ---\n%s%s" % (
            self.robot_rc, tail, self.stderr.strip(), shot)


class Prefix:
    """A fresh copy of the pristine Wine prefix for one scenario, under the build root's
    e2e-work/NAME/ (kept until the next run, for a look after a failure)."""

    def __init__(self, name="scratch"):
        self.name = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)
        self.work = os.path.join(WORK, self.name)
        self._cleanup_mount()
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.path = os.path.join(self.work, "prefix")
        self.out = os.path.join(self.work, "out")
        os.makedirs(self.out)
        _copy_tree(pristine_prefix(), self.path)
        self.dll_overrides = {}
        self.tmpfs = None
        self._server_may_run = False
        self._runs = 0
        self.display = None  # None: the rig's display; or a further one, display(n)
        self._server = None  # the kept server of serve()
        self.stray = []      # serve(): processes of a run that would not end, ended by the rig
        _open_prefixes.append(self)

    # -- paths
    @property
    def drive_c(self):
        return os.path.realpath(os.path.join(self.path, "dosdevices", "c:"))

    def unix(self, winpath):
        """Host path of a C:\\ path (existing components found without regard to case)."""
        m = re.match(r"^[cC]:[\\/]?(.*)$", winpath)
        if not m:
            raise ValueError("not a C: path: %r" % winpath)
        path = self.drive_c
        for part in [p for p in re.split(r"[\\/]+", m.group(1)) if p]:
            candidate = os.path.join(path, part)
            if not os.path.exists(candidate) and os.path.isdir(path):
                for entry in os.listdir(path):
                    if entry.lower() == part.lower():
                        candidate = os.path.join(path, entry)
                        break
            path = candidate
        return path

    @staticmethod
    def win(hostpath):
        """A host path as Wine sees it through drive Z:."""
        return "Z:" + os.path.abspath(hostpath).replace("/", "\\")

    # -- files
    def write_file(self, winpath, data):
        path = self.unix(winpath)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode("cp1252") if isinstance(data, str) else data)
        return path

    def read_file(self, winpath):
        with open(self.unix(winpath), "rb") as f:
            return f.read()

    def exists(self, winpath):
        return os.path.exists(self.unix(winpath))

    def listdir(self, winpath):
        return sorted(os.listdir(self.unix(winpath)))

    def tree(self, winpath):
        """Every file below a folder, as relative Windows paths, sorted."""
        root = self.unix(winpath)
        out = []
        for base, _dirs, files in os.walk(root):
            for f in files:
                out.append(os.path.relpath(os.path.join(base, f), root).replace("/", "\\"))
        return sorted(out)

    def copy_in(self, hostpath, winpath):
        """Copies a host file into the prefix; returns the Windows path."""
        dest = self.unix(winpath)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copyfile(hostpath, dest)
        return winpath

    def write_movie(self, winpath, version=9, padding=16):
        """A Flash movie as far as the installer looks: "FWS", the version byte, some padding.
        version=None writes a 3-byte file."""
        return self.write_file(winpath, movie_bytes(version, padding))

    def fixture_log(self):
        """The lines the recorder fixtures appended to C:\\fixture-log.txt, as dicts with the keys
        tag ('scr' or 'uninstaller'), path, args and cmdline."""
        if not self.exists(FIXTURE_LOG):
            return []
        out = []
        for line in self.read_file(FIXTURE_LOG).decode("cp1252").split("\r\n"):
            if line:
                tag, path, args, cmdline = (line.split("\t") + ["", "", ""])[:4]
                out.append({"tag": tag, "path": path, "args": args, "cmdline": cmdline})
        return out

    def system_ini(self):
        """C:\\windows\\system.ini as {lower-case section: {lower-case key: value}}."""
        sections, current = {}, None
        if not self.exists(layout.SYSTEM_INI):
            return sections
        for line in self.read_file(layout.SYSTEM_INI).decode("cp1252").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1].lower(), {})
            elif current is not None and "=" in line and not line.startswith(";"):
                k, v = line.split("=", 1)
                current[k.strip().lower()] = v.strip()
        return sections

    # -- registry
    def settle(self, timeout=20):
        """Waits until every Wine process of the prefix has ended, so the registry is on disk.
        A kept server (serve()) is ended for that."""
        if self._server is not None:
            self.stop()
        if self._server_may_run:
            if not wineserver(self.path, "-w", timeout=timeout):
                wineserver(self.path, "-k")
            self._server_may_run = False

    # The registry calls see the 32-bit view by default, as the product does; view=64 the other.
    def reg_values(self, key, as_written=False, view=32):
        """{lower-case value name: (type, value)} of one key ('' = default value), or None when
        the key is missing; as_written=True keeps the names' spelling. Type is 'REG_SZ',
        'REG_EXPAND_SZ', 'REG_DWORD', 'REG_BINARY', ... The order is the file's."""
        self.settle()
        filename, rel = _split_hive(key, view)
        keys, _spelled = read_reg_file(os.path.join(self.path, filename))
        values = keys.get(rel.lower())
        if values is None or as_written:
            return values
        return {name.lower(): v for name, v in values.items()}

    def reg_value(self, key, name="", view=32):
        """The value alone (None when the key or the value is missing)."""
        values = self.reg_values(key, view=view) or {}
        for have, (_kind, value) in values.items():
            if have.lower() == name.lower():
                return value
        return None

    def reg_subkeys(self, key, view=32):
        self.settle()
        filename, rel = _split_hive(key, view)
        keys, spelled = read_reg_file(os.path.join(self.path, filename))
        prefix = rel.lower() + "\\"
        return sorted({spelled[k][len(prefix):].split("\\")[0] for k in keys if k.startswith(prefix)})

    def reg_set(self, key, name, value, kind="REG_SZ", view=32):
        """Sets one value before a run (written straight into the prefix's registry file while no
        Wine process runs). kind: REG_SZ, REG_EXPAND_SZ or REG_DWORD."""
        self.settle()
        filename, rel = _split_hive(key, view)
        if kind == "REG_DWORD":
            data = "dword:%08x" % value
        elif kind == "REG_EXPAND_SZ":
            data = 'str(2):"%s"' % _reg_escape(value)
        else:
            data = '"%s"' % _reg_escape(value)
        _append_reg(os.path.join(self.path, filename), rel, name, data)

    def register_flash(self, dll_winpath):
        """Makes a DLL the registered player control (default value of its InprocServer32), where
        a 32-bit program looks for it."""
        self.reg_set(FLASH_CLSID_KEY, "", dll_winpath)

    def install_flash(self, variant="9", winpath=r"C:\flash\player.dll"):
        """Copies a player stand-in (variant '9', '10' or 'letter') in and registers it."""
        self.copy_in(fixture("flash_%s.dll" % variant), winpath)
        self.register_flash(winpath)
        return winpath

    # -- a small drive C
    def small_drive_c(self, free_bytes):
        """Puts drive C on its own tmpfs with about free_bytes free (root only; skips the test
        otherwise). Wine's own big folders stay on disk, reached through symbolic links."""
        if os.geteuid() != 0:
            raise unittest.SkipTest("a small drive C needs root for mount")
        self.settle()
        mount = os.path.join(self.work, "cdrive")
        os.makedirs(mount)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", mount]).returncode != 0:
            raise unittest.SkipTest("mount -t tmpfs failed")
        self.tmpfs = mount
        src = os.path.join(self.path, "drive_c")
        big = {"windows/system32", "windows/syswow64", "windows/winsxs", "windows/globalization",
               "windows/resources", "windows/microsoft.net", "program files", "program files (x86)"}

        def copy(rel):
            s, d = os.path.join(src, rel), os.path.join(mount, rel)
            for name in os.listdir(s):
                r = os.path.join(rel, name) if rel else name
                sp, dp = os.path.join(src, r), os.path.join(mount, r)
                if os.path.islink(sp):
                    os.symlink(os.readlink(sp), dp)
                elif os.path.isdir(sp):
                    if r.lower() in big:
                        os.symlink(sp, dp)
                    else:
                        os.makedirs(dp)
                        copy(r)
                else:
                    shutil.copy2(sp, dp)
        copy("")
        st = os.statvfs(mount)
        used = (st.f_blocks - st.f_bfree) * st.f_frsize
        size = used + ((free_bytes + 4095) // 4096) * 4096
        subprocess.run(["mount", "-o", "remount,size=%d" % size, mount], check=True)
        link = os.path.join(self.path, "dosdevices", "c:")
        os.remove(link)
        os.symlink(mount, link)
        return self.free_bytes()

    def free_bytes(self):
        st = os.statvfs(self.drive_c)
        return st.f_bavail * st.f_frsize

    def _cleanup_mount(self):
        mount = os.path.join(self.work, "cdrive")
        if os.path.ismount(mount):
            subprocess.run(["umount", "-l", mount])

    # -- running
    def env(self, tag=None, debug=None):
        env = wine_env(self.path, self.dll_overrides, self.display)
        if debug:
            env["WINEDEBUG"] = debug
        if tag:
            env["E2E_RUN"] = tag  # handed down to every process the run starts, Wine's way
        return env

    # -- a kept server
    def serve(self, timeout=60):
        """Keeps this prefix's Wine server and Wine's own processes (services, the desktop)
        running from run to run, which saves their start and end on every run: run() then waits
        only for the processes its run started. The registry lives in the server's memory
        meanwhile; the reg_* calls end the server first (a robot `registry` step reads it while it
        runs). stop() or close() end it."""
        if self._server is not None:
            return
        self.settle()
        self._server = _popen(["wineserver", "-p", "-f"], env=self.env(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        # Its socket (in a folder of /tmp named after the prefix) before the first client.
        st = os.stat(self.path)
        name = "server-%x-%x" % (st.st_dev, st.st_ino)
        deadline = time.time() + 20
        while time.time() < deadline and self._server.poll() is None:
            try:
                if any(os.path.exists(os.path.join("/tmp", d, name, "socket")) for d in os.listdir("/tmp")):
                    break
            except OSError:
                pass
            time.sleep(0.02)
        self._server_may_run = True
        # Wine's own processes start with the first program, the desktop with the first that
        # looks at windows; a robot that only sleeps keeps the desktop from ending with each run.
        keep = os.path.join(self.work, "keep.txt")
        with open(keep, "w") as f:
            f.write("wait class=E2eNoSuchWindow timeout=0.1 optional\nsleep 2000000000\n")
        tag = "keep-%s-%d" % (self.name, os.getpid())
        self._keeper = _popen(["wine", ROBOT, self.win(keep), self.win(keep + ".out"), self.win(self.work)],
                              env=self.env(tag), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + timeout
        while not any("explorer" in c.lower() for _p, c in _tagged(tag)):
            if time.time() > deadline or self._keeper.poll() is not None:
                raise RigError("the kept server's desktop did not start in %s s" % timeout)
            time.sleep(0.05)

    def _end_run(self, tag, timeout=20):
        """With a kept server: waits until no process the run started is left; ends the stragglers
        after timeout (self.stray names them)."""
        deadline = time.time() + timeout
        while True:
            left = _tagged(tag)
            if not left:
                return
            if time.time() > deadline:
                for pid, cmdline in left:
                    self.stray.append(cmdline)
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                time.sleep(0.2)
                return
            time.sleep(0.02)

    def wine(self, *argv, timeout=60, debug=None):
        """Runs one Wine command in this prefix (e.g. 'reg', 'query', KEY): CompletedProcess.
        debug: Wine's debug channels for it (WINEDEBUG), traced on its stderr."""
        p = _popen(["wine"] + list(argv), env=self.env(debug=debug), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self._server_may_run = True
        try:
            out, err = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.stop()
            raise RigError("wine %s: no end after %s s" % (" ".join(argv), timeout))
        finally:
            _end(p)
        return subprocess.CompletedProcess(argv, p.returncode, out, err)

    def run(self, program, script="", args=None, timeout=60, copy_to=r"C:\e2e", debug=None, outside=None):
        """Runs a Windows program with the robot playing the user.

        program: host path of a Windows .exe (copied into copy_to first; copy_to=None starts it
        from drive Z:), or None when the script starts what it needs. The robot script gets a
        leading `start` line (with ` -- ARGS` when args is given) and a closing `end` line unless
        it has its own. Returns a Result; afterwards every Wine process of the prefix has ended.
        debug: Wine's debug channels (WINEDEBUG) for the run, traced into Result.stderr.
        outside: {NAME: fn}; at the step `xshot NAME` the rig calls fn() while the robot waits (and
        the program waits at the window the robot is at), then takes the picture.
        """
        self._runs += 1
        tag = "run%d" % self._runs
        out = os.path.join(self.out, tag)
        shots = os.path.join(out, "shots")
        os.makedirs(shots)
        lines = [l for l in script.splitlines()]
        steps = [l.strip().split(" ")[0] for l in lines if l.strip() and not l.strip().startswith("#")]
        if program is not None and "start" not in steps:
            if copy_to:
                target = copy_to.rstrip("\\") + "\\" + os.path.basename(program)
                self.copy_in(program, target)
            else:
                target = self.win(program)
            lines.insert(0, 'start "%s"%s' % (target, (" -- " + args) if args else ""))
        if "end" not in steps and (program is not None or "start" in steps):
            lines.append("end timeout=%g" % timeout)
        script_path = os.path.join(out, "script.txt")
        with open(script_path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        transcript_path = os.path.join(out, "transcript.txt")
        if not os.path.exists(ROBOT):
            raise RigError("the robot is not built (make BUILD=%s win64)" % BUILD)
        started = time.time()
        self._server_may_run = True
        stderr_path = os.path.join(out, "robot-stderr.txt")
        with open(stderr_path, "wb") as stderr_file:
            tag = "%s-%d-%s" % (self.name, self._runs, os.getpid()) if self._server is not None else None
            p = _popen(["wine", ROBOT, self.win(script_path), self.win(transcript_path), self.win(shots)],
                       env=self.env(tag, debug), stdout=subprocess.DEVNULL, stderr=stderr_file)
            rc = None
            while rc is None:
                self._answer_xshots(shots, outside or {})
                try:
                    rc = p.wait(0.05)
                except subprocess.TimeoutExpired:
                    if time.time() - started > timeout + 30:
                        _end(p)
                        rc = -1
                        stderr_file.write(b"rig: the robot itself did not end\n")
            _end(p)
        with open(stderr_path, "rb") as f:
            err = f.read()
        if tag:
            self._end_run(tag)
        else:
            self.settle()
        elapsed = time.time() - started
        transcript = ""
        if os.path.exists(transcript_path):
            with open(transcript_path, encoding="utf-8", errors="replace") as f:
                transcript = f.read()
        found = {os.path.splitext(n)[0]: os.path.join(shots, n) for n in os.listdir(shots) if n.endswith(".bmp")}
        log("%s %s: robot %s in %.1f s" % (self.name, tag, rc, elapsed))
        result = Result(rc, transcript, found, err.decode("utf-8", "replace"), elapsed)
        result.xshots = {os.path.splitext(n)[0]: os.path.join(shots, n) for n in os.listdir(shots)
                         if n.endswith(".png")}
        return result

    @staticmethod
    def _answer_xshots(shots, outside=None):
        for name in os.listdir(shots):
            if not name.endswith(".request"):
                continue
            if outside and name[:-len(".request")] in outside:
                outside[name[:-len(".request")]]()
            base = os.path.join(shots, name[:-len(".request")])
            subprocess.run(["import", "-display", display(), "-window", "root", base + ".tmp.png"],
                           capture_output=True, timeout=30)
            if os.path.exists(base + ".tmp.png"):
                os.rename(base + ".tmp.png", base + ".png")
            os.remove(os.path.join(shots, name))

    def screenshot(self, name):
        """The X display as it is now, taken from outside: out/NAME.png."""
        path = os.path.join(self.out, name + ".png")
        subprocess.run(["import", "-display", display(), "-window", "root", path], check=True,
                       capture_output=True, timeout=30)
        return path

    def stop(self):
        """Ends every Wine process of this prefix."""
        wineserver(self.path, "-k")
        if self._server is not None:
            try:
                self._server.wait(10)
            except subprocess.TimeoutExpired:
                pass
            _end(self._server)
            _end(self._keeper)
            self._server = None
        self._server_may_run = False

    def close(self):
        if self in _open_prefixes:
            _open_prefixes.remove(self)
        self.stop()
        if self.tmpfs and os.path.ismount(self.tmpfs):
            subprocess.run(["umount", "-l", self.tmpfs])
        self.tmpfs = None


def _tagged(tag):
    """(pid, command line) of every process whose environment holds E2E_RUN=tag."""
    mark = b"\0E2E_RUN=" + tag.encode() + b"\0"
    out = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mark not in b"\0" + f.read() + b"\0":
                    continue
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                out.append((int(pid), f.read().replace(b"\0", b" ").decode(errors="replace").strip()))
        except OSError:
            continue
    return out


def clean_work():
    """Removes what earlier runs left under e2e-work/, unmounting a forgotten small drive C."""
    if os.path.isdir(WORK):
        with open("/proc/mounts") as f:
            mounts = [line.split()[1] for line in f]
        for m in mounts:
            if m.startswith(WORK + "/"):
                subprocess.run(["umount", "-l", m])
    shutil.rmtree(WORK, ignore_errors=True)


# ---- scenarios ----------------------------------------------------------------------------------

def pack(output, title, entries, licence=None, stub=None, compress=None, extra=()):
    """Builds an installer with `sspack build` from the PE32 installer (or the given stub).

    entries: host paths in payload order (screen saver, data file, uninstaller, further files);
    title: str (written as Windows-1252) or bytes; licence: host path of a licence text;
    compress: None (stored), "fast" or "best". Fails while sspack or the stub is not built."""
    if not os.path.exists(SSPACK):
        raise RigError("sspack is not built (make BUILD=%s host)" % BUILD)
    stub = stub or INSTALLER
    if not os.path.exists(stub):
        raise RigError("the stub %s is not built (make BUILD=%s win32)" % (stub, BUILD))
    raw_title = title if isinstance(title, bytes) else title.encode("cp1252")
    cmd = [SSPACK.encode(), b"build", b"--stub", stub.encode(), b"--title", raw_title, b"--out", output.encode()]
    if licence is not None:
        cmd += [b"--licence", licence.encode()]
    if compress:
        cmd += [b"--compress=" + compress.encode()]
    cmd += [a if isinstance(a, bytes) else a.encode() for a in extra]
    cmd += [b"--"] + [e.encode() for e in entries]
    done = subprocess.run(cmd, capture_output=True)
    if done.returncode != 0:
        raise RigError("sspack failed (%s): %s%s" % (b" ".join(cmd).decode("cp1252"),
                                                     done.stdout.decode(errors="replace"),
                                                     done.stderr.decode(errors="replace")))
    return output


def signing_certificate():
    """A throw-away self-signed code-signing certificate and its key, made once per run:
    (certificate, key) as PEM host paths."""
    folder = os.path.join(WORK, "signer")
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    if not os.path.exists(cert):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Screen saver test signer",
                        "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
    return cert, key


def sign(exe, output):
    """osslsigncode's signature over exe (options 2.5 knows as well), written to output."""
    cert, key = signing_certificate()
    if os.path.exists(output):
        os.remove(output)  # osslsigncode would not write over it
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", exe, "-out", output],
                   check=True, capture_output=True)
    return output


def sample_payload(folder, movie_version=9):
    """Host files for a small payload: the screen saver and uninstaller stand-ins, a data file
    and a movie asking for the given player version (None: a 3-byte movie). Returns the four
    paths in payload order."""
    os.makedirs(folder, exist_ok=True)
    scr = os.path.join(folder, "sample.scr")
    shutil.copyfile(fixture("fake_scr.scr"), scr)
    uninst = os.path.join(folder, "uninstal.exe")
    shutil.copyfile(fixture("fake_uninstaller.exe"), uninst)
    dat = os.path.join(folder, "sample.dat")
    with open(dat, "wb") as f:
        f.write(bytes(range(256)) * 40)
    swf = os.path.join(folder, "movie.swf")
    with open(swf, "wb") as f:
        f.write(movie_bytes(movie_version, 60))
    return [scr, dat, uninst, swf]


def movie_bytes(version=9, padding=16):
    """A Flash movie as far as the installer looks: "FWS", the version byte, padding; version
    None gives the 3 bytes "FWS" alone."""
    return b"FWS" if version is None else b"FWS" + bytes([version]) + b"\0" * padding


class Scenario(unittest.TestCase):
    """Base class of the scenarios: fresh prefixes that end with the test, transcript checks."""

    maxDiff = None

    def prefix(self):
        """A fresh prefix, ended (all its Wine processes) when the test ends, pass or fail."""
        p = Prefix(self.id().split(".", 1)[-1])
        self.addCleanup(p.close)
        return p

    def assertRobotOk(self, result):
        if result.robot_rc != 0:
            self.fail("the robot failed\n" + result.failure_text())

    def assertTranscript(self, result, name, transform=None):
        """Compares the whole transcript with expected/NAME.txt; E2E_UPDATE=1 rewrites the file."""
        text = result.transcript if transform is None else transform(result.transcript)
        path = os.path.join(EXPECTED, name + ".txt")
        if os.environ.get("E2E_UPDATE"):
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        if not os.path.exists(path):
            self.fail("no expected transcript %s; this run gave:\n%s" % (path, text))
        with open(path, encoding="utf-8") as f:
            want = f.read()
        if want != text:
            diff = "".join(difflib.unified_diff(want.splitlines(True), text.splitlines(True),
                                                "expected/" + name + ".txt", "this run"))
            self.fail("transcript differs from expected/%s.txt:\n%s" % (name, diff))
