#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks what a player installs with it:
# the program with its archive, the command on the PATH, the menu entry and icon, the software
# centre's description, the manual page, and dependencies on every shared library it uses.
set -euo pipefail
build=${1:?usage: package_test.sh BUILD_DIR VERSION}
version=${2:?usage: package_test.sh BUILD_DIR VERSION}
fail() { echo "FAIL: $*"; exit 1; }
# A step that fails without a message of its own still says which one it was.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (exit $?)"' ERR
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$work/out/pellow_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"); made: $(ls "$work/out")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pellow ] && [ "$(field Version)" = "$version" ] && [ "$(field Section)" = games ] ||
    fail "control fields: $(dpkg-deb -f "$deb")"

root=$work/root
dpkg-deb -x "$deb" "$root"
# Exactly these files, and nothing any user but root may change.
files=$(cd "$root" && find . ! -type d | sort)
expected="./usr/bin/pellow
./usr/bin/pellow-server
./usr/lib/systemd/system/pellow-server.service
./usr/libexec/pellow/pellow
./usr/libexec/pellow/pellow-art.so
./usr/libexec/pellow/pellow-game.so
./usr/libexec/pellow/res002.pak
./usr/share/applications/pellow.desktop
./usr/share/doc/pellow/CREDITS.md
./usr/share/doc/pellow/LICENSE
./usr/share/icons/hicolor/128x128/apps/pellow.png
./usr/share/man/man6/pellow.6.gz
./usr/share/metainfo/org.pellow.Pellow.metainfo.xml"
[ "$files" = "$expected" ] || fail "the package holds:
$files"
dpkg-deb -c "$deb" | awk '$2 != "root/root" || ($1 !~ /^l/ && $1 ~ /^.....w|^........w/)' | grep . &&
    fail "files not root's alone"

# The table server's unit starts the server the package installs (by name: a path of the
# build's own prefix would name /usr/local), and nothing enables it.
grep -qx "ExecStart=pellow-server --listen 127.0.0.1:7427" "$root/usr/lib/systemd/system/pellow-server.service" ||
    fail "the server's unit starts something else"
dpkg-deb -e "$deb" "$work/control"
[ ! -e "$work/control/postinst" ] || fail "the package runs a script when installed"

prog=$root/usr/libexec/pellow/pellow
module=$root/usr/libexec/pellow/pellow-game.so
art=$root/usr/libexec/pellow/pellow-art.so
cmp -s "$build/bin/res002.pak" "$root/usr/libexec/pellow/res002.pak" || fail "the archive differs from the build's"
[ "$(readlink "$root/usr/bin/pellow")" = ../libexec/pellow/pellow ] || fail "pellow on the PATH points elsewhere"

# Every library the program and its game module need comes from a package the game depends on.
depends=$(field Depends)
while read -r lib; do
    # awk reads to the end: leaving early would end ldconfig by SIGPIPE, a failure under pipefail
    # whenever ldconfig had not yet written everything.
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64|64bit/ && !found { print $NF; found = 1 }')
    [ -n "$path" ] || path=$(ldconfig -p | awk -v l="$lib" '$1 == l && !found { print $NF; found = 1 }')
    # dpkg knows a library by the path its package ships, with or without the /usr of usrmerge.
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null) ||
        fail "no package holds $lib ($path)"
    owner=${owner%%:*}
    # With or without a version: dpkg-shlibdeps gives one only where the library's package states it.
    [[ ", $depends," == *", $owner ("* || ", $depends," == *", $owner,"* ]] || fail "$lib (from $owner) is not among the dependencies: $depends"
done < <(
    readelf -d "$prog" "$module" "$art" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | sort -u
    # and those they load themselves later, which they name by their full file name
    strings -a "$prog" "$module" "$art" | grep -E '^lib[A-Za-z0-9_+.-]+\.so\.[0-9]+$' || true
)

appstreamcli validate --no-net "$root/usr/share/metainfo/org.pellow.Pellow.metainfo.xml" >"$work/as.log" ||
    { cat "$work/as.log"; fail "the metainfo is not valid"; }
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/org.pellow.Pellow.metainfo.xml" ||
    fail "the metainfo does not describe version $version"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$root/usr/share/man/man6/pellow.6.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "the manual page: $man_warnings"
MANWIDTH=80 man -l "$root/usr/share/man/man6/pellow.6.gz" 2>/dev/null | grep -- '--window' >/dev/null ||
    fail "the manual page does not describe --window"

# The installed command runs: an unknown option is refused with the usage.
status=0
"$root/usr/bin/pellow" --no-such-option 2>"$work/usage.txt" || status=$?
[ "$status" -eq 2 ] && grep -q '^usage: pellow' "$work/usage.txt" || fail "the installed command answered $status"

echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(field Installed-Size) KiB"
echo "Depends: $depends"
