# Authenticode signing for package.sh (sourced), with osslsigncode, configured by the environment:
#   a key in a PKCS#11 token: KESL_SIGN_PKCS11_MODULE (the module), KESL_SIGN_KEY (a pkcs11: URI),
#     KESL_SIGN_CERTS (the PEM chain, the signing certificate first) and KESL_SIGN_PIN_FILE;
#   or a PKCS#12 file: KESL_SIGN_PKCS12 and KESL_SIGN_PASSWORD_FILE;
#   either with KESL_SIGN_TIMESTAMP_URL, an RFC 3161 time-stamping server, so that the signature
#   outlives the certificate.
# Any KESL_SIGN_ variable set asks for signing: an incomplete set is an error, never an unsigned
# package. The PIN and the password reach osslsigncode as files, never on a command line. Only
# what osslsigncode 2.5 (Debian 12) and later versions both do is used. A problem ends package.sh
# with one line that names it.

# Long enough for a slow time-stamping server; neither osslsigncode has a limit of its own for a
# server that takes the request and never answers.
signing_time_limit=120
# SpcSpOpusInfo keeps the description as ASCII (IA5String): Chinese would reach the elevation
# prompt as mojibake, so it carries the program's name.
signing_description="KeslWebATMMonitor"
signing_job=""

signing_variables() {
  local variable
  for variable in ${!KESL_SIGN_@}; do [ -z "${!variable}" ] || echo "$variable"; done
}
signing_configured() { [ -n "$(signing_variables)" ]; }

signing_fail() {
  echo "package.sh: cannot sign: $*" >&2
  exit 1
}

# Reads the variables named, each of which must be set and name a readable file.
signing_need_files() {
  local variable
  for variable; do
    [ -n "${!variable:-}" ] || signing_fail "$variable is not set"
    [ -r "${!variable}" ] || signing_fail "$variable: ${!variable} cannot be read"
  done
}

# Checks the configuration and the signing certificate, and sets signing_arguments. The
# certificate is checked here because osslsigncode signs with an expired one, or one not meant for
# code signing, without a word.
signing_prepare() {
  local certificate="$1/certificate.pem" subject ends usage
  local token="${KESL_SIGN_PKCS11_MODULE:-}${KESL_SIGN_KEY:-}${KESL_SIGN_CERTS:-}${KESL_SIGN_PIN_FILE:-}"
  if [ -n "${KESL_SIGN_PKCS12:-}${KESL_SIGN_PASSWORD_FILE:-}" ]; then
    [ -z "$token" ] || signing_fail "configure a token or a PKCS#12 file, not both"
    signing_need_files KESL_SIGN_PKCS12 KESL_SIGN_PASSWORD_FILE
    # Files exported with RC2-40, as older Windows exports are, need OpenSSL's legacy provider.
    local read_certificate=(openssl pkcs12 -in "$KESL_SIGN_PKCS12" -passin "file:$KESL_SIGN_PASSWORD_FILE" -nokeys
      -clcerts -out "$certificate")
    "${read_certificate[@]}" 2>/dev/null || "${read_certificate[@]}" -legacy 2>/dev/null ||
      signing_fail "wrong password for $KESL_SIGN_PKCS12, or not a PKCS#12 file"
    signing_arguments=(-pkcs12 "$KESL_SIGN_PKCS12" -readpass "$KESL_SIGN_PASSWORD_FILE")
  elif [ -n "$token" ]; then
    signing_need_files KESL_SIGN_PKCS11_MODULE KESL_SIGN_CERTS KESL_SIGN_PIN_FILE
    [[ "${KESL_SIGN_KEY:-}" == pkcs11:* ]] || signing_fail "KESL_SIGN_KEY is not a pkcs11: URI"
    openssl x509 -in "$KESL_SIGN_CERTS" -out "$certificate" 2>/dev/null ||
      signing_fail "no certificate in $KESL_SIGN_CERTS"
    signing_arguments=(-pkcs11module "$KESL_SIGN_PKCS11_MODULE" -key "$KESL_SIGN_KEY" -certs "$KESL_SIGN_CERTS"
      -readpass "$KESL_SIGN_PIN_FILE")
  else
    signing_fail "signing asked for ($(signing_variables | paste -sd ' ')), but no key: configure a token or a PKCS#12 file"
  fi
  subject="$(openssl x509 -in "$certificate" -noout -subject -nameopt RFC2253 | sed 's/^subject=//')"
  ends="$(openssl x509 -in "$certificate" -noout -enddate | sed 's/^notAfter=//')"
  openssl x509 -in "$certificate" -noout -checkend 0 >/dev/null || signing_fail "the certificate of $subject expired on $ends"
  usage="$(openssl x509 -in "$certificate" -noout -ext extendedKeyUsage 2>/dev/null)"
  grep -q 'Code Signing' <<<"$usage" || signing_fail "the certificate of $subject is not for code signing"
  if [ -n "${KESL_SIGN_TIMESTAMP_URL:-}" ]; then signing_arguments+=(-ts "$KESL_SIGN_TIMESTAMP_URL")
  else echo "package.sh: no time stamp (KESL_SIGN_TIMESTAMP_URL): the signatures end with the certificate, on $ends" >&2
  fi
}

