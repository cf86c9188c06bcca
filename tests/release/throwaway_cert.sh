# shellcheck shell=bash
# Sourced by the release tests: a code-signing certificate made for one run,
# and a time-stamp server.
#   make_throwaway_cert DIR
# writes DIR/signer.p12 (certificate and key, protected by the random
# password in DIR/password), DIR/signer.pem (the certificate alone, the CA
# to verify against) and DIR/nokey.p12 (the certificate without its key).
make_throwaway_cert() {
    local dir=$1
    mkdir -p "$dir"
    openssl rand -hex 16 >"$dir/password"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway test signer" \
        -addext extendedKeyUsage=codeSigning -keyout "$dir/key.pem" -out "$dir/signer.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/signer.pem" -out "$dir/signer.p12" \
        -passout "file:$dir/password"
    openssl pkcs12 -export -nokeys -in "$dir/signer.pem" -out "$dir/nokey.p12" -passout "file:$dir/password"
    rm -f "$dir/key.pem"
}

# A time-stamp authority for one run, on the loopback address:
#   start_throwaway_tsa DIR
# makes DIR/tsa.pem (its certificate), starts tsa_server.py and sets
# tsa_url and tsa_pid (the caller stops it).
start_throwaway_tsa() {
    local dir=$1
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway time stamps" \
        -addext extendedKeyUsage=critical,timeStamping -keyout "$dir/tsa-key.pem" -out "$dir/tsa.pem" 2>/dev/null
    coproc tsa { exec python3 "$(dirname "${BASH_SOURCE[0]}")/tsa_server.py" "$dir"; }
    tsa_pid=$tsa_PID
    local port
    read -r port <&"${tsa[0]}"
    tsa_url=http://127.0.0.1:$port/
}
