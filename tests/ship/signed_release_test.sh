#!/usr/bin/env bash
# The release as `make dist` packs it, signed with a throwaway self-signed
# code-signing certificate: the programs have no debug sections, and their
# debuglink leads to the debug file that names each program's main; sha256sum
# accepts SHA256SUMS; osslsigncode accepts every signature; a second signed
# build gives the same archives; each program's header has the flags and
# imports that security reviews check; and ship_tests, run from the unpacked
# release, reads back each program's version resource and manifest and
# starts it under Wine.
#   signed_release_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: signed_release_test.sh BUILD_DIR}")
root=$(dirname "$(dirname "$(dirname "$(realpath "$0")")")")
programs=(norvale-launcher.exe norvale-linkprobe.exe norvale-taskctl.exe ComEnrol++.exe
          NorvaleRemover.exe)
work=$build/signed-release-test
rm -rf "$work"
mkdir -p "$work/unpacked"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

openssl req -x509 -newkey rsa:2048 -days 2 -subj "/CN=Norvale release test" \
    -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
    -keyout "$work/key.pem" -passout pass:throwaway -out "$work/cert.pem" 2>/dev/null
export SIGN_CERT=$work/cert.pem SIGN_KEY=$work/key.pem SIGN_PASS=throwaway
# Signed at a time the certificate, made just now, is valid (the release
# itself is signed at the commit time).
SOURCE_DATE_EPOCH=$(date +%s)
export SOURCE_DATE_EPOCH
"$root/scripts/dist" "$build" "$work/first" >/dev/null
"$root/scripts/dist" "$build" "$work/second" >/dev/null

for zip in "$work"/first/*.zip; do
    cmp -s "$zip" "$work/second/$(basename "$zip")" || fail "$(basename "$zip") differs between two builds"
    unzip -q "$zip" -d "$work/unpacked"
done
release=$(find "$work/unpacked" -maxdepth 1 -name 'norvale-*' ! -name '*-symbols')
symbols=$release-symbols

(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
[ "$(wc -l <"$release/SHA256SUMS")" -eq "${#programs[@]}" ] || fail "SHA256SUMS is not one line per program"

# Symbolised the way support staff do it: the released program, with the
# debug files beside it, at the address of main in the build's program.
mkdir -p "$work/symbolise"
cp "$symbols"/*.debug "$work/symbolise/"
for program in "${programs[@]}"; do
    file=$release/$program
    if i686-w64-mingw32-objdump -h "$file" | grep -q ' \.debug_'; then
        fail "$program has debug sections"
    fi
    cp "$file" "$work/symbolise/"
    address=$(i686-w64-mingw32-nm "$build/bin/$program" | awk '$3 == "_main" {print $1}')
    where=$(i686-w64-mingw32-addr2line -f -p -e "$work/symbolise/$program" "0x$address")
    [[ "$where" =~ ^main\ at\ .*main\.cpp:[0-9]+ ]] || fail "$program: main at 0x$address reads as '$where'"
    osslsigncode verify -CAfile "$SIGN_CERT" -in "$file" >"$work/verify.log" 2>&1 ||
        fail "$program: osslsigncode verify: $(tail -n 3 "$work/verify.log")"
done

(cd "$release" && "$root/tests/ship/check_program_headers.sh" "${programs[@]}") || fail "program headers"

. "$root/scripts/wine-env"
cp "$build/bin/ship_tests.exe" "$build/bin/msgbox_style_hook.dll" "$release/"
"$WINE" "$release/ship_tests.exe" --gtest_brief=1 \
    --gtest_filter='Programs/ShippedProgram.*:ManifestedProgramStart.*' </dev/null ||
    fail "ship_tests on the release files"

if [ "$failures" -ne 0 ]; then exit 1; fi
rm -rf "$work"
echo "signed release: ${#programs[@]} programs verified"
