#!/bin/sh
# `make lint`: clang-format (the repository's .clang-format) over every C++
# source and header in git, and clang-tidy (.clang-tidy) over every source of
# the build whose compile_commands.json is given. Quiet when clean; exits 1 on
# any finding.
#   scripts/lint.sh [BUILD_DIR]     (default build/default)
#   LINT_JOBS=N                     parallel clang-tidy runs (default 2)
set -u
cd "$(dirname "$0")/.."
BUILD=${1:-build/default}
JOBS=${LINT_JOBS:-2}
failed=0

sources=$(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run -Werror $sources; then
    echo "lint: clang-format found differences (clang-format -i <file> applies them)"
    failed=1
fi

if [ ! -f "$BUILD/compile_commands.json" ]; then
    echo "lint: no $BUILD/compile_commands.json (build the preset first)"
    exit 1
fi
# The sources that the build compiles and git holds: no generated files.
units=$(python3 - "$BUILD/compile_commands.json" <<'PY'
import json, os, subprocess, sys
tracked = set(subprocess.run(["git", "ls-files", "*.cpp"], capture_output=True, text=True).stdout.split())
root = os.getcwd()
seen = set()
for e in json.load(open(sys.argv[1])):
    f = os.path.relpath(os.path.join(e["directory"], e["file"]), root)
    if f in tracked and f not in seen:
        seen.add(f)
        print(f)
PY
)
log=$(mktemp)
# shellcheck disable=SC2086
if ! printf '%s\n' $units | xargs -P "$JOBS" -n 4 clang-tidy -p "$BUILD" --quiet >"$log" 2>&1; then
    grep -E "(warning|error):" "$log" | sort -u
    echo "lint: clang-tidy found $(grep -cE '(warning|error):' "$log") problems"
    failed=1
fi
rm -f "$log"
[ $failed -eq 0 ] && echo "lint: clean ($(echo $sources | wc -w) files formatted, $(echo $units | wc -w) units checked)"
exit $failed
