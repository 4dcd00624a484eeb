#!/usr/bin/env bash
# The bootstrap's decisions against a package mirror that is out of step, run
# against stand-ins of apt-get, dpkg, dpkg-query, sudo, sleep, locale and
# locale-gen on PATH that journal their calls, and a locale.gen of its own: no
# network, no real package or locale state.
#   bootstrap_test.sh
set -uo pipefail
root=$(dirname "$(dirname "$(dirname "$(realpath "$0")")")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake=$work/bin
mkdir -p "$fake"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

# FAKE_INSTALLED: installed packages; FAKE_FOREIGN: foreign architectures;
# FAKE_UPDATE: ok | fail; FAKE_RULES: what makes an install (or its
# simulation) fail: needs-default-release, no-wine32, no-osslsigncode,
# locked-N (another apt run holds the dpkg lock for the first N installs),
# locked (for ever), stale-deb (an install not preferring the release asks
# for a package the mirror no longer has); FAKE_LOCALES: the locales there
# are.
cat >"$fake/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_JOURNAL"
args=" $* "
if [ "$1" = update ]; then
    [ "$FAKE_UPDATE" = ok ] && exit 0
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100
fi
for rule in $FAKE_RULES; do
    case "$rule" in
        locked*) [[ "$args" == *" -s "* ]] && continue
            [ "$rule" = locked ] || [ "$(grep -c '^apt-get install -y' "$FAKE_JOURNAL")" -le "${rule#locked-}" ] ||
                continue
            echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)" >&2
            echo "N: Be aware that removing the lock file is not a solution and may break your system." >&2
            echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
            exit 100 ;;
        needs-default-release) [[ "$args" == *" APT::Default-Release="* ]] && continue ;;
        stale-deb) [[ "$args" == *" APT::Default-Release="* || "$args" == *" -s "* ]] && continue
            echo "E: Failed to fetch http://deb.debian.org/debian-security/pool/updates/main/w/wine/wine64_8.0~repack-4+deb12u1_amd64.deb  404  Not Found [IP: 203.0.113.80 80]" >&2
            exit 100 ;;
        no-wine32) [[ "$args" == *" wine32:i386 "* ]] || continue ;;
        no-osslsigncode) [[ "$args" == *" osslsigncode "* ]] || continue
            echo "E: Unable to locate package osslsigncode" >&2; exit 100 ;;
    esac
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100
done
exit 0
STANDIN
cat >"$fake/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
p=${!#}
[[ " $FAKE_INSTALLED " == *" $p "* ]] || exit 1
echo -n "install ok installed"
STANDIN
cat >"$fake/dpkg" <<'STANDIN'
#!/usr/bin/env bash
case "$1" in
    --print-foreign-architectures) [ -z "$FAKE_FOREIGN" ] || echo "$FAKE_FOREIGN" ;;
    *) echo "dpkg $*" >>"$FAKE_JOURNAL" ;;
