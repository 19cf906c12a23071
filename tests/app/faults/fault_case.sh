#!/bin/bash
# One fault a player can meet, played through with the real program on a private X server:
#
#   fault_case.sh CASE PROGRAM ARCHIVE FAULT_PAK LOGDIR
#
# PROGRAM is the game, ARCHIVE its sound res002.pak, FAULT_PAK the tool that spoils archives.
# Each case ends with what the player is told (message box and stderr), the exit status, and
# the sandbox exactly as it was: nothing left behind, nothing touched.
case_name=$1
program=$(readlink -f "$2")
archive=$(readlink -f "$3")
fault_pak=$(readlink -f "$4")
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
make_sandbox "$5/$case_name"

# spoilt_archive HOW [ARG]: the game's archive spoilt by fault_pak, as the sandbox's res002.pak.
spoilt_archive() {
    "$fault_pak" "$archive" "$BOX/game/res002.pak" "$@" || fail "cannot make the damaged archive"
}

start_and_play() {
    launch "$@"
    wait_dialog
    press_play
}

# The archive cannot be used: the player is told why, the program ends with status 1 and no
# file is made anywhere.
expect_refusal() {
    remember_sandbox
    start_x
    start_and_play
    dismiss_message_box message_box
    wait_exit 30
    expect_status "after the message box" 1
    expect_stderr "Pellow cannot start."
    expect_stderr "$1"
    expect_sandbox_unchanged "after a refused archive"
}

# A damaged picture or font: the launch ends with the three-line report of the procedure that
# could not load it, status 1, and the unpacked tree is removed on the way out.
expect_load_report() {
    remember_sandbox
    start_x
    start_and_play
    dismiss_message_box message_box
    wait_exit 30
    expect_status "after the report" 1
    expect_stderr "Error in function $1() "
    expect_stderr "Error Number: "
    local lines
    lines=$(grep -A2 -F "Error in function $1() " "$LOG/stderr.txt" | wc -l)
    [ "$lines" -eq 3 ] || fail "the report is not three lines"
    grep -A1 -F "Error in function $1() " "$LOG/stderr.txt" | grep -q '^Error Number: [0-9]\+$' ||
        fail "the report's second line is not the error number"
    grep -A2 -F "Error in function $1() " "$LOG/stderr.txt" | tail -1 | grep -q '[a-z]' ||
        fail "the report's third line does not describe the error"
    expect_sandbox_unchanged "after a damaged picture"
}

# The game plays on: the table shows, the unpacked tree is gone before play (as the check given
# sees it, tree_gone unless told), Escape ends the program with status 0 and no message box.
expect_game_runs() {
    wait_game_window 800x600
    poll 30 "${1:-tree_gone}" || fail "the unpacked files are still there while the game runs"
    # Long enough to deal and lead, so every sound of the opening is asked for.
    sleep 4
    running || fail "the game ended by itself"
    shot_game "$LOG/table.png"
    find_message_box && fail "a message box is showing"
    press_key Escape
    wait_exit 30
    expect_status "after Escape" 0
}

case $case_name in
pak_missing)
    install_game "$program"
    expect_refusal "res002.pak\" is missing."
    ;;
module_missing)
    install_game "$program" "$archive"
    rm "$BOX/game/pellow-game.so"
    expect_refusal "pellow-game.so: cannot open shared object file"
    ;;
pak_empty)
    install_game "$program"
    spoilt_archive empty
    expect_refusal "res002.pak\" is not a resource archive."
    ;;
pak_not_pack)
    install_game "$program"
    spoilt_archive not-pack
    expect_refusal "res002.pak\" is not a resource archive."
    ;;
pak_truncated)
    install_game "$program"
    spoilt_archive truncated
    expect_refusal "res002.pak\" is damaged: its directory"
    ;;
pak_dir_past_end)
    install_game "$program"
    spoilt_archive dir-past-end
    expect_refusal "runs past the end of the file"
    ;;
pak_entry_past_end)
    install_game "$program"
    spoilt_archive entry-past-end
    expect_refusal "is damaged: entry 0 (\"fntFonts_fntDigit.bmp\") runs past the end of the file."
    ;;
pak_name_escape)
    install_game "$program"
    spoilt_archive add "Bitmaps_../../x"
    expect_refusal "(\"Bitmaps_../../x\") does not name a file inside its folder."
    [ -z "$(find "$ROOT" -name x)" ] || fail "a file named by the archive was written outside its folder"
    ;;
bad_jpeg)
    install_game "$program"
    classic_table_settings
    spoilt_archive damage "Bitmaps_Back_800x600.jpg"
    expect_refusal "Back_800x600.jpg\" cannot be converted to a bitmap"
    ;;
huge_jpeg)
    # Decoded, it would fill the program's folder with a gigabyte of bitmap.
    install_game "$program"
    classic_table_settings
    spoilt_archive huge "Bitmaps_Back_800x600.jpg"
    expect_refusal "Back_800x600.jpg\" cannot be converted to a bitmap: it is 5648 x 65280 pixels, not 800 x 600."
    ;;
