# Shared by the scripts that run the real program: a private X server, a sandbox holding a copy
# of the game, and the ways a player starts, drives, watches and ends it. Source it from bash.
#
# The sandbox ($BOX) holds everything the program may see: game/ (the program and its archive),
# home/, tmp/ ($TMPDIR) and cwd/ (its working folder). The session's runtime folder
# ($XDG_RUNTIME_DIR) is $RUNTIME, outside the sandbox: on a desktop it belongs to the session,
# and libraries below the game may use it. What the tests keep (screenshots, the program's
# output) goes to $LOG, outside the sandbox.
#
# The program runs as on a desktop: on its own X server and inside a session of its own, with a
# private session bus that lives outside the sandbox. Without one, the libraries below the game
# would start a bus of their own through dbus-launch, which writes into the home folder and can
# outlive the game; with a desktop's bus nothing the game itself writes goes unseen.

set -u

PROGRAM_NAME_DIALOG='^Pellow \(Freeware\)$'
PID=
XVFB_PID=
BUS_PID=
BUS_ADDRESS=
BUS_AS=()          # how the session bus was started: its user may ask it questions
STATUS=
GAME_WID=
RUN_AS=()          # e.g. (setpriv --reuid=nobody ...) to run the program as another user
AUDIO_DRIVER=dummy

fail() {
    echo "FAIL: $*" >&2
    # What the player saw at that moment.
    if [ -n "${GAME_WID:-}" ] && [ -n "${LOG:-}" ] && running; then
        timeout 20 import -window "$GAME_WID" "$LOG/at_failure.png" 2>/dev/null
    fi
    if [ -n "${LOG:-}" ] && [ -s "$LOG/stderr.txt" ]; then
        echo "--- the program's stderr:" >&2
        cat "$LOG/stderr.txt" >&2
    fi
    exit 1
}
note() { echo "-- $*"; }

# poll SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds; false when
# the time runs out.
poll() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.1
    done
}

cleanup() {
    local pid mount
    [ -n "$PID" ] && kill -9 "$PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null
    # Whatever the program left behind, a failed test included, ends with the test.
    if [ -n "${BOX:-}" ]; then
        for pid in $(left_processes | cut -d' ' -f1); do kill "$pid" 2>/dev/null; done
        for mount in $(sandbox_mounts); do
            fusermount3 -u -z "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null
        done
    fi
    if [ -n "${ROOT:-}" ] && [ -d "$ROOT" ]; then
        chmod -R u+rwX "$ROOT" 2>/dev/null
        rm -rf "$ROOT"
    fi
}

# make_sandbox LOGDIR: a fresh sandbox and an empty log folder.
make_sandbox() {
    LOG=$1
    rm -rf "$LOG"
    mkdir -p "$LOG" || exit 1
    ROOT=$(mktemp -d "${TMPDIR:-/tmp}/pellow-faults.XXXXXX") || exit 1
    trap cleanup EXIT
    chmod 755 "$ROOT"
    BOX=$ROOT/box
    RUNTIME=$ROOT/runtime
    mkdir -p "$BOX/game" "$BOX/home" "$BOX/tmp" "$BOX/cwd" "$RUNTIME"
    chmod 700 "$RUNTIME"
}

