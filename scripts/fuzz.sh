#!/usr/bin/env bash
# Fuzzes the upgrade package reader and the settings-file reader with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer:
#   scripts/fuzz.sh [SECONDS]   (default 300 for each)
# Not part of the test command. Installs clang and its runtime when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
for package in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" && continue
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$package"
done
BUILD_TARGETS="fuzz_package fuzz_settings_file" "$root/scripts/build.sh" "$root/build-fuzz" \
  -DCMAKE_CXX_COMPILER=clang++ -DORVANE_FUZZ=ON
seconds="${1:-300}"

packages="$root/build-fuzz/corpus-package"
mkdir -p "$packages"
# Seeds: real archives (stored and deflated entries, a traversal name),
# without their first two bytes, which the target puts back as "QZ".
python3 - "$packages" <<'PY'
import io, sys, zipfile
for i, method in enumerate((zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as archive:
        archive.writestr("cam_V1.3.elf.flash", b"e" * 300)
        archive.writestr("../escape.sof.flash", b"s" * 40)
        archive.writestr("cn.font.flash", bytes(range(256)))
    open(f"{sys.argv[1]}/seed-{i}", "wb").write(buffer.getvalue()[2:])
PY
"$root/build-fuzz/fuzz/fuzz_package" -max_total_time="$seconds" -max_len=65536 "$packages"

settings="$root/build-fuzz/corpus-settings"
mkdir -p "$settings"
# Seeds: a whole settings file as the command line writes one, and a short one.
cat > "$settings/seed-whole" <<'JSON'
{"format": 1, "camera": {"hardware_version": "V1.2", "software_version": "V1.3", "video_format": "1080p@30"},
 "brightness": 50, "contrast": 40, "chroma": 30, "saturation": 20, "backlight_level": 10, "gain": 60,
 "auto_gain": true, "contrast_enhancement": false, "negative": false, "mirror": true,
 "iris": "auto", "backlight": "manual", "scene": "dim", "white_balance": "custom", "day_night": "auto",
 "exposure_compensation": 2, "sharpness": 15, "shutter": {"range_ms": [5, 25]}, "osd_language": "english"}
JSON
echo '{"format": 1, "brightness": 70, "shutter": "1/60"}' > "$settings/seed-short"
"$root/build-fuzz/fuzz/fuzz_settings_file" -max_total_time="$seconds" -max_len=4096 "$settings"
