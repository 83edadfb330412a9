#!/usr/bin/env bash
# Usage: reports.sh <folder>
# Prints every sanitizer report in the folder and fails if there is one.
set -uo pipefail

shopt -s nullglob
reports=("$1"/*)
for r in "${reports[@]}"; do
    echo "==== $(basename "$r")"
    cat "$r"
done
if [ ${#reports[@]} -ne 0 ]; then
    echo "FAIL: ${#reports[@]} sanitizer report(s) in $1"
    exit 1
fi
echo "no sanitizer reports"
