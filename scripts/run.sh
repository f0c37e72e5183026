#!/usr/bin/env bash
# Installs what is missing, builds, and starts the simulated camera on a
# pseudo-terminal mapped to COM1 (build/config.ini, [Ports] COM1=...).
# Until the main window lands, this leaves the camera running for a terminal
# program or the tests; Ctrl+C ends it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" > "$root/build.log" 2>&1 || { tail -40 "$root/build.log"; exit 1; }

link="$root/build/camera-com1"
printf '[Ports]\nCOM1=%s\n' "$link" > "$root/build/config.ini"
echo "COM1 -> $link (build/config.ini)"
echo "Talk to it by hand, e.g.:  picocom -b 115200 $link   then type: r 001F <Enter>"
exec "$root/build/sim/orvane-camsim" --link "$link"