bad_bmp)
    install_game "$program"
    classic_table_settings
    spoilt_archive damage "Royal_AC.BMP"
    expect_load_report CreateSurfaceFromFile
    ;;
bad_font)
    install_game "$program"
    classic_table_settings
    spoilt_archive damage "fntFonts_fntDigit.bmp"
    expect_load_report clsDXBitmapFont.CreateSpriteFromFile
    ;;
bad_art)
    # The table drawn for the screen renders from the deck's card art: damaged, it is reported
    # like a damaged picture, and nothing is kept.
    install_game "$program"
    spoilt_archive damage "Art_Royal.svgz"
    expect_load_report MakeTablePictures
    [ -z "$(ls -A "$BOX/$CACHE_DIR" 2>/dev/null)" ] || fail "pictures were kept from damaged art"
    ;;
bad_wav)
    # The shuffle is heard at every deal: its effect goes silent, the game plays on.
    install_game "$program"
    spoilt_archive damage "Sounds_SHUFFLE.WAV"
    remember_sandbox
    start_x
    start_and_play
    expect_game_runs
    expect_stderr "SHUFFLE.WAV"
    expect_stderr_only '^Pellow: sound not loaded: .*/SHUFFLE\.WAV: '
    expect_sandbox_unchanged "after a damaged sound"
    ;;
no_audio)
    install_game "$program" "$archive"
    AUDIO_DRIVER=nosuchdriver
    remember_sandbox
    start_x
    start_and_play
    expect_game_runs
    expect_stderr_only '^$'
    expect_sandbox_unchanged "without sound"
    ;;
no_display)
    # No X server at all. The program must say so and end with a failure status of its own,
    # not be killed by a signal.
    install_game "$program" "$archive"
    remember_sandbox
    unset DISPLAY
    launch
    wait_exit 60
    [ "$STATUS" -ge 128 ] && fail "the program crashed without a display (signal $((STATUS - 128)))"
    [ "$STATUS" -ne 0 ] || fail "the program reported success without a display"
    grep -qi "display" "$LOG/stderr.txt" || fail "stderr does not mention the display"
    expect_sandbox_unchanged "without a display"
    ;;
kill_unpacking)
    # Tens of thousands of tiny entries before a card's picture keep the unpacking busy long
    # enough to be interrupted in the middle, before the last entry (the first sound).
    install_game "$program"
    # The design's pictures make the unpacking long enough to be caught in the middle.
    classic_table_settings
    spoilt_archive pad 40000
    remember_sandbox
    start_x
    start_and_play
    poll 60 test -e "$BOX/game/res/Royal/AC.BMP" || fail "the unpacking never started"
    kill -9 "$PID"
    wait_exit 10
    [ "$STATUS" -eq 137 ] || fail "the program was not killed (status $STATUS)"
    [ -d "$BOX/game/res" ] || fail "no tree left by the interrupted unpacking"
    [ -z "$(find "$BOX/game/res" -iname CARD_FLIP.WAV)" ] ||
        fail "the unpacking was already complete when it was interrupted"
    note "left by the interrupted unpacking: $(find "$BOX/game/res" -type f | wc -l) files"
    # Started again, the game unpacks over the leftovers, plays, and removes them all.
    start_and_play
    expect_game_runs
    expect_sandbox_unchanged "after a start following an interrupted unpacking"
    ;;
foreign_tree)
    # A "res" of the player's beside the program: notes, a sound of their own, a card that is a
    # hard link to a file in their home, a link, and a folder "Res" of another letter case. The
    # game plays from a private folder, says why, and leaves every one of them as it was.
    install_game "$program" "$archive"
    mkdir -p "$BOX/game/res/Bitmaps" "$BOX/game/res/Sounds" "$BOX/game/res/Royal" "$BOX/game/Res/sounds" \
        "$BOX/home/mine"
    echo "notes" >"$BOX/game/res/Bitmaps/notes.txt"
    echo "a sound" >"$BOX/game/res/Sounds/mysound.wav"
    echo "my deck" >"$BOX/game/res/README-mod.txt"
    echo "precious" >"$BOX/home/mine/precious.txt"
    ln "$BOX/home/mine/precious.txt" "$BOX/game/res/Royal/AC.BMP"
    ln -s ../../../home/mine/precious.txt "$BOX/game/res/Bitmaps/mouse.bmp"
    echo "mine" >"$BOX/game/Res/sounds/mine.wav"
    remember_sandbox
    start_x
    start_and_play
    private_tree_gone() { [ -z "$(ls -A "$BOX/tmp")" ] && [ ! -e "$RUNTIME/pellow" ]; }
    expect_game_runs private_tree_gone
    expect_stderr "Pellow: The folder \"$BOX/game/res\" was not made by this start of the game, so it is left as it is; the game's files are unpacked in \"$RUNTIME/pellow/files-"
    expect_stderr_only '^Pellow: The folder .* was not made by this start of the game'
    [ "$(cat "$BOX/home/mine/precious.txt")" = "precious" ] || fail "the player's file was written through a link"
    expect_sandbox_unchanged "beside a tree of the player's"
    ;;
