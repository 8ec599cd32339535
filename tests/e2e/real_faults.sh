#!/usr/bin/env bash
# Real faults of the file system, provoked without harming the machine:
# an unreadable input, a FIFO with no writer, output into a read-only folder,
# output onto a folder, and a file system that fills up mid-write.
#
#   real_faults.sh PROGRAM
PROGRAM=$1
. "$(dirname "$0")/lib.sh"
chmod 755 "$work"

# as_other_user CMD...: runs CMD without root's rights (root ignores permissions).
as_other_user() {
    if [ "$(id -u)" = 0 ]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
    else
        "$@"
    fi
}
can_drop_rights() { [ "$(id -u)" != 0 ] || command -v setpriv >/dev/null 2>&1; }

if [ -n "${FFTEXT_E2E_HOOK:-}" ]; then
    # The program runs under the hook (an emulator, say), which the rights of
    # another user cannot be handed to.
    echo "SKIP unreadable_input, read_only_folder: rights cannot be dropped for a program run through FFTEXT_E2E_HOOK"
elif can_drop_rights; then
    cp "$golden/impulse.txt" "$work/secret.txt"
    chmod 000 "$work/secret.txt"
    RC=0
    MESSAGE=$(as_other_user timeout 60 "$PROGRAM" "$work/secret.txt" "$work/secret.out" 2>&1 >/dev/null) || RC=$?
    MESSAGE=${MESSAGE%%$'\n'*}  # the message; the detail line after it is details.sh's
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed" ] && [ ! -e "$work/secret.out" ]; then
        pass
    else
        fail unreadable_input "exit $RC, message '$MESSAGE'"
    fi

    mkdir -m 555 "$work/read-only"
    RC=0
    MESSAGE=$(as_other_user timeout 60 "$PROGRAM" "$golden/impulse.txt" "$work/read-only/out.txt" 2>&1 >/dev/null) || RC=$?
    MESSAGE=${MESSAGE%%$'\n'*}  # the message; the detail line after it is details.sh's
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" ]; then
        pass
    else
        fail read_only_folder "exit $RC, message '$MESSAGE'"
    fi
else
    echo "SKIP unreadable_input, read_only_folder: running as root without setpriv to drop rights"
fi

# The input named as its own output, through the same name, another path to
# it (through "sub/.." and through a second, symbolic name of its folder) and a
# symbolic link. It is replaced only by a user who may write it; the new file
# keeps its bytes' place, mode, owner and group, and no temporary file stays.
# ownership_case NAME RUNNER OWNER MODE WANT: RUNNER is as_other_user or
# as_self; OWNER user:group of the input; WANT "refused" or "replaced".
as_self() { "$@"; }
ownership_case() {
    local name=$1 runner=$2 owner=$3 mode=$4 want=$5 via output status left
    for via in same_name dot_dot folder_link file_link; do
        rm -rf "$work/own" "$work/own-alias"
        mkdir -m 777 "$work/own" "$work/own/sub"
        ln -s own "$work/own-alias"
        ln -s data.txt "$work/own/link.txt"
        cp "$golden/half_step.txt" "$work/own/data.txt"
        chown "$owner" "$work/own/data.txt"
        chmod "$mode" "$work/own/data.txt"
        case $via in
            same_name) output=$work/own/data.txt ;;
            dot_dot) output=$work/own/sub/../data.txt ;;
            folder_link) output=$work/own-alias/data.txt ;;
            file_link) output=$work/own/link.txt ;;
        esac
        RC=0
        MESSAGE=$($runner timeout 60 "$PROGRAM" "$work/own/data.txt" "$output" 2>&1 >/dev/null) || RC=$?
        MESSAGE=${MESSAGE%%$'\n'*}  # the message; the detail line after it is details.sh's
        # shellcheck disable=SC2012  # the names here are plain
        left=$(cd "$work/own" && ls -A | tr '\n' ' ')
        status="exit $RC, message '$MESSAGE', $(stat -c '%U:%G %a' "$work/own/data.txt"), left: $left"
        if [ "$left" != "data.txt link.txt sub " ] || [ ! -L "$work/own/link.txt" ]; then
            fail "${name}_$via" "files in the folder changed: $status"
        elif [ "$want" = refused ] && [ "$RC" = 0 ] &&
            [ "$MESSAGE" = "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" ] &&
            cmp -s "$work/own/data.txt" "$golden/half_step.txt" &&
            [ "$(stat -c '%U:%G %a' "$work/own/data.txt")" = "$owner ${mode#0}" ]; then
            pass
        elif [ "$want" = replaced ] && [ "$RC" = 1 ] && [ -z "$MESSAGE" ] &&
            cmp -s "$work/own/data.txt" "$golden/half_step.out" &&
            [ "$(stat -c '%U:%G %a' "$work/own/data.txt")" = "$owner ${mode#0}" ]; then
            pass
        else
            fail "${name}_$via" "want $want: $status"
        fi
    done
}

