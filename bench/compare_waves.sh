#!/usr/bin/env bash
# Runs the Python reference scheduler and wave_planner_bench side by side on the same generated
# graphs and prints their figures and ratios.
#
#   bench/compare_waves.sh [N ...]          (default: 10000 100000 1000000)
#
# Environment: WAVES_REF (path of waves_ref.py; default ../shared/reference/waves_ref.py beside
# the repository), BUILD_DIR (default build), RUNS (timed runs per program, default 3), ROUNDS
# (side-by-side rounds; the table shows the median over rounds, default 1).
# Graphs are written once to bench/data/graph-N.json (git-ignored) by the reference's generator.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
ref=${WAVES_REF:-$repo/../shared/reference/waves_ref.py}
build=${BUILD_DIR:-$repo/build}
runs=${RUNS:-3}
rounds=${ROUNDS:-1}
python=/usr/bin/python3
bench=$build/bench/wave_planner_bench
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000)

[ -f "$ref" ] || { echo "reference not found: $ref (set WAVES_REF)" >&2; exit 2; }
[ -x "$bench" ] || { echo "benchmark not built: $bench (cmake --build build --target wave_planner_bench)" >&2; exit 2; }
mkdir -p "$repo/bench/data"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# KEEP_REPORTS=DIR keeps the JSON reports of both programs there.
[ -z "${KEEP_REPORTS:-}" ] || { mkdir -p "$KEEP_REPORTS"; trap 'cp "$out"/*.json "$KEEP_REPORTS"/; rm -rf "$out"' EXIT; }

for n in "${sizes[@]}"; do
  graph=$repo/bench/data/graph-$n.json
  if [ ! -s "$graph" ]; then
    echo "generating $graph" >&2
    "$python" "$ref" -n "$n" -r 1 --write "$graph.tmp" > /dev/null
    mv "$graph.tmp" "$graph"
  fi
  for ((round = 1; round <= rounds; round++)); do
    echo "n=$n round $round/$rounds: reference" >&2
    "$python" "$ref" --read "$graph" -r "$runs" --phases > "$out/ref-$n-$round.json"
    echo "n=$n round $round/$rounds: wave_planner_bench" >&2
    "$bench" "$graph" -r "$runs" --phases > "$out/cpp-$n-$round.json"
  done
done

"$python" - "$out" "$rounds" "${sizes[@]}" <<'EOF'
import json, statistics, sys
out, rounds, sizes = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
def load(kind, n):
    return [json.load(open(f"{out}/{kind}-{n}-{r}.json")) for r in range(1, rounds + 1)]
def med(docs, *path):
    values = []
    for d in docs:
        for p in path:
            d = d[p]
        values.append(d)
    return statistics.median(values)
print(f"{'files':>9} {'op':<32} {'reference s':>12} {'C++ s':>10} {'speed-up':>9}")
rows = []
for n in sizes:
    ref, cpp = load("ref", n), load("cpp", n)
    for op in ("build_dependency_graph", "topological_sort",
               "group_files_by_dependency_level", "get_parallelizable_batches"):
        r, c = med(ref, op, "median_s"), med(cpp, op, "median_s")
        print(f"{n:>9} {op:<32} {r:>12.4f} {c:>10.4f} {r / c if c else float('inf'):>8.1f}x")
    rows.append((n, ref, cpp))
print()
# Peak memory over the input: the reference's covers all its timed operations; the C++ figure
# is given both over all operations and for get_parallelizable_batches alone.
print(f"{'files':>9} {'levels':>7} {'batches':>8} {'unordered':>9} {'ref MiB':>8} {'C++ all':>8}"
      f" {'ratio':>6} {'C++ gpb':>8} {'ratio':>6}  digest (reference / C++)")
for n, ref, cpp in rows:
    rm = med(ref, "rss_peak_increase_for_scheduling_mib")
    cm = med(cpp, "rss_peak_increase_for_scheduling_mib")
    gm = med(cpp, "get_parallelizable_batches", "peak_increase_mib")
    same = all(a[k] == b[k] for a, b in zip(ref, cpp)
               for k in ("levels", "batches", "remaining_on_cycles_or_below", "levels_digest"))
    ratio = lambda c: c / rm if rm else float("nan")
    print(f"{n:>9} {cpp[0]['levels']:>7} {cpp[0]['batches']:>8}"
          f" {cpp[0]['remaining_on_cycles_or_below']:>9} {rm:>8.1f} {cm:>8.1f} {ratio(cm):>6.3f}"
          f" {gm:>8.1f} {ratio(gm):>6.3f}  {ref[0]['levels_digest']} / {cpp[0]['levels_digest']}"
          f"{'' if same else '  MISMATCH'}")
EOF
