#!/usr/bin/env bash
# tools/dist ships every .m file under toolbox/ in the package's inst/
# (helpers in subfolders such as private/ keep their folder) without naming
# them, and ships neither our test host nor test sources.
# Usage: dist_toolbox_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work/tree/toolbox/private"
cp -r "$src"/tools "$src"/package "$src"/help "$src"/core "$src"/gateway "$src"/plugins \
  "$src"/LICENSE "$work/tree/"
printf 'function y = fake_denoise (x)\n  y = fake_helper (x);\nend\n' >"$work/tree/toolbox/fake_denoise.m"
printf 'function y = fake_helper (x)\n  y = x;\nend\n' >"$work/tree/toolbox/private/fake_helper.m"
echo "notes" >"$work/tree/toolbox/notes.txt"
touch "$work/tree/core/fake_test.cpp"

tarball=$("$work/tree/tools/dist" "$work/out" 9.8.7)
listing=$(tar tzf "$tarball")
failed=0
expect() {
  if grep -qx "$1" <<<"$listing"; then echo "PASS has $1"; else echo "FAIL lacks $1"; failed=1; fi
}
refuse() {
  if grep -q "$1" <<<"$listing"; then echo "FAIL ships $1"; failed=1; else echo "PASS no $1"; fi
}
expect waveprob-9.8.7/inst/fake_denoise.m
expect waveprob-9.8.7/inst/private/fake_helper.m
expect waveprob-9.8.7/inst/kelvadra.m
expect waveprob-9.8.7/src/Makefile
expect waveprob-9.8.7/src/plugins/jebbinor.cpp
refuse notes.txt
refuse own_host
refuse _test.cpp
if tar xzOf "$tarball" waveprob-9.8.7/DESCRIPTION | grep -qx 'Version: 9.8.7'; then
  echo "PASS version"
else
  echo "FAIL version"
  failed=1
fi
exit $failed