esac
STANDIN
printf '#!/usr/bin/env bash\necho "sleep $*" >>"$FAKE_JOURNAL"\n' >"$fake/sleep"
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$fake/sudo"
printf '#!/usr/bin/env bash\nprintf "%%s\\n" $FAKE_LOCALES\n' >"$fake/locale"
printf '#!/usr/bin/env bash\necho "locale-gen${*:+ $*}" >>"$FAKE_JOURNAL"\n' >"$fake/locale-gen"
chmod +x "$fake"/*

all="g++-mingw-w64-i686 wine wine32:i386 wine64 libboost-dev cmake googletest clang libclang-rt-dev iproute2 util-linux make zip g++-mingw-w64-x86-64 unzip osslsigncode openssl locales"
install="apt-get install -y -qq --no-install-recommends"
preferring="$install -o APT::Default-Release=$codename"
simulate="apt-get install -s -qq --no-install-recommends -o APT::Default-Release=$codename"
update_failed="bootstrap: apt-get update failed 3 times (E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?); going on with the indexes it could fetch"
retrying="bootstrap: apt-get install failed; trying again preferring $codename's own packages (APT::Default-Release=$codename)"
held="E: Unable to correct problems, you have held broken packages."
lock="E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)"

failures=0
# case NAME INSTALLED FOREIGN UPDATE RULES EXIT JOURNAL LINES: the journal of
# calls and the bootstrap's own lines, each a newline-separated list.
case_() {
    local name=$1 exit_expected=$6 journal_expected=$7 lines_expected=$8 out rc
    : >"$work/journal"
    out=$(FAKE_JOURNAL=$work/journal FAKE_INSTALLED=$2 FAKE_FOREIGN=$3 FAKE_UPDATE=$4 FAKE_RULES=$5 \
          FAKE_LOCALES=${FAKE_LOCALES:-C.utf8 ja_JP.utf8} BOOTSTRAP_LOCALE_GEN=$work/locale.gen \
          PATH="$fake:$PATH" "$root/scripts/bootstrap" 2>&1)
    rc=$?
    local lines
    lines=$(grep '^bootstrap: ' <<<"$out")
    if [ "$rc" != "$exit_expected" ] || [ "$(cat "$work/journal")" != "$journal_expected" ] \
            || [ "$lines" != "$lines_expected" ]; then
        echo "FAILED: $name (exit $rc, expected $exit_expected)"
        diff <(echo "$journal_expected") "$work/journal" | sed 's/^/  journal /'
        diff <(echo "$lines_expected") <(echo "$lines") | sed 's/^/  lines /'
        failures=$((failures + 1))
    fi
}

case_ "everything installed: not one apt call" "$all" i386 fail "no-wine32" 0 "" ""

case_ "mirror mid-sync: update retried, install preferring the release" \
    "${all/wine wine32:i386 wine64 /}" "" fail "needs-default-release" 0 \
"dpkg --add-architecture i386
apt-get update -qq
sleep 5
apt-get update -qq
sleep 5
apt-get update -qq
$install wine wine32:i386 wine64
$preferring wine wine32:i386 wine64" \
"bootstrap: installing wine wine32:i386 wine64
$update_failed
$retrying"

case_ "32-bit Wine never installs: the rest is installed, the tests take the 64-bit build" \
    "${all/wine wine32:i386 wine64 libboost-dev /}" i386 ok "no-wine32" 0 \
"apt-get update -qq
$install wine wine32:i386 wine64 libboost-dev
$preferring wine wine32:i386 wine64 libboost-dev
$simulate wine32:i386
$install wine wine64 libboost-dev" \
"bootstrap: installing wine wine32:i386 wine64 libboost-dev
$retrying
bootstrap: 32-bit Wine (wine32:i386) cannot be installed ($held); the tests run on the 64-bit build"

case_ "another package cannot be installed: the bootstrap stops naming it and apt's error" \
    "$(sed "s/wine32:i386 //; s/osslsigncode //" <<<"$all")" i386 ok "no-wine32 no-osslsigncode" 1 \
"apt-get update -qq
$install wine32:i386 osslsigncode
$preferring wine32:i386 osslsigncode
$simulate wine32:i386
$install osslsigncode
$preferring osslsigncode
$simulate osslsigncode" \
"bootstrap: installing wine32:i386 osslsigncode
$retrying
$retrying
bootstrap: cannot install osslsigncode: E: Unable to locate package osslsigncode"

# Another apt run holding the dpkg lock is no reason to do without 32-bit
# Wine: the install is tried again after a pause, and the bootstrap stops with
# apt's error when the lock is never released.
case_ "the dpkg lock held for two installs: tried again until it is released" \
    "${all/wine wine32:i386 wine64 /}" i386 ok "locked-2" 0 \
"apt-get update -qq
$install wine wine32:i386 wine64
sleep 30
$install wine wine32:i386 wine64
sleep 30
$install wine wine32:i386 wine64" \
"bootstrap: installing wine wine32:i386 wine64
bootstrap: apt-get install failed ($lock); trying again in 30 s
bootstrap: apt-get install failed ($lock); trying again in 30 s"

# A package the mirror no longer has (its index is older than the pool) is
# no passing failure: the install goes straight on to prefer the release.
case_ "a package gone from the mirror: no waiting, the release's own packages" \
    "${all/wine wine32:i386 wine64 /}" i386 ok "stale-deb" 0 \
"apt-get update -qq
$install wine wine32:i386 wine64
$preferring wine wine32:i386 wine64" \
"bootstrap: installing wine wine32:i386 wine64
$retrying"

journal="apt-get update -qq
$install wine32:i386" lines="bootstrap: installing wine32:i386"
for _ in {1..9}; do
    journal+=$'\nsleep 30\n'"$install wine32:i386"
    lines+=$'\n'"bootstrap: apt-get install failed ($lock); trying again in 30 s"
done
case_ "the dpkg lock never released: the bootstrap stops with apt's error" \
    "${all/wine32:i386 /}" i386 ok "locked" 1 "$journal" "$lines
bootstrap: apt-get install failed 10 times ($lock)"

# The locale the tests of double-byte Windows need is enabled in locale.gen,
# as Debian's locales package ships it (commented out), and generated.
printf '%s\n' "# ja_JP.EUC-JP EUC-JP" "# ja_JP.UTF-8 UTF-8" "# ka_GE GEORGIAN-PS" >"$work/locale.gen"
FAKE_LOCALES="C.utf8 en_US.utf8" case_ "no ja_JP.UTF-8 locale: enabled in locale.gen and generated" \
    "$all" i386 ok "" 0 "locale-gen" "bootstrap: generating the locale ja_JP.UTF-8"
if [ "$(cat "$work/locale.gen")" != $'# ja_JP.EUC-JP EUC-JP\nja_JP.UTF-8 UTF-8\n# ka_GE GEORGIAN-PS' ]; then
    echo "FAILED: no ja_JP.UTF-8 locale: locale.gen holds"
    sed 's/^/  /' "$work/locale.gen"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "bootstrap decisions: all cases passed"
exit $((failures > 0))
