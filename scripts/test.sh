#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds (warnings are errors),
# runs every test,
# then builds the serial, network, session, window and command-line tests under
# ThreadSanitizer and runs them.
#   scripts/test.sh          the suite plus the ThreadSanitizer run
#   scripts/test.sh --asan   the suite under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

run_suite() { # DIR CTEST-ARGS...
  local dir="$1"; shift
  (cd "$dir" && ctest --output-on-failure --timeout 300 -j 2 "$@")
}

if [ "${1:-}" = "--asan" ]; then
  "$root/scripts/build.sh" "$root/build-asan" -DORVANE_ASAN_UBSAN=ON -DORVANE_WERROR=ON
  run_suite "$root/build-asan"
  exit 0
fi

"$root/scripts/build.sh" "$root/build" -DORVANE_WERROR=ON
run_suite "$root/build"

echo "== serial and link tests under ThreadSanitizer =="
BUILD_TARGETS="tst_serial_port tst_camera_session tst_paced_sender tst_main_dialog tst_main_link tst_para_page tst_osd_page tst_upgrade_transfer tst_upgrade_page tst_cli tst_provision tst_station tst_network_line" "$root/scripts/build.sh" "$root/build-tsan" -DORVANE_TSAN=ON -DORVANE_WERROR=ON
run_suite "$root/build-tsan" -R '^tst_(serial_port|camera_session|paced_sender|main_dialog|main_link|para_page|osd_page|upgrade_transfer|upgrade_page|cli|provision|station|network_line)$'
