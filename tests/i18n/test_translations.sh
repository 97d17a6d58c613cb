#!/usr/bin/env bash
# Every translation in translations/ holds every text of the sources, finished, and
# nothing the sources no longer have, with the places ("%s", "%d", "%n") of each text.
# After a change of texts: cmake --build build --target update_translations, translate
# what is new, and this test passes again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lupdate=$(command -v lupdate6 || command -v lupdate || true)
[ -x /usr/lib/qt6/bin/lupdate ] && lupdate=/usr/lib/qt6/bin/lupdate
[ -n "$lupdate" ] || { echo "lupdate not found (Debian: qt6-l10n-tools)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
for ts in "$root"/translations/vimosync_*.ts; do
    cp "$ts" "$tmp/updated.ts"
    "$lupdate" -silent -locations none -extensions cpp,h "$root/src" -ts "$tmp/updated.ts"
    python3 "$here/check_translations.py" "$ts" "$tmp/updated.ts" || status=1
done
exit $status
