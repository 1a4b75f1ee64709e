#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, one after the
# other, and prints the executions of each. Exits non-zero at the first finding;
# the crashing input is kept in the artifact folder.
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
# New inputs go to a scratch corpus; the committed seeds under fuzz/corpus/ stay.
set -euo pipefail
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(read_obj pdu image_box film_box composition rules_file ini_file bmp_reader)
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
artifacts=${FUZZ_ARTIFACTS:-$build/fuzz-artifacts}
mkdir -p "$artifacts"
for target in "${targets[@]}"; do
  program=$build/fuzz/fuzz_$target
  [ -x "$program" ] || { echo "missing $program (build with make fuzz)"; exit 2; }
  mkdir -p "$scratch/$target"
  log=$scratch/$target.log
  # -rss_limit_mb keeps a run within the machine; -timeout flags an input that hangs.
  if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
      "$scratch/$target" "$here/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$target: FINDING (input in $artifacts)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: ${runs:-?} executions in ${seconds} s, no finding"
done
