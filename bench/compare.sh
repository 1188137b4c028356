# bench/run --compare: the processor use of the working tree's orvex-config against that of a
# given commit, measured side by side.  Sourced by bench/run, which provides root, build, work
# and log.
#
# Both programs view the same orvex-emulator (the working tree's) in one X server, one after the
# other, each for a steady and then a moving sample; the order flips every round so that a
# machine growing busier or quieter during the run weighs on both alike.  A program's processor
# time is the scheduler's nanosecond count summed over its threads: /proc/PID/stat counts in
# 10 ms ticks, which is too coarse for a process that idles nearly all the time.

# compare_with_commit COMMIT ROUNDS SECONDS
compare_with_commit() {
    local commit=$1 rounds=$2 seconds=$3
    local full
    full=$(git -C "$root" rev-parse --verify --quiet "$commit^{commit}") ||
        { log "bench/run: $commit is not a commit"; exit 2; }
    local short=${full:0:7}
    local baseline=$build-$short

    build_commit "$full" "$baseline"
    log "Building the working tree in $build (Release)..."
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_BENCHMARKS=ON \
        >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
    cmake --build "$build" --target orvex-config orvex-emulator orvex-bench-emulator-command \
        orvex-bench-floor \
        >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }

    write_compare_script "$work/compare-under-x.sh"
    log "Measuring $rounds rounds of 2 programs x 2 samples of $seconds s under Xvfb..."
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/compare-under-x.sh" \
        "$baseline/build/bin/orvex-config" "$build/bin" "$work" "$rounds" "$seconds"
    print_comparison "$work/compare.txt" "$short" "$rounds" "$seconds"
}

# build_commit HASH FOLDER: the commit's tree in FOLDER/source, built in Release in FOLDER/build.
# The tree is exported once; later runs only let ninja check the build.
build_commit() {
    local full=$1 folder=$2
    if [[ ! -f $folder/source/.exported || $(<"$folder/source/.exported") != "$full" ]]; then
        log "Exporting ${full:0:7} into $folder/source..."
        rm -rf "$folder/source"
        mkdir -p "$folder/source"
        git -C "$root" archive "$full" | tar -x -C "$folder/source"
        echo "$full" >"$folder/source/.exported"
    fi
    log "Building ${full:0:7} in $folder/build (Release)..."
    cmake -S "$folder/source" -B "$folder/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCHMARKS=OFF >"$work/configure-baseline.log" ||
        { cat "$work/configure-baseline.log" >&2; exit 1; }
    cmake --build "$folder/build" --target orvex-config >"$work/build-baseline.log" 2>&1 ||
        { tail -n 40 "$work/build-baseline.log" >&2; exit 1; }
}

