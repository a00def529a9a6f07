#!/usr/bin/env bash
# Builds the Debian package from a finished build tree and checks it as a clean
# Debian 12 would see it: its contents, its dependencies, the desktop entry and
# AppStream metadata validators, lintian, and tolvane-batch run from a scratch
# root the package was unpacked into. Exit 77 (skipped) without dpkg-deb.
#   check_package.sh BUILD_DIR [CORPUS_PICTURE]
set -uo pipefail
build=$(cd "$1" && pwd)
picture=${2:-}
command -v dpkg-deb >/dev/null && command -v cpack >/dev/null || { echo "no dpkg-deb or cpack: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"; exit 1
fi
debs=("$work"/out/tolvane_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls "$work/out"; echo "FAIL: no single tolvane_<version>_amd64.deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Contents.
dpkg-deb -c "$deb" | awk '{ print $6, $7, $8 }' | sed 's|^\./|/|' >"$work/contents"
has() { grep -q -- "^$1\( \|$\)" "$work/contents" || fail "the package lacks $1"; }
has /usr/bin/tolvane
has /usr/bin/tolvane-batch
has /usr/libexec/tolvane/tolvane
has /usr/libexec/tolvane/tolvane-batch
has /usr/libexec/tolvane/UserData.ini
has /usr/libexec/tolvane/apData/
has /usr/share/applications/tolvane.desktop
for size in 16 22 24 32 48 64 128 256; do has /usr/share/icons/hicolor/${size}x${size}/apps/tolvane.png; done
has /usr/share/icons/hicolor/scalable/apps/tolvane.svg
has /usr/share/metainfo/com.example.quillon.Tolvane.metainfo.xml
for page in tolvane tolvane-batch; do
  has /usr/share/man/man1/$page.1.gz
  has /usr/share/man/ja/man1/$page.1.gz
done
has /usr/share/doc/tolvane/copyright
has /usr/share/doc/tolvane/changelog.gz
grep -q '^/usr/bin/tolvane -> \.\./libexec/tolvane/tolvane$' "$work/contents" || fail "/usr/bin/tolvane is no link into libexec"
help_page=$(grep -o '^/usr/share/tolvane/help/[^ ]*\.html\?' "$work/contents" | head -1)
echo "help page: ${help_page:-none installed}"

# Dependencies from the linked shared libraries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libpng16-16; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib"
done

# Unpacked into a scratch root: the validators and the batch tool from there.
root=$work/root
dpkg -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/tolvane.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/com.example.quillon.Tolvane.metainfo.xml" || fail "appstreamcli validate"
fi
help=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/tolvane-batch" --help 2>&1) || fail "tolvane-batch --help from the scratch root"
[[ $help == *"Usage:"* ]] || fail "tolvane-batch --help printed no usage: $help"
if [ -n "$picture" ] && [ -f "$picture" ]; then
  info=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/tolvane-batch" "$picture" --do 回転/右90度 --info \
           --save "$work/turned.png" 2>&1) || fail "tolvane-batch from the scratch root: $info"
  echo "batch from the scratch root: $info"
  [ -s "$work/turned.png" ] || fail "tolvane-batch from the scratch root saved nothing"
fi

# Lintian: no errors (its warnings are listed for the reader).
if command -v lintian >/dev/null; then
  lintian --allow-root --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
  cat "$work/lintian.log"
  grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"
fi

[ $failures -eq 0 ] && echo "package checks passed" || exit 1
