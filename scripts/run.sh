#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated camera on a
# pseudo-terminal mapped to COM1 (build/app/config.ini, [Ports] COM1=...),
# and opens Orvane Config, ready for "打开串口" ("Open port" in English).
# Closing the window ends both.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
mkdir -p "$root/build"
# Only what it runs, with the flags scripts/test.sh builds with, so that the
# suite later builds on top of it; the steps are counted on one line.
BUILD_TARGETS="orvane-config orvane-cli orvane-camsim LangChn" "$root/scripts/build.sh" "$root/build" -DORVANE_WERROR=ON \
  2>&1 | tee "$root/build/build.log" | awk '/^\[[0-9]+\/[0-9]+\]/ { printf "\rbuilding %s ", $1; fflush() } END { print "" }' \
  || { tail -40 "$root/build/build.log"; exit 1; }

app="$root/build/app"
link="$app/camera-com1"
config="$app/config.ini"
# Keep whatever config.ini holds; only the COM1 mapping is ours.
touch "$config"
awk -v link="$link" '
  /^\[[Pp][Oo][Rr][Tt][Ss]\]/ { print; print "COM1=" link; mapped = 1; next }
  /^[Cc][Oo][Mm]1[ \t]*=/ { next }
  { print }
  END { if (!mapped) { print "[Ports]"; print "COM1=" link } }' "$config" > "$config.new"
mv "$config.new" "$config"

"$root/build/sim/orvane-camsim" --link "$link" &
camsim=$!
trap 'kill $camsim 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "COM1 -> $link (camera simulator, pid $camsim)"
"$app/orvane-config"