# install_game PROGRAM [ARCHIVE]: the program with its game and art modules, and the archive
# beside it as res002.pak.
install_game() {
    cp "$1" "$BOX/game/pellow" || exit 1
    cp "$(dirname "$1")/pellow-game.so" "$(dirname "$1")/pellow-art.so" "$BOX/game/" || exit 1
    if [ $# -ge 2 ]; then cp "$2" "$BOX/game/res002.pak" || exit 1; fi
}

# Every name in the sandbox with its type, and for files their size, time and mode. Folder times
# are left out: making and removing the resource tree touches the program folder's time. The
# game's own settings, record and kept-match files, the pictures it keeps for a screen size (and
# the folders that hold them) are the one thing it may write: they are left out here and checked
# by expect_settings_files.
SETTINGS_DIR=home/.config/pellow
CACHE_DIR=home/.cache/pellow
snapshot() {
    find "$BOX" -mindepth 1 \( -type d -printf '%P dir %m\n' \) -o \( -printf '%P %y %s %T@ %m\n' \) |
        grep -Ev "^(home/\.config|$SETTINGS_DIR|$SETTINGS_DIR/settings|$SETTINGS_DIR/record|$SETTINGS_DIR/match) " |
        grep -Ev "^(home/\.cache|$CACHE_DIR|$CACHE_DIR/[A-Za-z0-9]+-[0-9]+x[0-9]+\.pics) " | sort
}
# The game's table as first designed, scaled (the cases about the design's pictures read them).
classic_table_settings() {
    mkdir -p "$BOX/$SETTINGS_DIR"
    printf 'pellow-settings 1\nclassic-table = yes\n' >"$BOX/$SETTINGS_DIR/settings"
}
# The settings folder holds nothing but the game's own files, each one whole.
expect_settings_files() {
    local dir=$BOX/$SETTINGS_DIR name
    [ -d "$dir" ] || return 0
    for name in $(ls -A "$dir"); do
        case $name in
        settings) head -1 "$dir/$name" | grep -qx 'pellow-settings 1' || fail "the settings file is not whole" ;;
        record) head -1 "$dir/$name" | grep -qx 'pellow-record 1' || fail "the record file is not whole" ;;
        match) head -1 "$dir/$name" | grep -qx 'pellow-match 1' || fail "the kept match is not whole" ;;
        *) fail "the program left $SETTINGS_DIR/$name" ;;
        esac
    done
    # The kept pictures: private, whole entries only (nothing half-written left beside them).
    dir=$BOX/$CACHE_DIR
    [ -d "$dir" ] || return 0
    [ "$(stat -c %a "$dir")" = 700 ] || fail "the kept pictures' folder is not the player's alone"
    for name in $(ls -A "$dir"); do
        case $name in
        *.pics) [ "$(head -c 8 "$dir/$name")" = PELPICS1 ] || fail "$CACHE_DIR/$name is not whole" ;;
        *) fail "the program left $CACHE_DIR/$name" ;;
        esac
    done
}
remember_sandbox() { snapshot >"$ROOT/before.txt"; }
# Fails, naming what changed, unless the sandbox is exactly as remembered.
expect_sandbox_unchanged() {
    snapshot >"$ROOT/after.txt"
    if ! diff -u "$ROOT/before.txt" "$ROOT/after.txt" >"$LOG/sandbox.diff"; then
        cat "$LOG/sandbox.diff" >&2
        fail "the program left or changed files ($1)"
    fi
    expect_settings_files
}

# start_x: a virtual X server on a free display number of its own choosing.
start_x() {
    local numfile=$ROOT/display
    : >"$numfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numfile" 2>"$ROOT/xvfb.log" &
    XVFB_PID=$!
    poll 30 grep -q '[0-9]' "$numfile" || fail "the X server did not start: $(cat "$ROOT/xvfb.log")"
    export DISPLAY=":$(tr -dc 0-9 <"$numfile")"
    poll 30 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "the X server does not answer"
}

