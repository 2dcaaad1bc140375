#!/usr/bin/env bash
# Runs a Windows test program under Wine, as CMake's cross-compiling
# emulator: wine-run.sh <wine-dir> <x86|x64> program [args...]
#
# The prefix lives in <wine-dir> and is created once. QUORVEL_WINE_AUDIO
# picks the audio Wine sees: "null" (default) gives it a null ALSA output as
# the default device, "none" gives it no output device at all, "two" gives
# it two null outputs ("default" and "second") in a prefix of its own, whose
# default a test may switch through the registry. "stand_in_class" gives it
# a null output in a prefix of its own whose registry names the DLL at
# QUORVEL_STAND_IN_DLL as the server of the device enumerator class, for
# the architecture run: every process there meets that stand-in service.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_dir=$(realpath -m "$1") arch=$2
shift 2

case $arch in
  x86) loader=/usr/lib/wine/wine ;;
  x64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
# Some kernels cannot execute 32-bit Linux programs, which the 32-bit Wine
# loader is (test.sh lets qemu run them where it can); the test is then
# skipped, and says why.
if ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIPPED: $loader cannot run on this machine ($(uname -r)); no $arch Wine here" >&2
  exit 77
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
audio=${QUORVEL_WINE_AUDIO:-null}
export HOME=$wine_dir/home-$audio
mkdir -p "$HOME"
case $audio in
  null | stand_in | stand_in_class) echo 'pcm.!default { type null }' >"$HOME/.asoundrc" ;;
  none) rm -f "$HOME/.asoundrc" ;;
  # Replaced whole, since another run may be reading it.
  two)
    printf '%s\n' 'pcm.!default { type null }' 'pcm.second { type null }' >"$HOME/.asoundrc.$$"
    mv -f "$HOME/.asoundrc.$$" "$HOME/.asoundrc"
    ;;
esac
# The registries of the two-output prefix (which output is the default) and
# of the stand-in's are changed by their tests, so each is kept apart.
case $audio in
  two) export WINEPREFIX=$wine_dir/prefix-two ;;
  stand_in_class) export WINEPREFIX=$wine_dir/prefix-stand-in ;;
  *) export WINEPREFIX=$wine_dir/prefix ;;
esac

# One 64-bit prefix serves both loaders. Its 32-bit half (syswow64) is only
# filled in where 32-bit programs could run when it was made, so a prefix
# made without it is made again for the 32-bit runs.
(
  flock 9
  if [ "$arch" = x86 ] && [ -f "$WINEPREFIX/system.reg" ] &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
  fi
  # A fresh prefix reports Windows 7, on which Node.js 22 refuses to start.
  if [ ! -f "$WINEPREFIX/.windows-10" ]; then
    /usr/lib/wine/wine64 winecfg -v win10 >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.windows-10"
  fi
  # The x86 programs are started through a 64-bit starter that reports the
  # exit code Windows records (see wine-exit-code.c).
  if [ ! "$wine_dir/wine-exit-code.exe" -nt "$here/wine-exit-code.c" ]; then
    x86_64-w64-mingw32-gcc -O2 -Wall -Werror -s -o "$wine_dir/wine-exit-code.exe" \
      "$here/wine-exit-code.c"
  fi
  # Wine lists the ALSA default and the outputs named in the registry.
  if [ "$audio" = two ] && [ ! -f "$WINEPREFIX/.two-outputs" ]; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' \
      /v ALSAOutputDevices /t REG_MULTI_SZ /d second /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.two-outputs"
  fi
  # Each architecture reads the class from its own view of the registry.
  server=$WINEPREFIX/.stand-in-$arch
  if [ "$audio" = stand_in_class ] && [ "$(cat "$server" 2>/dev/null)" != "$QUORVEL_STAND_IN_DLL" ]; then
    view=64
    [ "$arch" = x86 ] && view=32
    /usr/lib/wine/wine64 reg add \
      'HKLM\Software\Classes\CLSID\{BCDE0395-E52F-467C-8E3D-C4579291692E}\InprocServer32' \
      /ve /d "Z:$(realpath -m "$QUORVEL_STAND_IN_DLL" | tr / '\\')" /f /reg:$view >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    echo "$QUORVEL_STAND_IN_DLL" >"$server"
  fi
) 9>"$wine_dir.lock"

# x86 programs go through the starter, named as Windows names them (the
# prefix maps Z: to /).
command=("$loader" "$@")
if [ "$arch" = x86 ]; then
  command=(/usr/lib/wine/wine64 "$wine_dir/wine-exit-code.exe"
    "Z:$(realpath -m "$1" | tr / '\\')" "${@:2}")
fi

if [ "$audio" = two ]; then
  # Its tests switch the default of the whole prefix, so they run one at a
  # time, whichever build (x86 or x64) they come from.
  exec flock -o "$wine_dir/prefix-two.lock" "${command[@]}"
fi

if [ "$audio" = none ]; then
  # ALSA complains on stderr that it finds no card, which is the point here;
  # the program's own messages still get through, once it has ended.
  errors=$(mktemp)
  status=0
  "${command[@]}" 2>"$errors" || status=$?
  grep -v '^ALSA lib' "$errors" >&2 || true
  rm -f "$errors"
  exit $status
fi
exec "${command[@]}"
