#!/bin/sh
# Runs a command (a Windows test under Wine) beside four loopback web servers: https with
# a certificate of a test authority made here and trusted only in the private Wine prefix,
# https with a self-signed certificate, http that redirects to the first, and https that
# ends each body with TLS close_notify but leaves the connection open. Their ports go to
# the command as VEXAL_TLS_TEST_PORTS=trusted,untrusted,plain,closing.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the private prefix}"
command -v nginx >/dev/null 2>&1 || PATH="$PATH:/usr/sbin"

dir=$(mktemp -d)
closing_pid=""
cleanup() {
    [ -f "$dir/nginx.pid" ] && kill "$(cat "$dir/nginx.pid")" 2>/dev/null
    [ -n "$closing_pid" ] && kill "$closing_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
cd "$dir"

# The authority and the two server certificates (RSA: what every Schannel verifies).
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=vexal test root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout good.key -out good.csr -subj "/CN=localhost" 2>/dev/null
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' >good.ext
openssl x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile good.ext -out good.pem \
    2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 2 -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null

# Trust the authority in the current user's root store of this prefix only: the registry
# form of a stored certificate is its SHA-1 as the key name and, as "Blob", the property
# header (id 32, reserved 1, length) before the DER bytes.
openssl x509 -in ca.pem -outform DER -out ca.der
thumb=$(openssl x509 -in ca.pem -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F)
len=$(wc -c <ca.der)
le32() { printf '%02x,%02x,%02x,%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
{
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' "$thumb"
    printf '"Blob"=hex:20,00,00,00,01,00,00,00,%s,%s\r\n' "$(le32 "$len")" \
        "$(od -An -v -tx1 ca.der | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
} >ca.reg
wine reg import ca.reg >/dev/null 2>&1
wineserver -w

mkdir -p www/site/pics tmp
printf '<img src="pics/a.gif">' >www/site/index.html
printf 'GIF89a-vexal-test-picture' >www/site/pics/a.gif
# nginx on three loopback ports that were free a moment ago; when another program takes one
# before nginx binds it, nginx is started again on others.
start_nginx() {
    ports=$(python3 -c '
import socket
s = [socket.socket() for _ in range(3)]
for x in s: x.bind(("127.0.0.1", 0))
print(" ".join(str(x.getsockname()[1]) for x in s))')
    trusted=${ports%% *}
    rest=${ports#* }
    untrusted=${rest%% *}
    plain=${rest#* }
cat >nginx.conf <<CONF
daemon on;
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $dir/tmp;
    proxy_temp_path $dir/tmp;
    fastcgi_temp_path $dir/tmp;
    uwsgi_temp_path $dir/tmp;
    scgi_temp_path $dir/tmp;
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$trusted ssl;
        ssl_certificate $dir/good.pem;
        ssl_certificate_key $dir/good.key;
        root $dir/www;
    }
    server {
        listen 127.0.0.1:$untrusted ssl;
        ssl_certificate $dir/self.pem;
        ssl_certificate_key $dir/self.key;
        root $dir/www;
    }
    server {
        listen 127.0.0.1:$plain;
        location / { return 302 https://localhost:$trusted/site/index.html; }
    }
}
CONF
    nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log"
}
started=""
for _ in 1 2 3 4 5; do
    if start_nginx; then
        started=1
        break
    fi
done
[ -n "$started" ] || exit 1

# The closing server answers without a length, sends close_notify and then waits for the
# client to hang up: only the TLS close can end the body.
cat >closing.py <<'PY'
import os, socket, ssl, sys, threading
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[2], sys.argv[3])
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(8)
with open(sys.argv[4] + ".part", "w") as ready:
    ready.write(str(listener.getsockname()[1]))
os.rename(sys.argv[4] + ".part", sys.argv[4])
def serve(raw):
    try:
        tls = context.wrap_socket(raw, server_side=True)
        request = b""
        while b"\r\n\r\n" not in request:
            got = tls.recv(4096)
            if not got:
                return
            request += got
        tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<img src=\"pics/a.gif\">")
        raw = tls.unwrap()  # close_notify; the TCP connection stays open
        while raw.recv(4096):
            pass
    except (OSError, ssl.SSLError):
        pass
    finally:
        raw.close()
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
PY
python3 closing.py - good.pem good.key ready &
closing_pid=$!
while [ ! -e ready ]; do
    kill -0 "$closing_pid" 2>/dev/null || exit 1
    sleep 0.05
done
closing=$(cat ready)

VEXAL_TLS_TEST_PORTS="$trusted,$untrusted,$plain,$closing" "$@"
