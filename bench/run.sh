#!/usr/bin/env bash
# Measures the library and writes build/bench/results.md:
#  - time per call of each path against the same platform call made directly,
#  - instructions per call over that direct call (valgrind --tool=callgrind,
#    repeatable whatever else the machine does),
#  - heap allocations made by the library on every path,
#  - size and imports of both release DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages

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
  for path in "InitEndPoint+UninitEndPoint" VolumeSet VolumeGet MuteSet MuteGet OnNotify; do
    library=$(per_call "$path" library)
    direct=$(per_call "$path" direct)
    added=$(awk -v a="$library" -v b="$direct" 'BEGIN { printf "%.1f", a - b }')
    echo "| $path | $library | $direct | $added |"
  done
  echo
  echo "Release DLLs (stripped):"
  echo
  echo "| DLL | bytes | imports |"
  echo "|---|---:|---|"
  for arch in x86 x64; do
    dll=build/$arch/Quorvel.dll
    imports=$(objdump -p "$dll" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ' | sed 's/ $//')
    echo "| $arch | $(stat -c %s "$dll") | $imports |"
  done
} >"$out"
cat "$out"
