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
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed" ] && [ ! -e "$work/secret.out" ]; then
        pass
    else
        fail unreadable_input "exit $RC, message '$MESSAGE'"
    fi

    mkdir -m 555 "$work/read-only"
    RC=0
    MESSAGE=$(as_other_user timeout 60 "$PROGRAM" "$golden/impulse.txt" "$work/read-only/out.txt" 2>&1 >/dev/null) || RC=$?
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" ]; then
        pass
    else
        fail read_only_folder "exit $RC, message '$MESSAGE'"
    fi
else
    echo "SKIP unreadable_input, read_only_folder: running as root without setpriv to drop rights"
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
