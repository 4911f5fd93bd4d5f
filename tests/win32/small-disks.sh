#!/bin/sh
# Runs a command (a Windows test under Wine) beside two places Wine reaches through drive
# Z:, made here: a 1 MB tmpfs, which a large picture fills, and a folder that is writable
# under one name and a read-only bind mount of it under another. Their Linux paths go to
# the command as VEXAL_TEST_SMALL_DISK and VEXAL_TEST_WRITABLE,VEXAL_TEST_READ_ONLY. Where
# they cannot be made (not root), the command runs without them and skips those tests.
set -u
dir=$(mktemp -d)
mounted=""
cleanup() {
    for m in $mounted; do umount -l "$m" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/small" "$dir/writable" "$dir/read-only"
if mount -t tmpfs -o size=1m tmpfs "$dir/small" 2>/dev/null; then
    mounted="$dir/small"
    export VEXAL_TEST_SMALL_DISK="$dir/small"
fi
if mount --bind "$dir/writable" "$dir/read-only" 2>/dev/null; then
    mounted="$dir/read-only $mounted"
    if mount -o remount,bind,ro "$dir/read-only" 2>/dev/null; then
        export VEXAL_TEST_WRITABLE="$dir/writable" VEXAL_TEST_READ_ONLY="$dir/read-only"
    fi
fi
"$@"
