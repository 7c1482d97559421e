#!/usr/bin/env bash
# Runs every fuzz target of a build made with -DQA_FUZZ=ON for a fixed time
# on a seed corpus from the repository's fixtures and the shared reference
# files. Usage: scripts/fuzz.sh [build folder] [seconds per target]
# A finding stops the run with the target's failure; its input lands in
# <build>/fuzz-findings/<target>/. Save it as fuzz/reproducers/<target>/<name>.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-15}
conformance=${QA_CONFORMANCE_DIR:-../shared/conformance}

# The seed files of one target, one path a line.
seeds() {
  case "$1" in
    XmlFuzz) find tests "$conformance" -type f \( -name '*.xml' -o -name '*.compact' \) ;;
    PropertiesFuzz) find tests "$conformance/properties" -type f \( -name '*.properties' -o -name '*.in' \) ;;
    TemplateFuzz) find "$conformance" -type f -name '*.vm' ;;
    CsvFuzz) find tests -path '*fixtures*' -type f -name '*.txt' ;;
    SoapAnswerFuzz) find tests -type f -name '*.xml' ;;
  esac 2>/dev/null
  [ -d "fuzz/seeds/$1" ] && find "fuzz/seeds/$1" -type f
  [ -d "fuzz/reproducers/$1" ] && find "fuzz/reproducers/$1" -type f
  true
}

for program in "$build"/fuzz_*Fuzz; do
  target=${program##*/fuzz_}
  corpus="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings/$target"
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings"
  seeds "$target" | while read -r file; do cp "$file" "$corpus/$(cksum < "$file" | cut -d' ' -f1)"; done
  echo "== $target: $(ls "$corpus" | wc -l) seeds, ${seconds}s"
  "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' || true
  if ls "$findings"/* >/dev/null 2>&1; then
    echo "$target: finding(s) in $findings" >&2
    exit 1
  fi
done
