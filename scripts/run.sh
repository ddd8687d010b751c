#!/bin/sh
# The main job of `make run`: a new default configuration written by vantrixctl
# into a temporary file, then every field of it printed.
set -eu
BUILD=${1:-build/default}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$BUILD/tools/vantrixctl/vantrixctl" cfg-new "$tmp/new.cfg"
"$BUILD/tools/vantrixctl/vantrixctl" cfg-dump "$tmp/new.cfg"
