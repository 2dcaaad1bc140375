# Sourced by build.sh and test.sh: installs the Debian packages the build
# and the tests need, or says exactly how to when not root.

QUORVEL_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev llvm lld
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libgtest-dev libgmock-dev googletest libbenchmark-dev valgrind
  wine wine64 wine32:i386 qemu-user
)

ensure_packages() {
  local missing=() package
  for package in "${QUORVEL_PACKAGES[@]}"; do
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
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  [ $needs_i386 -eq 1 ] && dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null
}

# The 32-bit Wine loader is a 32-bit Linux program. Where the kernel cannot
# execute those (some virtual machines), qemu's user-mode emulation can,
# once registered for them with binfmt_misc: then the 32-bit DLL runs under
# the real 32-bit Wine too, only slower. Without root the x86 Wine tests
# report themselves skipped.
ensure_i386_programs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  local binfmt=/proc/sys/fs/binfmt_misc
  if [ "$(id -u)" -ne 0 ]; then
    echo "note: this kernel cannot run 32-bit programs; as root, $0 registers qemu-i386" \
      "for them, otherwise the x86 Wine tests are skipped" >&2
    return 0
  fi
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || return 0
  if [ ! -e "$binfmt/qemu-i386" ]; then
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
      >"$binfmt/register" || return 0
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    echo "note: 32-bit programs still cannot run here; the x86 Wine tests will be skipped" >&2
}