if [ -n "${FFTEXT_E2E_HOOK:-}" ]; then
    echo "SKIP read_only_input_*, others_input_*: owners and Unix modes are out of reach under FFTEXT_E2E_HOOK"
elif [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null 2>&1; then
    # Another user's file, readable by all, and one's own file without write
    # permission: both refused, as the Windows program refuses them.
    ownership_case others_input_refused as_other_user root:root 0644 refused
    ownership_case read_only_input_refused as_other_user nobody:nogroup 0444 refused
    # One's own writable file is replaced, and stays one's own.
    ownership_case own_input_replaced as_other_user nobody:nogroup 0640 replaced
    # Root may write any file: it replaces it, and gives it back to its owner
    # and group, set-user-ID and set-group-ID bits included (a change of owner
    # clears them on an executable file, so they are set after it).
    ownership_case root_replaces_others_input as_self nobody:nogroup 0444 replaced
    ownership_case root_keeps_set_id_bits as_self nobody:nogroup 6750 replaced
else
    echo "SKIP read_only_input_*, others_input_*: needs root with setpriv, to own files as another user"
fi

# A FIFO has no size: it reads as an empty file, at once, whether or not a
# writer ever comes.
mkfifo "$work/fifo"
expect_failure fifo_without_writer "$work/fifo" "Warning: Empty file"

mkdir "$work/folder"
run_fftext "$golden/impulse.txt" "$work/folder"
if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" ] && [ -d "$work/folder" ]; then
    pass
else
    fail output_is_folder "exit $RC, message '$MESSAGE'"
fi

# A file system of `size` that cannot hold the spectrum of `input`: the write
# fails and nothing is left behind.
expect_full_file_system() {  # name size input
    mount -t tmpfs -o size="$2" tmpfs "$work/small"
    run_fftext "$3" "$work/small/out.txt"
    leftovers=$(ls -A "$work/small")
    umount "$work/small"
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: WriteFile failed" ] && [ -z "$leftovers" ]; then
        pass
    else
        fail "$1" "exit $RC, message '$MESSAGE', left: $leftovers"
    fi
}

mkdir "$work/small"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k tmpfs "$work/small" 2>/dev/null; then
    umount "$work/small"
    # 64 KiB cannot hold the 90 KiB spectrum of 8192 points.
    expect_full_file_system full_file_system 64k "$golden/tie_8192.txt"
    # 2 MiB fill up part way through the 4.7 MB spectrum of 2^18 points,
    # written in rounds, each while the next is formatted.
    awk 'BEGIN { for (i = 0; i < 262144; i++) printf "%d %d\n", i, (i * 7919) % 1000 }' >"$work/rounds.txt"
    expect_full_file_system full_file_system_in_rounds 2m "$work/rounds.txt"
else
    echo "SKIP full_file_system, full_file_system_in_rounds: mounting a small tmpfs needs root"
fi

finish
