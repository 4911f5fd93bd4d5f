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
# The pictures to download come from a server of their own, outside the test program:
# under Wine a connection to a server thread in the test program itself was now and then
# never accepted (the test's own program waiting for its answer), and this test has no
# need of the requests the in-process server records.
mkdir -p "$dir/served"
# The server says its port on a pipe once it listens; the read waits for that line (or
# for the end of the pipe, should the server fail to start).
mkfifo "$dir/served-port"
python3 - "$dir/served" >"$dir/served-port" 2>/dev/null <<'PY' &
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.HTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1], flush=True)
sys.stdout.close()
server.serve_forever()
PY
server_pid=$!
port=""
read -r port <"$dir/served-port" || true
if [ -n "$port" ]; then
    export VEXAL_TEST_SERVED="$dir/served" VEXAL_TEST_SERVED_URL="http://127.0.0.1:$port/"
fi
"$@"
status=$?
kill "$server_pid" 2>/dev/null
wait "$server_pid" 2>/dev/null
exit $status
