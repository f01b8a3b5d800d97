#!/bin/bash
# Packs the already-built tree (no second build) into a temporary folder and checks the package:
# its control fields, that everything lies under /usr, the menu entry, the AppStream metainfo, the
# icons, the manual page, the bash completion and the unpacked vorlith-cli (with the metafile
# helper).
# Usage: check-package.sh BUILD_DIR APP_ID
set -euo pipefail

build=$(cd "$1" && pwd)
app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
step() { echo "--- $*"; }

step "cpack into $work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
deb=$work/out/vorlith_1.04_amd64.deb
[[ -f $deb ]] || { ls -l "$work/out" >&2; fail "no vorlith_1.04_amd64.deb"; exit 1; }

step "control fields"
field() { dpkg-deb --field "$deb" "$1"; }
[[ $(field Package) == vorlith ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == 1.04 ]] || fail "Version is '$(field Version)'"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "Depends: $depends"
# dpkg-shlibdeps found the libraries the programs link.
tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' >"$work/depends"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 zlib1g \
    libqt6svg6 libwmf-0.2-7 libemf2svg1 fonts-urw-base35; do
    grep -qxF "$library" "$work/depends" || fail "Depends lacks $library"
done

step "contents"
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's#^\./#/#; s#/$##' | grep -v '^/$' | sort >"$work/contents"
outside=$(grep -v -e '^/usr$' -e '^/usr/' -e '^/etc$' -e '^/etc/vorlith$' -e '^/etc/vorlith/sources.ini$' \
    "$work/contents" || true)
[[ -z $outside ]] || fail "files outside /usr and /etc/vorlith/sources.ini: $outside"
expected=(
    /usr/bin/vorlith /usr/bin/vorlith-cli /usr/bin/vorlith-skin
    /usr/lib/vorlith/vorlith-standin /usr/lib/vorlith/vorlith-metafile
    "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml"
    /usr/share/icons/hicolor/scalable/apps/vorlith.svg /usr/share/bash-completion/completions/vorlith-cli
    /usr/share/doc/vorlith/copyright /usr/share/doc/vorlith/changelog.gz
    /etc/vorlith/sources.ini
)
# Every program users start has its manual page; helpers stay out of the bin folder.
for program in $(grep '^/usr/bin/.' "$work/contents"); do
    expected+=("/usr/share/man/man1/$(basename "$program").1.gz")
done
for size in 16 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x$size/apps/vorlith.png")
done
for file in "${expected[@]}"; do
    grep -qxF "$file" "$work/contents" || fail "the package lacks $file"
done

step "unpack"
root=$work/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml

step "desktop-file-validate"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_program=$(entry Exec | cut -d ' ' -f 1)
[[ -x $root/usr/bin/$exec_program ]] || fail "Exec names '$exec_program', which the package does not hold"
icon=$(entry Icon)
for file in "$share/icons/hicolor/scalable/apps/$icon.svg" "$share/icons/hicolor/48x48/apps/$icon.png"; do
    [[ -f $file ]] || fail "Icon '$icon' has no $file"
done

step "appstreamcli validate --no-net"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
grep -qF '<release version="1.04"' "$metainfo" || fail "the metainfo has no release 1.04"

step "icon sizes"
for size in 16 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/vorlith.png
    [[ -f $png ]] || continue
    actual=$(identify -format '%m %wx%h' "$png")
    [[ $actual == "PNG ${size}x$size" ]] || fail "$png is $actual"
done

step "lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || fail "$(cat "$work/lintian.txt")"

step "man -l"
for page in "$share"/man/man1/*.1.gz; do
    LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -l "$page" >"$work/man.txt" 2>"$work/man.err" ||
        fail "man -l $page failed"
    [[ ! -s $work/man.err ]] || fail "man -l $page warns: $(cat "$work/man.err")"
    grep -q '^NAME' "$work/man.txt" && grep -q '^SYNOPSIS' "$work/man.txt" || fail "$page has no NAME or SYNOPSIS"
done
LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$share/man/man1/vorlith-cli.1.gz" >"$work/man.txt" 2>/dev/null

step "the window's class, and --version and --help without a display"
[[ $(entry StartupWMClass) == Vorlith ]] || fail "StartupWMClass is '$(entry StartupWMClass)'"
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$1" "$2"; }
[[ $(headless vorlith --version) == "vorlith 1.04" && $(headless vorlith-cli --version) == "vorlith-cli 1.04" ]] ||
    fail "--version printed '$(headless vorlith --version)' and '$(headless vorlith-cli --version)'"
headless vorlith --help | grep -q '^Usage: vorlith' || fail "vorlith --help prints no usage"

step "the unpacked vorlith-cli --help"
cli=$root/usr/bin/vorlith-cli
"$cli" --help >"$work/help.txt" || fail "vorlith-cli --help exited with $?"
head -n 1 "$work/help.txt"
grep -q '^Usage: ' "$work/help.txt" || fail "vorlith-cli --help prints no usage"

step "the unpacked tree is a portable copy"
# Outside the install prefix the program folder is the executable's own, and nothing goes to $HOME.
mkdir -p "$work/home"
HOME=$work/home XDG_DATA_HOME= "$cli" --branding >"$work/branding.txt" || fail "vorlith-cli --branding exited with $?"
grep -qF "Config:    none ($root/usr/bin/dbconfig.dat)" "$work/branding.txt" ||
    fail "the unpacked copy does not use its own folder: $(cat "$work/branding.txt")"
[[ -z $(ls -A "$work/home") ]] || fail "the unpacked copy wrote into HOME: $(ls -A "$work/home")"

step "the unpacked vorlith-cli shows metafile banners with the packaged helper"
"$build/tests/vorlith-metafile-samples" "$work" || fail "cannot write the sample metafiles"
for kind in wmf emf; do
    folder=$work/banner-$kind
    mkdir -p "$folder"
    printf '[Settings]\r\nBannerPath1=banner.%s\r\n' "$kind" >"$folder/dbconfig.dat"
    cp "$work/banner.$kind" "$folder/dbimg1.dat"
    HOME=$work/home "$cli" --folder "$folder" --branding >"$work/metafile.txt" 2>&1 ||
        fail "vorlith-cli --branding with a $kind banner: $(cat "$work/metafile.txt")"
    grep -q "banner.$kind from .*, picture [0-9]*x[0-9]*, strip" "$work/metafile.txt" ||
        fail "no $kind banner shown: $(cat "$work/metafile.txt")"
done

step "every option of --help in the manual page and the completion"
# shellcheck disable=SC1090
source "$share/bash-completion/completions/vorlith-cli"
mapfile -t options < <(sed -n 's/^  \([^ ]\{1,\}\).*/\1/p' "$work/help.txt")
((${#options[@]} >= 10)) || fail "read only ${#options[@]} options from --help"
for option in --help "${options[@]}"; do
    grep -qE -- "(^|[ ,])$option( |,|$)" "$work/man.txt" || fail "the manual page does not describe $option"
    COMP_WORDS=(vorlith-cli "$option")
    COMP_CWORD=1
    COMPREPLY=()
    _vorlith_cli || true # compgen fails when nothing matches
    printf '%s\n' "${COMPREPLY[@]}" | grep -qxF -- "$option" || fail "bash completion does not offer $option"
done
echo "${#options[@]} options checked"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
