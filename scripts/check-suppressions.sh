#!/usr/bin/env bash
# Checks that every function a sanitizer suppression file names is still in the binaries it runs
# against: a suppression whose function was renamed or moved no longer suppresses anything, and a
# run then passes or fails by chance. Entries for code that is not ours (the C library, Qt) carry
# the comment line "# not in our binaries" right above them and are not looked up.
#   scripts/check-suppressions.sh SUPPRESSIONS BINARY...
set -euo pipefail

supp=$1
shift
symbols=$(for binary in "$@"; do nm -C "$binary" 2>/dev/null || true; done)
if [ -z "$symbols" ]; then
  echo "check-suppressions: no symbols in ${*:-the binaries given}" >&2
  exit 1
fi

stale=0
previous=
while IFS= read -r line || [ -n "$line" ]; do
  entry=${line%%#*}
  entry=$(echo "$entry" | tr -d '[:space:]')
  if [ -n "$entry" ] && [ "$previous" != "# not in our binaries" ]; then
    pattern=${entry#*:}
    # The sanitizers match the pattern anywhere in a function's name; * stands for any text.
    regex=$(printf '%s' "$pattern" | sed -e 's/[][\.^$+?(){}|/]/\\&/g' -e 's/\*/.*/g')
    if ! grep -qE -- "$regex" <<<"$symbols"; then
      echo "check-suppressions: $supp names '$pattern', which none of the binaries holds" >&2
      stale=1
    fi
  fi
  previous=$line
done <"$supp"
exit "$stale"