# Turns osslsigncode's account of a failure into one line.
signing_explain() {
  local log="$1" url="${KESL_SIGN_TIMESTAMP_URL:-}"
  if [ "$2" = 124 ]; then echo "the time-stamping server $url did not answer within $signing_time_limit s"
  elif grep -qi 'PIN incorrect\|Login failed' "$log"; then echo "wrong PIN in $KESL_SIGN_PIN_FILE"
  elif grep -q 'Unable to load module\|cannot open shared object' "$log"; then
    echo "the PKCS#11 module $KESL_SIGN_PKCS11_MODULE cannot be loaded"
  elif grep -q 'No matching initialized token' "$log"; then echo "no token holds $KESL_SIGN_KEY"
  elif grep -q 'private key was not found\|Failed to load private key' "$log"; then
    echo "no key $KESL_SIGN_KEY (is the token there, and the PIN right?)"
  elif grep -q 'consistency of a private key' "$log"; then echo "the key does not belong to the certificate"
  elif grep -qi 'CURL failure\|HTTP failure\|timestamp' "$log"; then echo "the time-stamping server $url did not answer"
  else echo "osslsigncode: $(grep -v '^[0-9A-F]*:error:' "$log" | head -n1)"
  fi
}

# Whether the time stamp in the signature of $1 is whole: the signature of the time-stamping
# server over it verifies. osslsigncode keeps a reply that does not, and says "Succeeded". Whom the
# server's certificate chains to is left to verification, which knows the authorities.
signing_time_stamp_verifies() {
  local signature="$1.signature" token="$1.time-stamp" at
  osslsigncode extract-signature -pem -in "$1" -out "$signature" >/dev/null 2>&1 || return 1
  # The token (a CMS SignedData) is the value of the unsigned attribute 1.3.6.1.4.1.311.3.3.1.
  at="$(openssl asn1parse -in "$signature" | awk '/:1\.3\.6\.1\.4\.1\.311\.3\.3\.1$/ { getline; getline; print $1 + 0; exit }')"
  [ -n "$at" ] && openssl asn1parse -in "$signature" -strparse "$at" -noout -out "$token" >/dev/null &&
    openssl cms -verify -noverify -inform DER -in "$token" -out /dev/null 2>/dev/null
}

# Signs file in place, once signing_prepare has run: SHA-256, a commercial signer, the description,
# and the time stamp when one is configured. It runs as a job that signing_stop ends, so that an
# interrupted package.sh leaves no osslsigncode waiting for a server.
sign_file() {
  local file="$1" status=0
  timeout "$signing_time_limit" osslsigncode sign "${signing_arguments[@]}" -h sha256 -comm -n "$signing_description" \
    -in "$file" -out "$file.signed" </dev/null >"$file.log" 2>&1 &
  signing_job=$!
  wait "$signing_job" || status=$?
  signing_job=""
  [ "$status" = 0 ] || signing_fail "$(basename "$file"): $(signing_explain "$file.log" "$status")"
  if [ -n "${KESL_SIGN_TIMESTAMP_URL:-}" ] && ! signing_time_stamp_verifies "$file.signed"; then
    signing_fail "$(basename "$file"): the time stamp from $KESL_SIGN_TIMESTAMP_URL does not verify"
  fi
  mv "$file.signed" "$file"
}

signing_stop() {
  [ -z "$signing_job" ] || { kill "$signing_job" 2>/dev/null; wait "$signing_job" 2>/dev/null; } || true
}