# start_session_bus: the session's private bus, run by the player, its socket outside the
# sandbox. It outlives restarts of the program, as a desktop's does, and ends with the test.
start_session_bus() {
    local dir=$ROOT/session out
    mkdir -p "$dir" || exit 1
    [ ${#RUN_AS[@]} -eq 0 ] || chmod 1777 "$dir"  # the player may be another user
    out=$(env -i PATH="$PATH" HOME="$BOX/home" "${RUN_AS[@]}" dbus-daemon --session --fork \
        --address="unix:tmpdir=$dir" --print-address=1 --print-pid=1 2>"$ROOT/dbus.log") ||
        fail "the session bus did not start: $(cat "$ROOT/dbus.log")"
    BUS_ADDRESS=$(sed -n 1p <<<"$out")
    BUS_PID=$(sed -n 2p <<<"$out")
    BUS_AS=("${RUN_AS[@]}")
    [ -n "$BUS_ADDRESS" ] && [ -n "$BUS_PID" ] || fail "the session bus did not say where it is: $out"
}

# launch [ENV=VALUE...]: starts the program in its sandbox, in a window, in the session, with
# its output in $LOG. Its settings go to the sandbox's home, whatever XDG_CONFIG_HOME the test
# itself runs with.
# With NO_SESSION_BUS set it runs as on a machine without a desktop: no bus at all.
launch() {
    local bus=(-u DBUS_SESSION_BUS_ADDRESS)
    if [ -z "${NO_SESSION_BUS:-}" ]; then
        [ -n "$BUS_PID" ] || start_session_bus
        bus=(DBUS_SESSION_BUS_ADDRESS="$BUS_ADDRESS")
    fi
    (
        cd "$BOX/cwd" &&
            exec env -u XDG_CONFIG_HOME "${bus[@]}" HOME="$BOX/home" TMPDIR="$BOX/tmp" XDG_RUNTIME_DIR="$RUNTIME" \
                SDL_AUDIODRIVER="$AUDIO_DRIVER" "$@" "${RUN_AS[@]}" "$BOX/game/pellow" --window
    ) >>"$LOG/stdout.txt" 2>>"$LOG/stderr.txt" &
    PID=$!
    STATUS=
}

running() { [ -n "$PID" ] && kill -0 "$PID" 2>/dev/null; }
ended() { ! running; }

# The processes, other than the session bus, whose home is the sandbox's: what the program
# started, directly or through the bus.
left_processes() {
    local f pid
    for f in /proc/[0-9]*/environ; do
        pid=${f#/proc/}
        pid=${pid%/environ}
        [ "$pid" = "$BUS_PID" ] && continue
        tr '\0' '\n' 2>/dev/null <"$f" | grep -qxF "HOME=$BOX/home" && echo "$pid $(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline")"
    done
}
# What the session bus started holds a name on it (a desktop portal, say), even where its
# environment cannot be read, as a set-user-ID helper's cannot. The bus is asked by its own user.
left_bus_names() {
    [ -n "$BUS_ADDRESS" ] || return 0
    local names
    names=$("${BUS_AS[@]}" dbus-send --bus="$BUS_ADDRESS" --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.ListNames 2>&1) || { echo "(the session bus does not answer: $names)"; return; }
    sed -n 's/^ *string "\([^:"][^"]*\)"$/bus name \1/p' <<<"$names" | grep -vx 'bus name org\.freedesktop\.DBus'
}
# Mount points inside the test's folders (the document portal mounts one below the home).
sandbox_mounts() { awk -v root="$ROOT/" 'index($5, root) == 1 { print $5 }' /proc/self/mountinfo; }
left_behind() {
    left_processes
    left_bus_names
    sandbox_mounts | sed 's/^/mount on /'
}
nothing_left_running() { [ -z "$(left_behind)" ]; }

# wait_exit SECONDS: waits for the program to end and sets STATUS to its exit status. Nothing it
# started, directly or through the session bus, may outlive it.
wait_exit() {
    poll "$1" ended || fail "the program did not end within $1 s"
    wait "$PID"
    STATUS=$?
    PID=
    poll 5 nothing_left_running || fail "outlived the program: $(left_behind)"
}

# The program's exit status must be this one; a status of 128 and more means a signal ended it.
expect_status() {
    [ "$STATUS" -ge 128 ] && fail "the program was ended by signal $((STATUS - 128)) ($1)"
    [ "$STATUS" -eq "$2" ] || fail "exit status $STATUS, expected $2 ($1)"
}

expect_stderr() {
    grep -qF -- "$1" "$LOG/stderr.txt" || fail "stderr does not say: $1"
}

# Fails when stderr says anything beyond lines matching the pattern given (a LeakSanitizer
# summary of suppressed third-party leaks does not count).
expect_stderr_only() {
    local extra
    extra=$(grep -Ev -e "$1" -e '^-+$' -e '^Suppressions used:' -e '^ *count +bytes +template' \
        -e '^ *[0-9]+ +[0-9]+ +[^ ]+$' "$LOG/stderr.txt")
    [ -z "$extra" ] || fail "unexpected output on stderr: $extra"
}

find_dialog() { DIALOG_WID=$(xdotool search --onlyvisible --name "$PROGRAM_NAME_DIALOG" 2>/dev/null | head -1); [ -n "$DIALOG_WID" ]; }

# The game's own window: SDL names it in a way xdotool's name search misses, so find it by
# class and size.
find_game_window() {
    local w
    for w in $(xdotool search --onlyvisible --classname '^pellow$' 2>/dev/null); do
        if [ "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "$1" ]; then
            GAME_WID=$w
            return 0
        fi
    done
    return 1
}

# The message box: an FLTK window titled "Pellow" with one OK button at its lower right.
find_message_box() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Pellow$' 2>/dev/null); do
        [ "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "800x600" ] && continue
        BOX_WID=$w
        return 0
    done
    return 1
}

dialog_or_ended() { find_dialog || ended; }
# wait_dialog: the start-up dialog is up.
wait_dialog() {
    poll 60 dialog_or_ended || fail "no start-up dialog"
    running || { wait "$PID"; STATUS=$?; PID=; fail "the program ended (status $STATUS) before its dialog showed"; }
    sleep 0.5
}

# click_dialog X Y: a click at a point of the dialog, as a player makes it.
click_dialog() {
    xdotool mousemove --window "$DIALOG_WID" "$1" "$2" click 1
    sleep 0.3
}

# choose_deck N: the deck option N (1 Worn, 2 Roya2, 3 Vintage, 4 Royal) on the deck page.
choose_deck() {
    local y
    case $1 in 1) y=330 ;; 2) y=427 ;; 3) y=472 ;; 4) y=376 ;; *) fail "no deck option $1" ;; esac
    click_dialog 30 308  # the deck page
    click_dialog 60 $((y + 10))
}

