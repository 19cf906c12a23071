#!/usr/bin/env bash
# Installs the build into a scratch root and checks that everything lands where a desktop
# expects it: the program with its archive, the command on the PATH, the menu entry and icon.
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr/local >/dev/null
prog="$root/usr/local/libexec/pellow/pellow"
test -x "$prog" || { echo "program not installed"; exit 1; }
test -s "$root/usr/local/libexec/pellow/res002.pak" || { echo "archive not beside the program"; exit 1; }
cmp -s "$build/bin/res002.pak" "$root/usr/local/libexec/pellow/res002.pak" || { echo "archive differs"; exit 1; }
test -s "$root/usr/local/libexec/pellow/pellow-game.so" || { echo "game module not beside the program"; exit 1; }
test -s "$root/usr/local/libexec/pellow/pellow-art.so" || { echo "art module not beside the program"; exit 1; }
link="$root/usr/local/bin/pellow"
test -L "$link" || { echo "no command on the PATH"; exit 1; }
[ "$(readlink -f "$link")" = "$(readlink -f "$prog")" ] || { echo "command points elsewhere"; exit 1; }
desktop="$root/usr/local/share/applications/pellow.desktop"
desktop-file-validate "$desktop"
grep -q '^Exec=pellow$' "$desktop"
grep -q '^Icon=pellow$' "$desktop"
icon="$root/usr/local/share/icons/hicolor/128x128/apps/pellow.png"
identify -format '%w %h' "$icon" | grep -x '128 128' >/dev/null || { echo "icon is not 128 x 128"; exit 1; }
test -s "$root/usr/local/share/doc/pellow/CREDITS.md"
# The installed program answers on its own (a wrong option is refused with its usage).
if "$link" --no-such-option 2>/dev/null; then echo "bad option accepted"; exit 1; fi
# --version and --help answer on stdout and end at once, without a display or a settings file.
env -u DISPLAY HOME=/nonexistent "$link" --version | grep -x 'Pellow [0-9]*\.[0-9]*\.[0-9]*' >/dev/null || { echo "--version"; exit 1; }
env -u DISPLAY HOME=/nonexistent "$link" --help | grep -- '--fullscreen' >/dev/null || { echo "--help"; exit 1; }
echo "install layout ok"
