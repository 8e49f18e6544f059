#!/usr/bin/env bash
# Start-to-listing, memory and printing benchmarks, against the sqlite3 shell on the same table.
#   bench/run.sh            (RUNS=5 runs a measurement by default; RUNS=3 bench/run.sh for fewer)
# Builds what it needs in build-bench/ (Release), writes the practices there once and reuses them,
# and prints one table (also saved as build-bench/bench-results.md).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
runs=${RUNS:-5}

need() {
    local program=$1 package=$2
    if command -v "$program" >/dev/null 2>&1; then
        return
    fi
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "Installing $package for $program ..." >&2
        apt-get install -y --no-install-recommends "$package" >/dev/null
    else
        echo "bench/run.sh needs $program: apt-get install $package" >&2
        exit 1
    fi
}
need /usr/bin/time time
need sqlite3 sqlite3
need pdfinfo poppler-utils

echo "Building (Release) in $build ..." >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DREPEATFIX_BENCH=ON \
    -DREPEATFIX_TESTS=OFF >/dev/null
cmake --build "$build" --target repeatfix_bench mkpractice --parallel 2 >/dev/null
bench="$build/bench/repeatfix_bench"
mkpractice="$build/tools/mkpractice"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# name rows bad
practices=(
    "p10k 10000 1000"
    "p100k 100000 10000"
    "p1m 1000000 100000"
    "p1m-allbad 1000000 1000000"
)

practice_dir() { echo "$build/practices/$1"; }

# A practice is written under a temporary name and renamed when complete, so that an interrupted
# run never leaves a half-written one to be reused.
make_practice() {
    local name=$1 rows=$2 bad=$3 dir
    dir=$(practice_dir "$name")
    if [ -f "$dir/SKRPT.db" ]; then
        return
    fi
    echo "Writing the practice $name ($rows rows, $bad bad) ..." >&2
    mkdir -p "$build/practices"
    rm -rf "$dir.partial"
    "$mkpractice" "$dir.partial" --rows "$rows" --bad "$bad" --seed 1 >/dev/null
    mv "$dir.partial" "$dir"
}

# The settings store the program reads, pointing at one practice.
use_practice() {
    export XDG_CONFIG_HOME="$work/config-$1"
    mkdir -p "$XDG_CONFIG_HOME"
    printf '[General]\nCurrent%%20Practice=%s\n' "$(practice_dir "$1")" \
        >"$XDG_CONFIG_HOME/Corvanta.conf"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { sort -g | head -n1; }
maximum() { sort -g | tail -n1; }
thousands() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }
# The value of key=... in the program's line of timings.
field() { sed -n "s/.*\\b$1=\\([0-9.]*\\).*/\\1/p"; }

shell_query='SELECT "Chart Number" || '"' Name: '"' || "Name" || '"' Provider: '"' || "Provider" || '"' '"' || "Start Date" || '"' '"'
FROM (Select * From SKRPT Where "Unit" = '"'None'"' or "Unit" = '"''"')'

for entry in "${practices[@]}"; do
    # shellcheck disable=SC2086
    make_practice $entry
done

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.md"
{
    echo "| practice (SKRPT rows) | bad entries | start to listing, median of $runs (min-max) | in-process: listing painted | peak RSS | sqlite3 shell, median | ratio | targets |"
    echo "|---|---|---|---|---|---|---|---|"
} >"$results"

for entry in "${practices[@]}"; do
    read -r name rows bad <<<"$entry"
    use_practice "$name"
    : >"$work/wall" && : >"$work/rss" && : >"$work/painted" && : >"$work/shell"
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$bench" --expect "$bad" >"$work/out"
        read -r wall rss <"$work/time"
        echo "$wall" >>"$work/wall"
        echo "$rss" >>"$work/rss"
        field painted <"$work/out" >>"$work/painted"

        /usr/bin/time -f '%e' -o "$work/time" \
            sqlite3 -batch "$(practice_dir "$name")/SKRPT.db" "$shell_query" >/dev/null
        cat "$work/time" >>"$work/shell"
    done
    wall=$(median <"$work/wall")
    shell=$(median <"$work/shell")
    rss_mb=$(awk '{ printf "%d", $1 / 1024 }' < <(maximum <"$work/rss"))
    ratio=$(awk -v a="$wall" -v c="$shell" 'BEGIN { printf (c > 0 ? "%.1f" : "-"), a / c }')
    targets=""
    if [ "$name" = p1m ]; then
        targets=$(awk -v a="$wall" -v r="$ratio" 'BEGIN {
            printf "listed <= 1.0 s: %s; ratio <= 8: %s", (a <= 1.0 ? "met" : "MISSED"), (r <= 8 ? "met" : "MISSED") }')
    elif [ "$name" = p1m-allbad ]; then
        targets=$(awk -v a="$wall" -v m="$rss_mb" 'BEGIN {
            printf "listed <= 6 s: %s; RSS <= 800 MB: %s", (a <= 6 ? "met" : "MISSED"), (m <= 800 ? "met" : "MISSED") }')
    fi
    printf '| %s | %s | %s s (%s-%s) | %s s | %s MB | %s s | %s | %s |\n' \
        "$(thousands "$rows")" "$(thousands "$bad")" \
        "$wall" "$(minimum <"$work/wall")" "$(maximum <"$work/wall")" \
        "$(median <"$work/painted")" "$rss_mb" "$shell" "$ratio" "$targets" >>"$results"
done

# Printing: the 100,000-entry listing to a PDF file through the program's own printing function.
use_practice p1m
: >"$work/print"
for _ in $(seq 3); do
    "$bench" --expect 100000 --print "$work/listing.pdf" >"$work/out"
    field print_seconds <"$work/out" >>"$work/print"
done
print_seconds=$(median <"$work/print")
pages=$(pdfinfo "$work/listing.pdf" | awk '/^Pages:/ { print $2 }')
pdf_mb=$(stat -c %s "$work/listing.pdf" | awk '{ printf "%.1f", $1 / 1048576 }')
print_target=$(awk -v p="$print_seconds" 'BEGIN { print (p <= 20 ? "met" : "MISSED") }')
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

{
    echo
    echo "| printing | seconds, median of 3 | pages | PDF size | target |"
    echo "|---|---|---|---|---|"
    echo "| the 100,000-entry listing to a PDF file | $print_seconds s | $pages | $pdf_mb MB | <= 20 s: $print_target |"
    echo
    echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
        "$(awk '/^MemTotal:/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo) memory;" \
        "load average (1, 5, 15 min) $load_before before, $load_after after."
} >>"$results"

cp "$results" "$build/bench-results.md"
cat "$results"
