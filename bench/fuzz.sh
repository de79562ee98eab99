#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (the engine's sources are
# compiled directly, independent of the CMake build) and runs each one for SECONDS,
# then prints executions per second and total executions for every target.
#
#   bench/fuzz.sh SECONDS [TARGET...]     SECONDS 0 only builds
#
# QUILLVANE_FUZZ_DIR  build folder (default build/fuzz); corpora and crash inputs stay in it
# FUZZ_CXX            the compiler (default clang++)
# FUZZ_JOBS           parallel compilations (default 2)
# Exits non-zero when a target fails to build, crashes, hangs or finds a difference.
set -euo pipefail

usage() {
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
}
[[ $# -ge 1 && $1 =~ ^[0-9]+$ ]] || usage
SECONDS_PER_TARGET=$1
shift

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${QUILLVANE_FUZZ_DIR:-$ROOT/build/fuzz}
CXX=${FUZZ_CXX:-clang++}
JOBS=${FUZZ_JOBS:-2}
MAX_LEN=4096

if ! command -v "$CXX" >/dev/null; then
    echo "fuzz.sh: $CXX not found (Debian packages clang and libclang-rt-14-dev)" >&2
    exit 1
fi

ALL_TARGETS=()
for source in "$ROOT"/tests/fuzz/*_fuzzer.cpp; do
    ALL_TARGETS+=("$(basename "$source" .cpp)")
done
TARGETS=("$@")
[[ ${#TARGETS[@]} -gt 0 ]] || TARGETS=("${ALL_TARGETS[@]}")
for target in "${TARGETS[@]}"; do
    [[ -f $ROOT/tests/fuzz/$target.cpp ]] || {
        echo "fuzz.sh: no target $target (have: ${ALL_TARGETS[*]})" >&2
        exit 2
    }
done

SANITIZE=(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
CXXFLAGS=(-std=c++20 -O1 -g -Wall -Wextra -Wpedantic -I"$ROOT" "${SANITIZE[@]}")
mkdir -p "$OUT/obj"

# An object is rebuilt when its source or any header it may include is newer.
NEWEST_HEADER=$ROOT/convert/converters.h
for header in "$ROOT"/convert/*.h "$ROOT"/tests/convert/*.h "$ROOT"/tests/support/*.h; do
    if [[ $header -nt $NEWEST_HEADER ]]; then
        NEWEST_HEADER=$header
    fi
done
compile() { # source object extra-flags...
    local source=$1 object=$2
    shift 2
    if [[ -f $object && $object -nt $source && $object -nt $NEWEST_HEADER ]]; then
        return 0
    fi
    "$CXX" "${CXXFLAGS[@]}" "$@" -c "$source" -o "$object"
}

running=0
failed=0
spawn() {
    "$@" &
    running=$((running + 1))
    if ((running >= JOBS)); then
        wait -n || failed=1
        running=$((running - 1))
    fi
}
drain() {
    while ((running > 0)); do
        wait -n || failed=1
        running=$((running - 1))
    done
}

# The engine is instrumented for coverage too: it is what the fuzzer explores.
ENGINE_OBJECTS=()
for source in "$ROOT"/convert/*.cpp; do
    object=$OUT/obj/$(basename "$(dirname "$source")")_$(basename "$source" .cpp).o
    ENGINE_OBJECTS+=("$object")
    spawn compile "$source" "$object" -fsanitize=fuzzer-no-link
done
for target in "${TARGETS[@]}"; do
    spawn compile "$ROOT/tests/fuzz/$target.cpp" "$OUT/obj/$target.o" -fsanitize=fuzzer-no-link
done
drain
((failed == 0)) || {
    echo "fuzz.sh: compilation failed" >&2
    exit 1
}
for target in "${TARGETS[@]}"; do
    "$CXX" "${SANITIZE[@]}" -fsanitize=fuzzer "$OUT/obj/$target.o" "${ENGINE_OBJECTS[@]}" -o "$OUT/$target"
done
echo "fuzz.sh: built ${TARGETS[*]} in $OUT"
((SECONDS_PER_TARGET > 0)) || exit 0

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
status=0
for target in "${TARGETS[@]}"; do
    corpus=$OUT/corpus/$target
    log=$OUT/$target.log
    mkdir -p "$corpus" "$OUT/crashes"
    echo "fuzz.sh: running $target for $SECONDS_PER_TARGET s"
    result=ok
    # -timeout: one input may take at most 10 s, which only a hang comes near.
    if ! "$OUT/$target" "$corpus" -dict="$ROOT/tests/fuzz/convert.dict" -max_len=$MAX_LEN \
        -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$OUT/crashes/$target-" >"$log" 2>&1; then
        result=FAILED
        status=1
        echo "fuzz.sh: $target FAILED; the end of $log:" >&2
        tail -n 40 "$log" >&2
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    summary+=("$(printf '%-28s %12s %14s  %s' "$target" "${rate:-?}" "${execs:-?}" "$result")")
done

printf '\n%-28s %12s %14s  %s\n' target "execs/s" "executions" result
printf '%s\n' "${summary[@]}"
exit $status
