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

# The game plays on: the table shows, the unpacked tree is gone before play, Escape ends the
# program with status 0 and no message box.
expect_game_runs() {
    wait_game_window 800x600
    poll 30 tree_gone || fail "the unpacked files are still there while the game runs"
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
    spoilt_archive damage "Bitmaps_Back_800x600.jpg"
    expect_refusal "Back_800x600.jpg\" cannot be converted to a bitmap"
    ;;
huge_jpeg)
    # Decoded, it would fill the program's folder with a gigabyte of bitmap.
    install_game "$program"
    spoilt_archive huge "Bitmaps_Back_800x600.jpg"
    expect_refusal "Back_800x600.jpg\" cannot be converted to a bitmap: it is 5648 x 65280 pixels, not 800 x 600."
    ;;
bad_bmp)
    install_game "$program"
    spoilt_archive damage "Royal_AC.BMP"
    expect_load_report CreateSurfaceFromFile
    ;;
bad_font)
    install_game "$program"
    spoilt_archive damage "fntFonts_fntDigit.bmp"
    expect_load_report clsDXBitmapFont.CreateSpriteFromFile
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
    expect_stderr_only '^Sound not loaded: .*/SHUFFLE\.WAV: '
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
    chown nobody:nogroup "$BOX/home" "$BOX/tmp" "$BOX/cwd" "$RUNTIME"
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
