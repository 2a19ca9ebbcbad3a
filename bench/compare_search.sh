#!/usr/bin/env bash
# Side-by-side timing of the search skill on /usr/include (or DIR), in one run:
#   ours       disk_tools_bench: SearchFilesSkill::execute in-process, median of N
#   reference  search_ref.py --summary: its in-process elapsed_s, median of N
#   rg -j1     ripgrep on one thread, wall time of the process, median of N
# Usage: bench/compare_search.sh [BUILD_DIR] [N] [DIR]   (defaults: build 5 /usr/include)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
repeat="${2:-5}"
directory="${3:-/usr/include}"
bench="$build/bench/disk_tools_bench"
reference=""
for candidate in "$here/../../shared" "$here/../../../shared"; do
  [[ -f "$candidate/reference/search_ref.py" ]] && reference="$candidate/reference/search_ref.py" && break
done
[[ -x "$bench" ]] || { echo "build $bench first" >&2; exit 2; }
[[ -n "$reference" ]] || { echo "search_ref.py not found beside the checkout" >&2; exit 2; }
command -v rg > /dev/null || { echo "ripgrep (rg) is not installed" >&2; exit 2; }

"$bench" --directory "$directory" --repeat "$repeat" --case glob --case todo --case call > "${TMPDIR:-/tmp}/ours.$$"
/usr/bin/python3 - "$reference" "$directory" "$repeat" "${TMPDIR:-/tmp}/ours.$$" <<'PY'
import json, statistics, subprocess, sys, time
reference, directory, repeat, ours_file = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
ours = {c["case"]: c for c in map(json.loads, open(ours_file))}
cases = [
    ("glob", "**/*.h", "", ["--files", "-g", "*.h"]),
    ("todo", "**/*.h", "TODO|FIXME", ["--count-matches", "-g", "*.h", "TODO|FIXME"]),
    ("call", "**/*.h", r"\b\w+_t\s*\(", ["--count-matches", "-g", "*.h", r"\b\w+_t\s*\("]),
]
print(f"{'case':6} {'files':>6} {'matches':>8} {'ours ms':>9} {'ref ms':>9} {'rg -j1 ms':>10} {'ref/ours':>9} {'ours/rg':>8}")
for name, pattern, regex, rg_args in cases:
    ref_times, summary = [], None
    for _ in range(repeat):
        out = subprocess.run(["/usr/bin/python3", reference, directory, pattern, regex, "100000000",
                              "--summary"], capture_output=True, text=True, check=True).stdout
        summary = json.loads(out)
        ref_times.append(summary["elapsed_s"])
    rg_times = []
    for _ in range(repeat):
        start = time.perf_counter()
        subprocess.run(["rg", "--no-config", "-uuu", "-j1", *rg_args, directory],
                       stdout=subprocess.DEVNULL, check=False)
        rg_times.append(time.perf_counter() - start)
    mine = ours[name]
    if (mine["files"], mine["sum_content_matches"]) != (summary["total_matches"], summary["sum_content_matches"]):
        print(f"  {name}: counts differ from the reference: {mine} vs {summary}")
    o, r, g = mine["median_s"] * 1e3, statistics.median(ref_times) * 1e3, statistics.median(rg_times) * 1e3
    print(f"{name:6} {mine['files']:>6} {mine['sum_content_matches']:>8} {o:>9.1f} {r:>9.1f} {g:>10.1f} {r / o:>9.2f} {o / g:>8.2f}")
PY
rm -f "${TMPDIR:-/tmp}/ours.$$"
