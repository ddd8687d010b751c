#!/bin/sh
# `make test`: configure, build and test every preset in turn (asan, tsan,
# fuzz, default, the lint over the default build, then windows), quietly. Each stage's configure and build output goes to
# build/<preset>/ci-build.log and its CTest output to build/<preset>/ci-test.log;
# only a failure prints them. Every stage runs even when an earlier one
# failed; the exit status is non-zero when any of them failed, and the last
# lines printed are the summary, one CTest summary line per stage.
#   STAGES="asan default" make test   runs only those stages
#   JOBS=4 make test                  builds with 4 parallel jobs (default 2)
set -u
cd "$(dirname "$0")/.."

STAGES=${STAGES:-"asan tsan fuzz default lint windows"}
JOBS=${JOBS:-2}
summary=""
failed=0
t0=$(date +%s)

note() { summary="$summary$(printf '%-8s %s' "$1" "$2")
"; }

for stage in $STAGES; do
    if [ "$stage" = lint ]; then
        # clang-format and clang-tidy over the default build's sources.
        start=$(date +%s)
        echo "make test: lint ..."
        mkdir -p build/default
        rm -f build/lint.log
        if { cmake --preset default && cmake --build --preset default --parallel "$JOBS"; } >build/default/lint-build.log 2>&1 &&
            scripts/lint.sh build/default >build/lint.log 2>&1; then
            note lint "$(tail -n 1 build/lint.log)  [$(( $(date +%s) - start )) s]"
        else
            cat build/lint.log 2>/dev/null || tail -n 60 build/default/lint-build.log
            note lint "FAILED (see build/lint.log)"
            failed=1
        fi
        continue
    fi
    dir=build/$stage
    mkdir -p "$dir"
    blog=$dir/ci-build.log
    tlog=$dir/ci-test.log
    start=$(date +%s)
    echo "make test: $stage ..."
    if ! { cmake --preset "$stage" && cmake --build --preset "$stage" --parallel "$JOBS"; } >"$blog" 2>&1; then
        tail -n 60 "$blog"
        note "$stage" "BUILD FAILED (see $blog)"
        failed=1
        continue
    fi
    ctest --preset "$stage" >"$tlog" 2>&1
    rc=$?
    result=$(grep -E "tests passed|No tests were found" "$tlog" | tail -n 1)
    [ -n "$result" ] || result="no CTest summary (see $tlog)"
    if [ $rc -ne 0 ]; then
        # Everything but the tests that passed: failures with their output.
        grep -vE "^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed |^ +Start +[0-9]+: " "$tlog"
        failed=1
    fi
    note "$stage" "$result  [$(( $(date +%s) - start )) s]"
done

echo
echo "== make test: $(( $(date +%s) - t0 )) s"
printf '%s' "$summary"
exit $failed
