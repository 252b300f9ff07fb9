#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from this build, its contents and
# control fields, lintian, the desktop files' validators, the MIME types as xdg-mime sees them,
# the programs run from the unpacked tree (the thumbnailer on a stub-fronted package) and bash
# completion offering every option each program's --help names. Exit 77 (skipped) without
# dpkg-deb.
set -euo pipefail
build=$1
cpack=$2
if ! command -v dpkg-deb > /dev/null; then
  echo "skipped: dpkg-deb is not installed (scripts/setup installs dpkg-dev)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The package is signed by whoever builds it (ZARVO_MAINTAINER or DEBEMAIL); a test builder
# stands in when this build names none.
contact=()
grep -q 'CPACK_PACKAGE_CONTACT "zarvoplay developers"' "$build/CPackConfig.cmake" &&
  contact=(-D "CPACK_PACKAGE_CONTACT=Package Test <package-test@example.org>")
"$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" "${contact[@]}" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/zarvoplay_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no zarvoplay_VERSION_ARCH.deb"
deb=${debs[0]}
echo "built $(basename "$deb"), $(stat -c %s "$deb") bytes"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents"
for f in /usr/bin/zarvoplay /usr/bin/zarvopack /usr/bin/zarvoplay_setup \
         /usr/bin/zarvoplay-thumbnailer /usr/lib/zarvoplay/zarvoplay.zvl \
         /usr/lib/zarvoplay/jpeg.spi /usr/lib/zarvoplay/gif.spi \
         /usr/share/applications/zarvoplay.desktop /usr/share/mime/packages/zarvoplay.xml \
         /usr/share/thumbnailers/zarvoplay.thumbnailer \
         /usr/share/icons/hicolor/16x16/apps/zarvoplay.png \
         /usr/share/icons/hicolor/48x48/apps/zarvoplay.png \
         /usr/share/icons/hicolor/256x256/apps/zarvoplay.png \
         /usr/share/man/man1/zarvoplay.1.gz /usr/share/man/man1/zarvopack.1.gz \
         /usr/share/man/man1/zarvoplay_setup.1.gz /usr/share/man/man1/zarvoplay-thumbnailer.1.gz \
         /usr/share/bash-completion/completions/zarvoplay \
         /usr/share/bash-completion/completions/zarvopack \
         /usr/share/bash-completion/completions/zarvoplay_setup \
         /usr/share/doc/zarvoplay/copyright /usr/share/doc/zarvoplay/changelog.gz; do
  grep -qx "$f" "$work/contents" || fail "not in the package: $f"
done
grep -q '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/contents" || fail "no AppStream metainfo"
if grep -v '^/usr/' "$work/contents" | grep -q .; then fail "files outside /usr"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-ipafont-gothic libc6 libsdl2-2.0-0 libpng16-16; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *soundfont* ]] || fail "no sound font recommended"

if command -v lintian > /dev/null; then
  lintian "$deb" > "$work/lintian" 2>&1 || true
  cat "$work/lintian"
  if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi
else
  echo "lintian is not installed: not run"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$share/applications/zarvoplay.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml || fail "appstreamcli validate"
fi
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$share"/metainfo/*.metainfo.xml ||
  fail "no licence in the metainfo"
grep -q 'GPL-3' "$root/usr/share/doc/zarvoplay/copyright" || fail "no licence in the copyright file"
grep -q '^Exec=zarvoplay %f$' "$share/applications/zarvoplay.desktop" || fail "Exec line"
grep -q '^MimeType=application/x-zarvo-story;application/x-zarvo-script;application/zip;.*application/x-cd-image;' \
  "$share/applications/zarvoplay.desktop" || fail "MimeType line"

# The programs from the unpacked tree: they find their library relative to themselves.
for p in zarvoplay zarvopack zarvoplay_setup zarvoplay-thumbnailer; do
  "$root/usr/bin/$p" --help > "$work/$p.help" || fail "$p --help"
done
mkdir "$work/story"
cp "$build/demo/demo.zp7" "$work/story/zarvo.zf7"
cp "$build/demo/bg_morning.png" "$work/story/"
printf 'MZ\220\0a stub program' > "$work/story/stub.bin"
(cd "$work/story" &&
  "$root/usr/bin/zarvopack" create plain.zp7 --compress zarvo.zf7 bg_morning.png &&
  "$root/usr/bin/zarvopack" create stubbed --stub stub.bin zarvo.zf7 bg_morning.png) ||
  fail "zarvopack create"
cp "$build/demo/demo.zp7" "$work/story/script.zp7"
"$root/usr/bin/zarvoplay-thumbnailer" -s 64 "$work/story/stubbed" "$work/thumb.png" ||
  fail "the thumbnailer on a stub-fronted package"
[ "$(head -c 8 "$work/thumb.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the preview is no PNG"

# The MIME types as the desktop sees them: GIO reads the shared-mime-info database.
if command -v update-mime-database > /dev/null && command -v gio > /dev/null &&
   command -v xdg-mime > /dev/null; then
  update-mime-database "$share/mime" > /dev/null 2>&1
  query() {
    XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$work/nohome" XDG_CURRENT_DESKTOP=GNOME \
      xdg-mime query filetype "$1"
  }
  for pair in plain.zp7=application/x-zarvo-story stubbed=application/x-zarvo-story \
              script.zp7=application/x-zarvo-script; do
    got=$(query "$work/story/${pair%%=*}")
    [ "$got" = "${pair#*=}" ] || fail "xdg-mime calls ${pair%%=*} $got, not ${pair#*=}"
    echo "xdg-mime: ${pair%%=*} is $got"
  done
else
  echo "update-mime-database, gio or xdg-mime is not installed: MIME types not queried"
fi

# Completion offers every long option that --help names.
completions=/usr/share/bash-completion/bash_completion
if [ -f "$completions" ]; then
  for p in zarvoplay zarvopack zarvoplay_setup zarvoplay-thumbnailer; do
    words="$p --"
    [ "$p" = zarvopack ] && words="zarvopack create x --"
    offered=$(bash -c 'source "$1"; source "$2"; read -ra COMP_WORDS <<< "$3"
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE=$3; COMP_POINT=${#COMP_LINE}
      $(complete -p "${COMP_WORDS[0]}" | sed "s/.*-F \([^ ]*\) .*/\1/") "${COMP_WORDS[0]}" -- x
      printf "%s\n" "${COMPREPLY[@]}"' _ "$completions" \
      "$share/bash-completion/completions/$p" "$words")
    for opt in $(grep -o -- '--[a-z][a-z-]*' "$work/$p.help" | sort -u); do
      grep -qx -- "$opt" <<< "$offered" || fail "completion of $p lacks $opt"
    done
  done
  echo "bash completion offers every option of the four programs"
else
  echo "bash-completion is not installed: completion not tried"
fi
echo "package checked"
