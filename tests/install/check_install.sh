#!/usr/bin/env bash
# Installs the build into a temporary prefix with DESTDIR and checks what a desktop expects
# there: the layout, the programs running from it, the desktop entry and the metainfo.
# Exits 77 (skipped) with the reason when a tool it needs is missing.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$dest/usr"
for file in bin/teskar7-cli bin/teskar7-sim lib/teskar7/teskar7 lib/teskar7/vardo.hlp \
    share/applications/teskar7.desktop share/metainfo/ru.kelmet.teskar7.metainfo.xml \
    share/icons/hicolor/scalable/apps/teskar7.svg share/icons/hicolor/48x48/apps/teskar7.png \
    share/man/man1/teskar7.1.gz share/man/man1/teskar7-cli.1.gz \
    share/man/man1/teskar7-sim.1.gz share/doc/teskar7/copyright; do
    [ -e "$usr/$file" ] || fail "$file is not installed"
done
[ "$(readlink "$usr/bin/teskar7")" = "../lib/teskar7/teskar7" ] ||
    fail "bin/teskar7 is not a link to lib/teskar7/teskar7"
[ -x "$usr/bin/teskar7" ] || fail "bin/teskar7 does not lead to the program"

# The installed programs run from where they are.
"$usr/bin/teskar7-cli" --help | grep -q "export" || fail "teskar7-cli --help"
"$usr/bin/teskar7-cli" --version | grep -q "^teskar7-cli [0-9]" || fail "teskar7-cli --version"
"$usr/bin/teskar7-sim" --version | grep -q "^teskar7-sim [0-9]" || fail "teskar7-sim --version"
zcat "$usr/share/man/man1/teskar7-cli.1.gz" | grep -q "EXIT STATUS" || fail "teskar7-cli(1)"

# The window program through its link, offscreen, with settings of its own: it must still
# be running (its main window up) after the splash, and find its manual beside itself.
home="$dest/home"
mkdir -p "$home"
set +e
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen \
    timeout 6 "$usr/bin/teskar7" >"$dest/window.log" 2>&1
code=$?
set -e
[ "$code" -eq 124 ] || fail "the window program ended early ($code): $(cat "$dest/window.log")"
[ -e "$(dirname "$(readlink -f "$usr/bin/teskar7")")/vardo.hlp" ] ||
    fail "the manual is not beside the program the link leads to"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/teskar7.desktop" || fail "desktop entry"
else
    echo "desktop-file-validate is not installed: the desktop entry is not validated"
    skipped=1
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/ru.kelmet.teskar7.metainfo.xml" \
        >/dev/null || fail "metainfo"
else
    echo "appstreamcli is not installed: the metainfo is not validated"
    skipped=1
fi
echo "installed layout ok"
[ -z "${skipped:-}" ] || exit 77
