#!/usr/bin/env bash
# The search skill and the Python reference give identical JSON, order included, on a fixture
# tree built here and on /usr/include. The /usr/include cases are skipped for a sanitizer build
# (they only repeat the fixture's checks on a larger tree, at many times the cost).
set -euo pipefail

tool="${ORVANE_TOOLS_DIR:?}/search_files_tool"
# shared/ lies beside the checkout (or beside the folder of worktrees).
reference=""
for candidate in "${ORVANE_SOURCE_DIR:?}/../shared" "$ORVANE_SOURCE_DIR/../../shared"; do
  if [[ -f "$candidate/reference/search_ref.py" ]]; then
    reference="$candidate/reference/search_ref.py"
    break
  fi
done
python=/usr/bin/python3
if [[ -z "$reference" ]]; then
  echo "SKIP: search_ref.py not found beside $ORVANE_SOURCE_DIR"
  exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
t="$work/t"
mkdir -p "$t/sub/deep" "$t/bdir" "$t/.dotdir" "$t/empty_dir"
printf 'print("a")  # TODO\n' > "$t/a.py"
printf 'b = 1\n' > "$t/b.py"
printf 'hidden = True\n' > "$t/.hidden.py"
printf 'x = "FIXME later"\n' > "$t/.dotdir/x.py"
printf 'def c(): pass\n' > "$t/sub/c.py"
printf 'size_t d(void);\n' > "$t/sub/deep/d.py"
printf 'e\n' > "$t/bdir/e.py"
printf 'one\r\ntwo\r\nthree' > "$t/crlf.txt"
printf 'a\rb\rTODO\r' > "$t/cr.txt"
printf 'ok \xff\xfe TODO \xc3\x28 end\n' > "$t/bad.txt"
printf '\xef\xbb\xbfbom first\n' > "$t/bom.txt"
printf '' > "$t/empty.txt"
printf 'caf\xc3\xa9 na\xc3\xafve \xd9\xa3\n' > "$t/unicode.txt"
printf 'x\n' > "$t/Upper.PY"
ln -s sub "$t/link_dir"
ln -s a.py "$t/link_file.py"
ln -s nowhere.py "$t/dangling.py"

# compare [--engine NAME] DIRECTORY PATTERN [CONTENT_REGEX] [MAX_RESULTS]: runs both and keeps
# the outputs; one Python run at the end compares every case.
count=0
compare() {
  local engine=()
  if [[ "$1" == --engine ]]; then
    engine=(--engine "$2")
    shift 2
  fi
  count=$((count + 1))
  printf '%s\n' "$*" > "$work/$count.args"
  "$tool" "$@" > "$work/$count.mine" || true
  "$python" "$reference" "$@" "${engine[@]}" > "$work/$count.ref" || true
}

cases=(
  "**/*.py" "*" "**/*" "*.py" "[!b]*" "**/[!b]*.py" "sub/../*.py" "sub//deep/*.py" "./sub/*"
  "*/*.py" "link_dir/*.py" "**" "**/**/*.py" "sub/" "?.py" "*.PY" "**/*.txt" "sub/**"
  "../t/*.py" ".*" "[a-c]*.py" "**/deep/*" "empty_dir/*" "link_dir/**/*.py"
)
for pattern in "${cases[@]}"; do
  compare "$t" "$pattern"
done
content_cases=(
  "TODO|FIXME" '\w+' 'o$' '^' '' 'x*' '\r' '(?i)todo' '\bsize_t\b' '.' 'e\n' '\d' 'é|ï'
)
for regex in "${content_cases[@]}"; do
  compare "$t" "**/*" "$regex" 1000
done
compare "$t" "**/*.py" "" 2
compare "$t" "**/*" "x*" 3
compare "$t" "**/*" "" 0
compare "$t" "**/*" "" -1
compare "$t" ""
compare "$t" "/abs/*"
compare "$t" "a**"
compare "$t" "*" "("
compare "$t/missing" "*"
compare "$t/a.py" "*"
(cd "$t" && compare . "**/*.py" && compare . "sub/*" "c" 5)

if [[ "$("$tool" --build)" == "sanitized" ]]; then
  echo "note: sanitizer build, /usr/include cases skipped"
else
  # The reference's scandir engine gives the pathlib engine's results (its --self-check) in a
  # fraction of the time; the fixture above runs the pathlib engine itself.
  compare --engine scandir /usr/include "**/*.h" "" 10000000
  compare --engine scandir /usr/include "*/*.h" "" 10000000
  compare --engine scandir /usr/include "boost/**/*.hpp" "" 10000000
  compare --engine scandir /usr/include "**/*.h" "TODO|FIXME" 10000000
  compare --engine scandir /usr/include "**/*.h" '\b\w+_t\s*\(' 10000000
fi

"$python" - "$work" "$count" <<'PY'
import json, sys
work, count = sys.argv[1], int(sys.argv[2])
prefix = "Invalid regex pattern: "
failures = 0
for i in range(1, count + 1):
    args = open(f"{work}/{i}.args", encoding="utf-8").read().strip()
    try:
        mine = json.load(open(f"{work}/{i}.mine", encoding="utf-8"), object_pairs_hook=list)
        ref = json.load(open(f"{work}/{i}.ref", encoding="utf-8"), object_pairs_hook=list)
    except ValueError as error:
        print("UNREADABLE:", args, error)
        failures += 1
        continue
    if mine == ref:
        continue
    m, r = dict(mine), dict(ref)
    # The regex engines word their compile errors differently: compare the prefix only.
    if (m.get("status") == r.get("status") == "error"
            and str(m.get("error", "")).startswith(prefix)
            and str(r.get("error", "")).startswith(prefix)):
        continue
    failures += 1
    print("DIFFERENT:", args)
    print("  mine:", json.dumps(mine, ensure_ascii=False)[:600])
    print("  ref: ", json.dumps(ref, ensure_ascii=False)[:600])
if failures:
    print(f"{failures} of {count} cases differ from the reference")
    sys.exit(1)
print(f"all {count} cases identical to the reference")
PY
