#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated camera on a
# pseudo-terminal mapped to COM1 (build/app/config.ini, [Ports] COM1=...),
# and opens Orvane Config, ready for "打开串口". Closing the window ends both.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" > "$root/build.log" 2>&1 || { tail -40 "$root/build.log"; exit 1; }

app="$root/build/app"
link="$app/camera-com1"
config="$app/config.ini"
# Keep a config.ini of the user's; only the COM1 mapping is ours.
if [ -f "$config" ] && grep -qi '^\[PathInfo\]' "$config"; then
  grep -v -i '^COM1=' "$config" | sed '/^\[Ports\]/d' > "$config.tmp"
  { printf '[Ports]\nCOM1=%s\n' "$link"; cat "$config.tmp"; } > "$config"
  rm -f "$config.tmp"
else
  printf '[Ports]\nCOM1=%s\n' "$link" > "$config"
fi

"$root/build/sim/orvane-camsim" --link "$link" &
camsim=$!
trap 'kill $camsim 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "COM1 -> $link (camera simulator, pid $camsim)"
"$app/orvane-config"
