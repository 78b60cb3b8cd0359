# Sourced by the package tests. make_signer DIR [EXTENSION]: a throwaway authority and code-signing key
# (its certificate with EXTENSION) in DIR, the key also in a SoftHSM 2 token with a random PIN, and the
# KESL_SIGN_* variables that sign through it. PINs stay in files and the environment, never in arguments.
make_signer() {
  local dir="$1" module=/usr/lib/softhsm/libsofthsm2.so token="pkcs11:token=kesl-test"
  mkdir -m 700 "$dir"
  (
    set -e
    cd "$dir"
    umask 077
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Test Authority" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Kesl Test Signer" 2>/dev/null
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -set_serial 2 -days 2 -out signer.pem \
      -extfile <(printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n%s\n' "${2:-}") 2>/dev/null
    cat signer.pem ca.pem >chain.pem
    openssl rand -hex 8 >pin
    mkdir tokens
    echo "directories.tokendir = $dir/tokens" >softhsm2.conf
    export SOFTHSM2_CONF="$dir/softhsm2.conf" GNUTLS_SO_PIN="$(openssl rand -hex 8)" GNUTLS_PIN="$(cat pin)"
    export GNUTLS_NEW_PIN="$GNUTLS_PIN"
    p11tool --provider "$module" --initialize --label kesl-test "pkcs11:token=" </dev/null >/dev/null 2>&1
    p11tool --provider "$module" --initialize-pin "$token" </dev/null >/dev/null 2>&1
    p11tool --provider "$module" --login --write --label signer --load-privkey signer.key "$token" </dev/null >/dev/null
  )
  export SOFTHSM2_CONF="$dir/softhsm2.conf" KESL_SIGN_PKCS11_MODULE="$module" KESL_SIGN_CERTS="$dir/chain.pem"
  export KESL_SIGN_KEY="$token;object=signer;type=private" KESL_SIGN_PIN_FILE="$dir/pin"
}
