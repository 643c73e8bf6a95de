#!/usr/bin/env bash
# Builds the Debian package in the build folder and checks it: what it holds,
# its control data and default settings, its maintainer scripts against links
# the service user plants (maintainer_scripts.sh), the service unit, and a
# run of the unpacked gateway that serves the shipped pages.
#   package_test.sh BUILD_DIR
set -euo pipefail
build_dir=$1
work=$(mktemp -d)
gateway=
cleanup() {
  if [ -n "$gateway" ]; then kill "$gateway" 2>/dev/null || true; wait "$gateway" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

(cd "$build_dir" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/out/vantrel_*.deb)

# Contents: the three programs, the pages, the default settings, the unit.
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/contents"
for path in ./usr/bin/vantrel ./usr/bin/vantrel-basic ./usr/bin/vantrel-devsim \
            ./usr/share/vantrel/config.ini ./usr/share/vantrel/web/index.html \
            ./usr/share/vantrel/web/terminal.html ./usr/share/vantrel/web/terminal/open.vpg \
            ./usr/share/vantrel/web/help/index.html ./usr/lib/systemd/system/vantrel.service; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
if grep -q "_tests$\|/log.txt$" "$work/contents"; then fail "the package holds test programs or a log"; fi

# Control data: the linked libraries found by dpkg-shlibdeps, php-cgi only
# recommended, the scripts that make the user and program directory.
control=$(dpkg-deb -f "$deb" Depends Recommends)
for wanted in "libc6" "libstdc++6" "libqt6widgets6" "adduser" "Recommends: php-cgi"; do
  [[ $control == *"$wanted"* ]] || fail "control data without $wanted: $control"
done
dpkg-deb -e "$deb" "$work/control"
grep -q "adduser --system" "$work/control/postinst" || fail "postinst makes no user"

# The default settings: the ten lines in their order (the gateway reads the
# PHP path from the tenth, whatever its name), authentication on, and no
# password (postinst draws one at install).
dpkg-deb -x "$deb" "$work/root"
settings=$work/root/usr/share/vantrel/config.ini
names=$(tr -d '\r' < "$settings" | cut -d= -f1 | paste -sd,)
[ "$names" = "AutoActivate,AutoMinimize,Server port,Use session,Session expire,Auth require,Auth user,Auth password,Log to file,PHP path" ] \
  || fail "config.ini lines out of order: $names"
for line in "Auth require=yes" "Auth password=" "PHP path=/usr/bin/php-cgi"; do
  grep -qx "$line"$'\r' "$settings" || fail "config.ini without the line $line"
done

# The maintainer scripts against links the service user plants (as root in
# a private mount namespace; skipped with a note elsewhere).
status=0
"$(dirname "$0")/maintainer_scripts.sh" "$work/root" "$work/control" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail "the maintainer scripts failed their test"

# The unit: systemd accepts every setting (unknown keys are only warned about).
if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/vantrel|$work/root/usr/bin/vantrel|" \
    "$work/root/usr/lib/systemd/system/vantrel.service" > "$work/vantrel.service"
  warnings=$(systemd-analyze verify "$work/vantrel.service" 2>&1) || fail "unit refused: $warnings"
  [ -z "$warnings" ] || fail "unit warnings: $warnings"
fi

# The unpacked gateway, set up as the package's scripts set up its program
# directory (a password in the packaged settings), serves the shipped pages
# to a browser that logs in, and to no other.
home="$work/home"
mkdir -p "$home"
cp -R "$work/root/usr/share/vantrel/web" "$home/web"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
password=k7x2m9pqw4
sed -e "s/^Server port=80/Server port=$port/" -e "s/^Auth password=/&$password/" "$settings" > "$home/config.ini"
"$work/root/usr/bin/vantrel" --headless --home "$home" > "$work/gateway.out" 2>&1 &
gateway=$!
python3 - "$port" "$password" <<'PY' || fail "the unpacked gateway did not serve the pages: $(cat "$work/gateway.out")"
import base64, sys, time, urllib.error, urllib.request
port, password = sys.argv[1], sys.argv[2]
def get(path, user="user", secret=password):
    request = urllib.request.Request(f"http://127.0.0.1:{port}{path}")
    if user is not None:
        token = base64.b64encode(f"{user}:{secret}".encode()).decode()
        request.add_header("Authorization", f"Basic {token}")
    for _ in range(100):
        try:
            with urllib.request.urlopen(request, timeout=5) as answer:
                return answer.status, answer.read().decode()
        except urllib.error.HTTPError as refused:
            return refused.code, refused.read().decode()
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"no answer for {path}")
for user, secret in ((None, None), ("user", ""), ("user", "kelp")):
    status, body = get("/", user, secret)
    assert status == 401, (user, secret, status, body[:200])
status, body = get("/")
assert status == 200 and "terminal.html" in body, (status, body[:200])
status, body = get("/ports.vpg")
assert status == 200 and "<html" in body.lower(), (status, body[:200])
PY
kill "$gateway"
wait "$gateway" || fail "the gateway did not end cleanly on SIGTERM"
gateway=
grep -q "Stop listening, com port closed." "$work/gateway.out" || fail "no stop line"
echo "package_test: $(basename "$deb") holds what it should and its gateway serves web/"
