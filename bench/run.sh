#!/usr/bin/env bash
# Measures the library and writes build/bench/results.md:
#  - time per call of each path against the same platform call made directly,
#  - instructions per call over that direct call (valgrind --tool=callgrind,
#    repeatable whatever else the machine does),
#  - heap allocations made by the library on every path,
#  - size, layout, imports and entry point of both release DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${QUORVEL_BUILD_PACKAGES[@]}" "${QUORVEL_TEST_PACKAGES[@]}"

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
for arch in x86 x64; do
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" --target Quorvel >/dev/null
done

out=build/bench/results.md
timing=build/bench/timing.md
./build/bench/bench/quorvel_bench --benchmark_min_time=0.5 --table="$timing" >/dev/null

# Instructions of one call: the difference of two runs, so start-up cancels.
instructions() { # path library|direct iterations
  valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    ./build/bench/bench/instruction_count "$1" "$2" "$3" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
per_call() { # path library|direct
  local few many
  few=$(instructions "$1" "$2" 1000)
  many=$(instructions "$1" "$2" 11000)
  awk -v a="$few" -v b="$many" 'BEGIN { printf "%.1f", (b - a) / 10000 }'
}

objdump_for() { [ "$1" = x86 ] && echo i686-w64-mingw32-objdump || echo x86_64-w64-mingw32-objdump; }

# "KERNEL32.dll (f, g) ole32.dll (h)": every imported function, by DLL.
imports() {
  "$(objdump_for "$1")" -p "build/$1/Quorvel.dll" | awk '
    /DLL Name:/ { if (dll) printf "%s (%s) ", dll, fns; dll = $3; fns = ""; next }
    dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z]/ { fns = fns (fns ? ", " : "") $3 }
    END { printf "%s (%s)", dll, fns }'
}

# The entry point's instructions up to its return.
entry_point() {
  local tool dump base entry
  tool=$(objdump_for "$1")
  dump=$("$tool" -p "build/$1/Quorvel.dll")
  base=$(sed -n 's/^ImageBase[[:space:]]*//p' <<<"$dump")
  entry=$(sed -n 's/^AddressOfEntryPoint[[:space:]]*//p' <<<"$dump")
  "$tool" -d --start-address=$((0x$base + 0x$entry)) --stop-address=$((0x$base + 0x$entry + 8)) \
    "build/$1/Quorvel.dll" | awk -F '\t' '/^ *[0-9a-f]+:/ { gsub(/ +/, " ", $3); printf "%s%s", sep, $3; sep = "; " } /\tret/ { exit }'
}

# One table row per part of the DLL: the headers, then each section with
# the bytes it uses and the whole 512-byte blocks it takes in the file.
layout() {
  local tool dll=build/$1/Quorvel.dll headers name size used
  tool=$(objdump_for "$1")
  headers=$((0x$("$tool" -p "$dll" | sed -n 's/^SizeOfHeaders[[:space:]]*//p')))
  echo "| headers | $headers | $headers |"
  "$tool" -h "$dll" | awk '/^ +[0-9]+ \./ { print $2, $3 }' | while read -r name size; do
    used=$((0x$size))
    case $name in
      .text) name=".text (code; the constants; x64: the unwind tables)" ;;
      .data) name=".data (the notification objects, the binding state)" ;;
      .rdata) name=".rdata (vtable, GUIDs)" ;;
      .pdata | .xdata) name="$name (x64 unwind data)" ;;
      .bss) echo "| .bss (flags and counts) | $used | 0 |" && continue ;;
      .edata) name=".edata (exports)" ;;
      .idata) name=".idata (imports)" ;;
      .rsrc) name=".rsrc (version resource)" ;;
      .reloc) name=".reloc (relocations)" ;;
    esac
    echo "| $name | $used | $(((used + 511) / 512 * 512)) |"
  done
}

{
  echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores of" \
    "$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)," \
    "g++ $(g++ -dumpfullversion), against a platform whose calls do no work."
  echo
  echo "Time per call (Google Benchmark, CPU time):"
  echo
  cat "$timing"
  echo
  echo "Instructions per call (callgrind):"
  echo
  echo "| path | library | direct | added by the library |"
  echo "|---|---:|---:|---:|"
  for path in "InitEndPoint+UninitEndPoint" VolumeSet VolumeGet MuteSet MuteGet OnNotify Look; do
    library=$(per_call "$path" library)
    direct=$(per_call "$path" direct)
    added=$(awk -v a="$library" -v b="$direct" 'BEGIN { printf "%.1f", a - b }')
    echo "| $path | $library | $direct | $added |"
  done
  echo
  echo "Release DLLs (stripped):"
  echo
  echo "| DLL | bytes | imports | entry point |"
  echo "|---|---:|---|---|"
  for arch in x86 x64; do
    echo "| $arch | $(stat -c %s "build/$arch/Quorvel.dll") | $(imports "$arch") |" \
      "$(entry_point "$arch") |"
  done
  echo
  for arch in x86 x64; do
    echo "Where the $arch DLL's bytes go (sections take whole 512-byte blocks of the file):"
    echo
    echo "| part | bytes used | bytes in file |"
    echo "|---|---:|---:|"
    layout "$arch"
    echo
  done
} >"$out"
cat "$out"
