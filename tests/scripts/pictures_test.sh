#!/usr/bin/env bash
# The pictures of docs/ show their windows' close boxes as glyphs, not as the letters Wine
# draws without its Marlett font; and the check says no to a caption with letters (a corner
# of a picture taken so), so that it can fail. Usage: pictures_test.sh
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/scripts/lib/check-pictures"

failures=0
"$check" "$root"/docs/*.png || { echo "FAILED: a picture in docs/ has letters for its caption buttons"; failures=1; }
if "$check" "$root/tests/scripts/caption-letters.png" 2>/dev/null; then
    echo "FAILED: the check passes a caption whose close box is the letter r"
    failures=1
fi
[ "$failures" = 0 ]
