#!/usr/bin/env bash
# The menu entry and the AppStream metadata are valid (where the validators are installed).
set -euo pipefail
app="$(dirname "$0")/../../src/app"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$app/net.vimosync.vimosync.metainfo.xml"
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$app/vimosync.desktop"
fi
grep -q '^Exec=vimosync$' "$app/vimosync.desktop"
grep -q '<launchable type="desktop-id">vimosync.desktop</launchable>' \
    "$app/net.vimosync.vimosync.metainfo.xml"
