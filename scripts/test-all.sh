#!/usr/bin/env bash
# Builds every configuration and runs every test tier:
#   linux  native build, unit tests
#   win32  the shipped 32-bit programs, wine tests (under one Xvfb)
#   win64  64-bit Windows build, as a check only
#   fuzz   libFuzzer targets, short bounded runs
# Goes on after a failure so one run shows everything that is wrong; the last line sums it up
# and the exit status is non-zero when anything failed.
set -u
cd "$(dirname "$0")/.." || exit 1

failed=()
step() {
  local name="$1"; shift
  echo
  echo "==> $name"
  local start=$SECONDS
  if "$@"; then
    echo "<== $name: ok ($((SECONDS - start))s)"
    return 0
  fi
  echo "<== $name: FAILED ($((SECONDS - start))s)"
  failed+=("$name")
  return 1
}

build() {
  cmake --preset "$1" && cmake --build --preset "$1" -j2
}

step "dependencies" bash .ci/install-deps || { echo "test-all: FAILED (dependencies missing)"; exit 1; }

built=()
for preset in linux win32 win64 fuzz; do
  step "build $preset" build "$preset" && built+=("$preset")
done
has() { local b; for b in "${built[@]}"; do [ "$b" = "$1" ] && return 0; done; return 1; }

# tier NAME MINIMUM COMMAND...: runs one tier's ctest and fails it when fewer tests ran than the
# tier is known to have, so a test program that stopped being built cannot vanish unnoticed.
tier() {
  local name="$1" minimum="$2"; shift 2
  local out; out="$(mktemp)"
  "$@" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  local ran; ran="$(sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$out" | tail -1)"
  rm -f "$out"
  [ "$rc" = 0 ] || return 1
  if [ "${ran:-0}" -lt "$minimum" ]; then
    echo "test-all: the $name tier ran ${ran:-no} tests; it has at least $minimum"
    return 1
  fi
}

if has linux; then step "unit tests" tier unit 82 ctest --preset linux -L unit -j2; else failed+=("unit tests (not built)"); fi
if has win32; then
  step "wine tests" tier wine 19 bash tests/wine/harness/with-xvfb.sh ctest --preset win32 -L wine -j2
else
  failed+=("wine tests (not built)")
fi
if has fuzz; then step "fuzz tests" tier fuzz 9 ctest --preset fuzz -L fuzz; else failed+=("fuzz tests (not built)"); fi

# The size of the test suite against the code it tests, from the files git tracks: every text
# file under tests/ but the fuzz corpus, against the C/C++ files under src/, tools/ and bench/ and
# the benchmark scripts. The project keeps tests at about a quarter to a third of the code.
count() { xargs -r -d '\n' grep -Ic '' 2>/dev/null | awk -F: '{ s += $NF } END { print s + 0 }'; }
tests=$(git ls-files tests | grep -v '^tests/fuzz/corpus/' | count)
code=$({ git ls-files src tools bench | grep -E '\.(c|cc|cpp|h|hpp|inc|rc)$'; git ls-files bench | grep -E '\.(sh|py)$'; } | count)
budget="tests are $((100 * tests / (code > 0 ? code : 1))) % of the code ($tests of $code lines)"

echo
if [ ${#failed[@]} -eq 0 ]; then
  echo "test-all: PASSED (builds linux, win32, win64, fuzz; unit, wine and fuzz tests) in ${SECONDS}s; $budget"
  exit 0
fi
printf -v list '%s, ' "${failed[@]}"
echo "test-all: FAILED: ${list%, } (${SECONDS}s); $budget"
exit 1
