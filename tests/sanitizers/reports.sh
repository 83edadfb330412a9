#!/usr/bin/env bash
# Usage: reports.sh <folder>
# Prints every sanitizer report in the folder and fails if there is one.
# A file that holds only "failed to allocate" warnings is no finding: ASan
# returned null as malloc does, and the program handled it (a damaged
# settings file); an unhandled failure ends its test anyway.
set -uo pipefail

shopt -s nullglob
findings=0
for r in "$1"/*; do
    echo "==== $(basename "$r")"
    cat "$r"
    if grep -qv 'WARNING: AddressSanitizer failed to allocate 0x' "$r"; then
        findings=$((findings + 1))
    fi
done
if [ $findings -ne 0 ]; then
    echo "FAIL: $findings sanitizer report(s) in $1"
    exit 1
fi
echo "no sanitizer reports"
