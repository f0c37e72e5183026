#!/usr/bin/env bash
# Fuzzes the upgrade package reader with libFuzzer under AddressSanitizer:
#   scripts/fuzz.sh [SECONDS]   (default 300)
# Not part of the test command. Installs clang and its runtime when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
for package in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" && continue
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$package"
done
BUILD_TARGETS=fuzz_package "$root/scripts/build.sh" "$root/build-fuzz" \
  -DCMAKE_CXX_COMPILER=clang++ -DORVANE_FUZZ=ON
corpus="$root/build-fuzz/corpus"
mkdir -p "$corpus"
# Seeds: real archives (stored and deflated entries, a traversal name),
# without their first two bytes, which the target puts back as "QZ".
python3 - "$corpus" <<'PY'
import io, sys, zipfile
for i, method in enumerate((zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as archive:
        archive.writestr("cam_V1.3.elf.flash", b"e" * 300)
        archive.writestr("../escape.sof.flash", b"s" * 40)
        archive.writestr("cn.font.flash", bytes(range(256)))
    open(f"{sys.argv[1]}/seed-{i}", "wb").write(buffer.getvalue()[2:])
PY
"$root/build-fuzz/fuzz/fuzz_package" -max_total_time="${1:-300}" -max_len=65536 "$corpus"