write_compare_script() {
    cat >"$1" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
baseline=$1 bin=$2 work=$3 rounds=$4 seconds=$5

socket=$work/compare.sock
"$bin/orvex-emulator" --socket "$socket" --devices 1 >"$work/emulator.out" 2>&1 &
emulator=$!
trap 'kill $emulator 2>/dev/null || true' EXIT
for ((i = 0; i < 100; ++i)); do
    [[ -S $socket ]] && break
    sleep 0.05
done
control() { "$bin/orvex-bench-emulator-command" "$socket" "$@"; }

# Processor time of a process so far, in milliseconds.
cpu_ms() {
    if compgen -G "/proc/$1/task/*/sched" >/dev/null; then
        awk '/^se.sum_exec_runtime/ { sum += $3 } END { printf "%.3f\n", sum }' \
            /proc/"$1"/task/*/sched
    else
        awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f\n", ($14 + $15) * 1000 / hz }' \
            "/proc/$1/stat"
    fi
}

# sample ROUND LABEL PID INPUTS: one sample, noting whether the program viewed the device.
sample() {
    local state before after viewing=no
    state=$(control "STATE 1" || true)
    [[ $state == *attached=yes* && $state == *handles=1* ]] && viewing=yes
    before=$(cpu_ms "$3")
    sleep "$seconds"
    after=$(cpu_ms "$3")
    echo "$1 $2 $4 $(awk -v a="$after" -v b="$before" 'BEGIN { print a - b }') $viewing" \
        >>"$work/compare.txt"
}

# run_program ROUND LABEL PROGRAM: steady inputs, then moving ones, in one run of the program.
run_program() {
    control "ANIMATE 1 off" "LIVE 1 10 60 110 160 210 250" >/dev/null
    "$3" --emulator "$socket" >/dev/null 2>&1 &
    local program=$!
    sleep 2 # start-up and the first search, which attaches within a second
    sample "$1" "$2" "$program" steady
    control "ANIMATE 1 on" >/dev/null
    sleep 1
    sample "$1" "$2" "$program" moving
    kill "$program"
    wait "$program" 2>/dev/null || true
}

: >"$work/compare.txt"
for ((round = 1; round <= rounds; ++round)); do
    if ((round % 2)); then
        run_program "$round" baseline "$baseline"
        run_program "$round" work "$bin/orvex-config"
    else
        run_program "$round" work "$bin/orvex-config"
        run_program "$round" baseline "$baseline"
    fi
    # The floor: nothing but the 10 ms sleep and the poll's two exchanges, steady inputs.
    control "ANIMATE 1 off" "LIVE 1 10 60 110 160 210 250" >/dev/null
    floor=$("$bin/orvex-bench-floor" "$socket" "$seconds")
    echo "$round floor steady $(awk -v p="$floor" -v s="$seconds" 'BEGIN { print p * s * 10 }') yes" \
        >>"$work/compare.txt"
done
INNER
}

# print_comparison FILE COMMIT ROUNDS SECONDS: a row per round and the ratios' median and range.
print_comparison() {
    awk -v commit="$2" -v seconds="$4" -v load="$(cut -d ' ' -f 1-3 /proc/loadavg)" \
        -v cores="$(nproc)" '
        function percent(ms) { return 100 * ms / (1000 * seconds) }
        function median(list, n,    sorted, i, j, t) {
            for (i = 1; i <= n; ++i) sorted[i] = list[i]
            for (i = 2; i <= n; ++i)
                for (j = i; j > 1 && sorted[j - 1] > sorted[j]; --j) {
                    t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t
                }
            return (n % 2) ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2
        }
        {
            ms[$1, $2, $3] = $4
            if ($5 != "yes") lost[$1] = 1
            if ($1 > last) last = $1
        }
        END {
            printf "Processor use of orvex-config viewing orvex-emulator under Xvfb, %d s per sample\n", seconds
            printf "(%% of one core; ratio = working tree / %s)\n\n", commit
            printf "%-6s  %14s  %12s  %6s  %14s  %12s  %6s\n", "Round", "Steady " commit,
                "Steady work", "Ratio", "Moving " commit, "Moving work", "Ratio"
            for (r = 1; r <= last; ++r) {
                if (r in lost) { printf "%-6d  (a program did not view the device: left out)\n", r; continue }
                line = sprintf("%-6d", r)
                for (k = 1; k <= 2; ++k) {
                    inputs = (k == 1) ? "steady" : "moving"
                    base = ms[r, "baseline", inputs]; mine = ms[r, "work", inputs]
                    ratio = (base > 0) ? mine / base : 0
                    n[inputs]++
                    ratios[inputs, n[inputs]] = ratio
                    line = line sprintf("  %12.3f %%  %10.3f %%  %6.2f", percent(base), percent(mine), ratio)
                    basePct[inputs, n[inputs]] = percent(base); workPct[inputs, n[inputs]] = percent(mine)
                }
                print line
            }
            print ""
            for (k = 1; k <= 2; ++k) {
                inputs = (k == 1) ? "steady" : "moving"
                count = n[inputs]
                if (count == 0) { printf "%s: no round measured\n", inputs; failed = 1; continue }
                lo = hi = ratios[inputs, 1]
                for (i = 1; i <= count; ++i) {
                    list[i] = ratios[inputs, i]; b[i] = basePct[inputs, i]; w[i] = workPct[inputs, i]
                    if (list[i] < lo) lo = list[i]
                    if (list[i] > hi) hi = list[i]
                }
                m = median(list, count)
                printf "%s: ratio %.2f (median of %d rounds; %.2f to %.2f), %.3f %% against %.3f %% of a core; goal <= 0.5: %s\n",
                    (k == 1) ? "Steady" : "Moving", m, count, lo, hi, median(w, count), median(b, count),
                    (m <= 0.5) ? "met" : "missed"
            }
            for (i = 1; i <= n["steady"]; ++i) floors[i] = percent(ms[i, "floor", "steady"])
            if (n["steady"] > 0)
                printf "Floor: %.3f %% of a core (median), a program doing nothing but the 10 ms sleep and the two exchanges (orvex-bench-floor)\n",
                    median(floors, n["steady"])
            printf "\nMachine: %d cores, load average %s at the end.\n", cores, load
            exit failed
        }' "$1"
}
