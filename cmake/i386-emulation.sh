#!/usr/bin/env bash
# Makes Wine's 32-bit loader start on a kernel that runs no i386 code: qemu-i386 registered through
# binfmt_misc (with the F flag, so the handler works in every mount namespace), plus Wine's 32-bit
# preloader, without which the loader cannot map the shared user data under qemu.
#   cmake/i386-emulation.sh          set up only where the kernel refuses i386 code
#   E2E_EMULATE_I386=1 ...           set up on a native machine too (binfmt_misc is asked first)
# Undo: echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386
set -euo pipefail

LOADER=/lib/ld-linux.so.2
HANDLER=/proc/sys/fs/binfmt_misc/qemu-i386
QEMU=/usr/bin/qemu-i386-static
# An i386 ELF executable or shared object: class 32-bit, little-endian, machine 3.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

runs_i386() { [ -x "$LOADER" ] && "$LOADER" --version >/dev/null 2>&1; }
handler_on() { [ -r "$HANDLER" ] && grep -qx enabled "$HANDLER"; }

if [ ! -x "$LOADER" ]; then
  echo "i386: $LOADER is missing; install wine32:i386 first (make deps does)." >&2
  exit 1
fi
if [ "${E2E_EMULATE_I386:-0}" != 1 ]; then
  if runs_i386; then
    exit 0   # the kernel runs i386 code itself, or a working handler already does
  fi
  why="the kernel refuses i386 programs ($LOADER --version: Exec format error)"
else
  if handler_on && runs_i386; then
    exit 0
  fi
  why="E2E_EMULATE_I386=1 asks for it"
fi

missing=$(for p in qemu-user-static wine32-preloader:i386; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"; done)
if [ -n "$missing" ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing >/dev/null
fi
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
fi
if ! { handler_on && runs_i386; }; then
  # A stale, disabled or broken entry of that name would refuse the new one.
  [ -e "$HANDLER" ] && echo -1 >"$HANDLER"
  printf '%s' ":qemu-i386:M::$MAGIC:$MASK:$QEMU:F" >/proc/sys/fs/binfmt_misc/register
fi
if ! runs_i386; then
  echo "i386: qemu-i386 is registered but $LOADER still does not start; see $HANDLER." >&2
  exit 1
fi
echo "i386: $why, so Wine's 32-bit loader runs under $QEMU (binfmt_misc, F flag) with" \
     "wine32-preloader:i386; undo with: echo -1 >$HANDLER"
