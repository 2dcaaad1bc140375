# Sourced by build.sh, test.sh and bench/run.sh: installs the Debian
# packages they need, or says exactly how to when not root.

# What building the DLLs, import libraries, volumectl, the npm package and
# the release archive takes (the build also configures the tests, which
# need googletest's sources).
QUORVEL_BUILD_PACKAGES=(
  cmake ninja-build g++ clang llvm lld python3 googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
)
# Running Windows programs: the tests and build.sh's demonstration.
QUORVEL_WINE_PACKAGES=(wine wine64 wine32:i386)
# The native tests, sanitizers and benchmarks; Wine's Windows headers, with
# which test.sh builds the DLLs with the MSVC toolchain (clang-cl).
QUORVEL_TEST_PACKAGES=(libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev valgrind
  libwine-dev)

# Where the kernel cannot run 32-bit programs, qemu-user runs the 32-bit
# Wine loader. bookworm's 7.2 takes most of a minute per Wine start and
# crashes Node.js; the 10.x of bookworm-backports does neither.
QUORVEL_QEMU_MIN_VERSION=1:10
QUORVEL_BACKPORTS_SOURCES=/etc/apt/sources.list.d/bookworm-backports.sources
QUORVEL_BINFMT=/proc/sys/fs/binfmt_misc

# A mirror in the middle of a sync can fail one index (seen: bookworm-security's
# i386 packages, "File has unexpected size ... Mirror sync in progress?") for
# days. Three tries, then apt goes on with the lists it has, and the suites
# whose index failed are kept in QUORVEL_APT_FAILED_SUITES for apt_install.
QUORVEL_APT_FAILED_SUITES=()
apt_update() {
  local attempt output
  for attempt in 1 2 3; do
    output=$(apt-get update -qq 2>&1) && QUORVEL_APT_FAILED_SUITES=() && return 0
    [ "$attempt" -lt 3 ] && sleep 10
  done
  echo "note: apt-get update failed 3 times; going on with the package lists at hand." \
    "What failed:" >&2
  grep -E '^(E|W): ' <<<"$output" | grep -v 'Some index files failed' | sed 's/^/  /' >&2 || true
  mapfile -t QUORVEL_APT_FAILED_SUITES < <(sed -n 's|^E: Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' \
    <<<"$output" | sort -u)
}

# Copies the machine's apt sources into a new folder, leaving out the given
# suites, and prints the folder. One-line .list entries of those suites are
# dropped; a deb822 stanza loses them from its Suites, and is switched off
# if none remain.
sources_without() { # suite...
  local dir file
  dir=$(mktemp -d)
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    if [[ "$file" == *.sources ]]; then
      awk -v drop="$*" -f - "$file" >"$dir/${file##*/}" <<'AWK'
BEGIN { RS = ""; split(drop, d, " "); for (i in d) gone[d[i]] = 1 }
{
  out = ""; n = split($0, lines, "\n"); off = 0
  for (i = 1; i <= n; i++) {
    if (lines[i] ~ /^Suites:/) {
      m = split(substr(lines[i], 8), suites, " "); kept = ""
      for (j = 1; j <= m; j++) if (!(suites[j] in gone)) kept = kept " " suites[j]
      if (kept == "") { off = 1; kept = " " suites[1] }
      lines[i] = "Suites:" kept
    }
    out = out lines[i] "\n"
  }
  if (off) out = out "Enabled: no\n"
  printf "%s\n", out
}
AWK
    else
      awk -v drop="$*" 'BEGIN { split(drop, d, " "); for (i in d) gone[d[i]] = 1 }
        { line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " ") }
        !(f[1] ~ /^deb/ && f[3] in gone)' "$file" >"$dir/${file##*/}"
    fi
  done
  echo "$dir"
}