other_users_tree)
    # The game copied to a folder that everybody may write in (sticky, like a shared place), where
    # another user has made a "res" first, with files named as the game's. The game does not
    # use, write or remove a file of theirs.
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: only root can be another user here"
        exit 77
    fi
    install_game "$program" "$archive"
    chmod 1777 "$BOX/game"
    setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c '
        mkdir -p "$1/res/Sounds" "$1/res/Bitmaps" &&
        echo "theirs" >"$1/res/Sounds/CARD_FLIP.WAV" && echo "theirs" >"$1/res/Sounds/SHUFFLE.WAV" &&
        echo "theirs" >"$1/res/Bitmaps/notes.txt"' sh "$BOX/game" || fail "cannot make the other user's tree"
    remember_sandbox
    start_x
    start_and_play
    private_tree_gone() { [ -z "$(ls -A "$BOX/tmp")" ] && [ ! -e "$RUNTIME/pellow" ]; }
    expect_game_runs private_tree_gone
    expect_stderr "was not made by this start of the game"
    expect_sandbox_unchanged "beside another user's tree"
    ;;
module_from_cwd)
    # Started by its bare name where /proc is not mounted, the program cannot learn its folder.
    # It must refuse to start rather than load a module of that name from the current folder.
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: only root can unmount /proc in a namespace of its own here"
        exit 77
    fi
    install_game "$program" "$archive"
    printf '#include <fcntl.h>\n__attribute__((constructor)) static void loaded(void) { creat("loaded-from-cwd", 0644); }\n' \
        >"$ROOT/stand_in.c"
    cc -shared -fPIC -o "$BOX/cwd/pellow-game.so" "$ROOT/stand_in.c" || fail "cannot build the stand-in module"
    remember_sandbox
    start_x
    start_session_bus
    RUN_AS=(unshare -m sh -c 'umount -l /proc && PATH="${1%/*}:$PATH" exec pellow "$2"' sh)
    launch
    wait_exit 30
    expect_status "without /proc" 1
    [ -e "$BOX/cwd/loaded-from-cwd" ] && fail "the module in the current folder was loaded"
    expect_stderr "Pellow cannot start."
    expect_stderr "The program's own folder cannot be found"
    expect_sandbox_unchanged "without /proc"
    ;;
no_session_bus)
    # No desktop, no bus: the game must not start one of its own that writes below the home
    # folder and outlives it (wait_exit checks that nothing it started is left running).
    install_game "$program" "$archive"
    remember_sandbox
    start_x
    NO_SESSION_BUS=1 start_and_play
    expect_game_runs
    expect_sandbox_unchanged "without a session bus"
    ;;
kill_play)
    install_game "$program" "$archive"
    remember_sandbox
    start_x
    start_and_play
    wait_game_window 800x600
    poll 30 tree_gone || fail "the unpacked files are still there while the game runs"
    sleep 2
    kill -9 "$PID"
    wait_exit 10
    [ "$STATUS" -eq 137 ] || fail "the program was not killed (status $STATUS)"
    expect_sandbox_unchanged "after the program was killed during play"
    start_and_play
    expect_game_runs
    expect_sandbox_unchanged "after a start following a killed game"
    ;;
readonly_folder | kill_private_unpacking)
    # An installed game: its folder belongs to someone else. The player is "nobody", whose
    # home, working folder, temporary and runtime folders are their own.
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: only root can play as another user here"
        exit 77
    fi
    # The padded archive keeps the unpacking busy long enough to see where it goes.
    install_game "$program"
    spoilt_archive pad 20000
    classic_table_settings
    chown nobody:nogroup "$BOX/home" "$BOX/tmp" "$BOX/cwd" "$RUNTIME"
    chown -R nobody:nogroup "$BOX/home/.config"
    chmod 755 "$BOX/game"
    RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    "${RUN_AS[@]}" test -w "$BOX/game" && fail "the program folder is writable for nobody"
    remember_sandbox
    start_x
    private_unpacking() { compgen -G "$RUNTIME/pellow/files-*/res/Royal/AC.BMP" >/dev/null; }
    if [ "$case_name" = kill_private_unpacking ]; then
        # Killed in the middle, the game leaves its private folder; the next start removes it.
        launch
        wait_dialog
        press_play
        poll 60 private_unpacking || fail "the files were not unpacked into the per-user place"
        kill -9 "$PID"
        wait_exit 10
        [ "$STATUS" -eq 137 ] || fail "the program was not killed (status $STATUS)"
        private_unpacking || fail "the killed start left nothing to clean"
        note "left by the interrupted unpacking: $(find "$RUNTIME/pellow" -type f | wc -l) files"
    fi
    start_and_play
    poll 60 private_unpacking || fail "the files were not unpacked into the per-user place"
    expect_game_runs
    expect_stderr_only '^$'
    expect_sandbox_unchanged "with a read-only program folder"
    [ -z "$(ls -A "$RUNTIME")" ] || fail "left in the runtime folder: $(ls -A "$RUNTIME")"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
note "$case_name: passed"