# The options page's "Classic table" box: the table as first designed, scaled.
choose_classic_table() {
    click_dialog 217 308  # the options page
    click_dialog 100 410
}

press_play() { click_dialog 386 530; }

game_window_or_ended() { find_game_window "$WANT_SIZE" || ended; }
# wait_game_window SIZE: the game's window of that size is up (or the program ended).
wait_game_window() {
    WANT_SIZE=$1
    poll 90 game_window_or_ended || fail "no game window of $1"
    running || fail "the program ended before its game window showed"
}

message_box_or_ended() { find_message_box || ended; }
# dismiss_message_box NAME: waits for the message box, keeps a picture of it, presses its OK.
dismiss_message_box() {
    poll 60 message_box_or_ended || fail "no message box"
    running || fail "the program ended without a message box"
    sleep 0.5
    timeout 20 import -window "$BOX_WID" "$LOG/$1.png" 2>/dev/null
    eval "$(xdotool getwindowgeometry --shell "$BOX_WID")"
    # Its whole text and its button must be on the screen.
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 1024 ] ||
        fail "the message box (${WIDTH}x${HEIGHT} at $X,$Y) does not fit on the screen"
    xdotool mousemove --window "$BOX_WID" $((WIDTH - 45)) $((HEIGHT - 24)) click 1
}

# Holds a key or the left button for a moment: the game reads their state once per frame.
press_key() { xdotool keydown "$1" sleep 0.15 keyup "$1"; }
click_game() {
    xdotool mousemove --window "$GAME_WID" "$1" "$2" mousedown 1 sleep 0.15 mouseup 1
}

# A screenshot never holds a test up: a window gone meanwhile must not stall the grab.
shot_game() { timeout 20 import -window "$GAME_WID" "$1" 2>/dev/null; }

tree_gone() { [ ! -e "$BOX/game/res" ] && [ -z "$(ls -A "$BOX/tmp")" ] && [ ! -e "$RUNTIME/pellow" ]; }