# apt-get install, non-interactive and quiet. If it fails while a suite's
# index is missing, the suite's other half can be newer than the lists at hand
# (i386 packages then cannot match their amd64 halves: "held broken
# packages"), so it is tried once more with those suites left out. The
# machine's own sources are never changed: the retry reads a copy.
apt_install() { # apt-get install arguments...
  local command=(apt-get install -y -qq --no-install-recommends "$@") output dir
  output=$(DEBIAN_FRONTEND=noninteractive "${command[@]}" 2>&1) && return 0
  if [ ${#QUORVEL_APT_FAILED_SUITES[@]} -gt 0 ]; then
    dir=$(sources_without "${QUORVEL_APT_FAILED_SUITES[@]}")
    echo "warning: installing with ${QUORVEL_APT_FAILED_SUITES[*]} left out, as its index failed to" \
      "download; its updates are missing from this machine until the mirror recovers" >&2
    command=(apt-get -o "Dir::Etc::SourceParts=$dir" -o Dir::Etc::SourceList=/dev/null "${command[@]:1}")
    output=$(DEBIAN_FRONTEND=noninteractive "${command[@]}" 2>&1) && rm -rf "$dir" && return 0
    rm -rf "$dir"
  fi
  echo "error: this install failed: ${command[*]}" >&2
  grep -E '^E:|Depends:|^ [^ ]' <<<"$output" | tail -n 20 >&2 || tail -n 20 <<<"$output" >&2
  return 1
}

# Installs whichever of the given packages are missing. Returns non-zero,
# having printed the failed command and apt's reason, if the install fails.
ensure_packages() { # package...
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local needs_i386=0
  [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386 &&
    needs_i386=1
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    [ $needs_i386 -eq 1 ] && echo "  dpkg --add-architecture i386 &&" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  [ $needs_i386 -eq 1 ] && dpkg --add-architecture i386
  apt_update
  apt_install "${missing[@]}"
}

# The 32-bit Wine loader is a 32-bit Linux program. Where the kernel cannot
# execute those (some virtual machines), qemu's user-mode emulation runs
# it, registered for them with binfmt_misc: the 32-bit DLL then runs under
# the real 32-bit Wine with the CPU emulated. QUORVEL_EMULATE_X86=1 asks
# for the emulator even where the kernel could do without, to try that
# path anywhere; otherwise a registration left by such a run is switched
# off again wherever the kernel runs 32-bit programs itself.
ensure_i386_programs() {
  if [ "$(id -u)" -ne 0 ]; then
    /usr/lib/wine/wine --version >/dev/null 2>&1 ||
      echo "note: this kernel cannot run 32-bit programs; as root, $0 registers qemu-i386" \
        "for them, otherwise the x86 Wine tests are skipped" >&2
    return 0
  fi
  [ -e "$QUORVEL_BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$QUORVEL_BINFMT" || {
    echo "note: binfmt_misc is not available; the x86 Wine tests run only if 32-bit programs do" >&2
    return 0
  }
  # binfmt_misc is asked before the kernel's own ELF loader, so the native
  # ability shows only with the emulator's registration switched off.
  [ -e "$QUORVEL_BINFMT/qemu-i386" ] && echo 0 >"$QUORVEL_BINFMT/qemu-i386"
  if [ "${QUORVEL_EMULATE_X86:-0}" != 1 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    return 0
  fi
  ensure_backported_qemu
  register_qemu_i386
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "note: 32-bit programs still cannot run here; the x86 Wine tests will be skipped" >&2
  fi
}

ensure_backported_qemu() {
  local installed
  installed=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  if [ -n "$installed" ] && dpkg --compare-versions "$installed" ge "$QUORVEL_QEMU_MIN_VERSION"; then
    return 0
  fi
  if [ ! -f "$QUORVEL_BACKPORTS_SOURCES" ]; then
    cat >"$QUORVEL_BACKPORTS_SOURCES" <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  fi
  echo "Installing: qemu-user from bookworm-backports"
  apt_update
  apt_install -t bookworm-backports qemu-user
}

# Registers /usr/bin/qemu-i386 for 32-bit x86 ELF programs. The F flag has
# the kernel open the interpreter once, at registration: a registration
# made before qemu-user was upgraded still runs the old, deleted binary,
# and one made by others may point elsewhere, so it is always made afresh.
register_qemu_i386() {
  [ -e "$QUORVEL_BINFMT/qemu-i386" ] && echo -1 >"$QUORVEL_BINFMT/qemu-i386"
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
    >"$QUORVEL_BINFMT/register"
}
