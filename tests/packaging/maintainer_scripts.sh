#!/usr/bin/env bash
# Runs the package's real maintainer scripts as root and checks that the
# service user cannot turn them against root: links it plants where the
# scripts work (in place of shipped pages and folders, of config.ini, of web/
# itself) must leave their root-owned targets as they were, at first install,
# at upgrade, at install over what an earlier version left (where the service
# owned its program directory and settings), and at purge.
#   maintainer_scripts.sh PACKAGE_ROOT CONTROL_DIR
# PACKAGE_ROOT holds the extracted package, CONTROL_DIR its control files.
#
# The machine must not change: this script re-runs itself in a private mount
# namespace where /etc, /var/lib and /usr/share are overlays whose writes go
# to a tmpfs (so adduser's users, the program directory and the shipped files
# exist only there and vanish with it) and /run is an empty tmpfs (so the
# scripts find no systemd and start, enable or reload nothing). Overlays
# rather than bind mounts of single files, because adduser replaces
# /etc/passwd by renaming a new file over it, which a mount point refuses.
# Exits 77 with a note when that cannot be made: not root, no namespaces or
# overlays, or the package installed on this machine.
set -euo pipefail
package_root=$(realpath "$1")
control=$(realpath "$2")

if [ -z "${VANTREL_SCRATCH:-}" ]; then
  skip() { echo "maintainer_scripts: skipped: $*"; exit 77; }
  [ "$(id -u)" -eq 0 ] || skip "needs root"
  if getent passwd vantrel >/dev/null || [ -e /var/lib/vantrel ]; then
    skip "the vantrel user or /var/lib/vantrel exists on this machine"
  fi
  unshare --mount --propagation private true 2>/dev/null || skip "no private mount namespace"
  # An empty folder here, a tmpfs in the namespace.
  scratch=$(mktemp -d)
  status=0
  VANTREL_SCRATCH=$scratch unshare --mount --propagation private "$0" "$@" || status=$?
  rmdir "$scratch"
  exit "$status"
fi

scratch=$VANTREL_SCRATCH
mount -t tmpfs tmpfs "$scratch"
for dir in /etc /var/lib /usr/share; do
  layer=$scratch/${dir//\//_}
  mkdir -p "$layer/upper" "$layer/work"
  if ! mount -t overlay overlay -o "lowerdir=$dir,upperdir=$layer/upper,workdir=$layer/work" "$dir"; then
    echo "maintainer_scripts: skipped: no overlay on $dir"
    exit 77
  fi
done
mount -t tmpfs tmpfs /run
cp -a "$package_root/usr/share/vantrel" /usr/share/vantrel

home=/var/lib/vantrel
shipped=/usr/share/vantrel
fail() { echo "maintainer_scripts: $*" >&2; exit 1; }
as_service() { setpriv --reuid=vantrel --regid=vantrel --init-groups -- "$@"; }
# Owner, group, mode and type of an entry itself.
describe() { stat -c '%U:%G %a %F' -- "$1"; }
expect_entry() {
  local got
  got=$(describe "$1")
  [ "$got" = "$2" ] || fail "$3: $1 is $got, not $2"
}

# Root-owned things outside the program directory that the planted links
# point at: a file, a folder with a file, and a name that does not exist
# (where a write through a dangling link would create a file).
victim=/etc/vantrel-victim
victim_dir=/etc/vantrel-victim.d
absent=/etc/vantrel-absent
printf 'root:secret\n' > "$victim"
chmod 0600 "$victim"
mkdir -m 0755 "$victim_dir"
printf 'root data\n' > "$victim_dir/data"
state_of_victims() {
  stat -c '%n %U:%G %a %F %s' -- "$victim" "$victim_dir" "$victim_dir"/*
  sha256sum "$victim" "$victim_dir"/*
  ls -A "$victim_dir"
  [ ! -e "$absent" ] && [ ! -L "$absent" ] && echo "$absent absent"
  true
}
victims_before=$(state_of_victims)
check_victims() {
  local now
  now=$(state_of_victims)
  [ "$now" = "$victims_before" ] || fail "$1: a target outside changed:
$(diff <(echo "$victims_before") <(echo "$now") || true)"
}

run_script() {  # NAME ARGS...: a maintainer script, its output kept in $output
  local script=$1
  shift
  output=$(sh "$control/$script" "$@" 2>&1) || fail "$script $* failed: $output"
}

# The program directory as the scripts leave it: owners and modes, the
# shipped pages as real files of the service user, and what the service user
# can and cannot do there.
check_layout() {
  expect_entry "$home" "root:vantrel 750 directory" "$1"
  expect_entry "$home/config.ini" "root:vantrel 640 regular file" "$1"
  expect_entry "$home/web" "vantrel:vantrel 750 directory" "$1"
  (cd "$shipped/web" && find . -mindepth 1 -printf '%P\n') | while IFS= read -r entry; do
    if [ -d "$shipped/web/$entry" ]; then
      expect_entry "$home/web/$entry" "vantrel:vantrel 750 directory" "$1"
    else
      expect_entry "$home/web/$entry" "vantrel:vantrel 640 regular file" "$1"
      cmp -s "$shipped/web/$entry" "$home/web/$entry" || fail "$1: web/$entry differs from the shipped page"
    fi
  done
  as_service cat "$home/config.ini" >/dev/null || fail "$1: the service cannot read its settings"
  as_service sh -c "echo line >> $home/web/log.txt" || fail "$1: the service cannot write its log"
  if as_service sh -c "echo x >> $home/config.ini" 2>/dev/null \
     || as_service ln -s "$victim" "$home/planted" 2>/dev/null \
     || as_service mv "$home/config.ini" "$home/web/" 2>/dev/null; then
    fail "$1: the service can change or replace its settings"
  fi
}

# The setting NAME of config.ini, as the gateway reads it.
setting() {
  awk -v key="$1" 'BEGIN { FS = "=" } { sub(/\r$/, "") }
    tolower($1) == tolower(key) { print substr($0, length($1) + 2); exit }' "$home/config.ini"
}

# --- First install: a closed device with a password of its own. ---
run_script postinst configure
check_layout "first install"
password=$(setting "Auth password")
[[ $password =~ ^[a-km-np-z2-9]{20}$ ]] || fail "first install: a weak or odd password: '$password'"
[ "$(setting "Auth require")" = yes ] || fail "first install: authentication is off"
# The ten lines of the shipped file, in their order, only the password filled in.
diff <(sed "s/^Auth password=.*\r$/Auth password=\r/" "$home/config.ini") "$shipped/config.ini" >/dev/null \
  || fail "first install: config.ini is not the shipped one with a password"
[[ $output == *"$home/config.ini"* && $output == *'"user"'* ]] \
  || fail "first install: postinst does not say where the password is: $output"
first_password=$password

# --- Upgrade: links planted by the service in place of shipped pages and
# folders, as a PHP page running as the service could plant them. ---
as_service sh -e -c "
  rm -f $home/web/index.html;    ln -s $victim $home/web/index.html         # a page onto a root file
  rm -f $home/web/ports.vpg;     ln -s $absent $home/web/ports.vpg          # a page onto a name not there
  rm -f $home/web/terminal.html; ln -s $victim_dir $home/web/terminal.html  # a page onto a root folder
  rm -rf $home/web/help;         ln -s $victim_dir $home/web/help           # a folder onto a root folder
  rm -rf $home/web/examples;     ln -s $victim $home/web/examples           # a folder onto a root file
  echo 'my page' > $home/web/mine.html"
cp -p "$home/config.ini" "$scratch/config.before"
run_script postinst configure 1.0.0
check_victims "upgrade"
check_layout "upgrade"
cmp -s "$home/config.ini" "$scratch/config.before" || fail "upgrade: config.ini was rewritten"
[ "$(cat "$home/web/mine.html")" = "my page" ] || fail "upgrade: a page of the site's own was lost"

# --- Install over what an earlier version left when it was removed: the
# layout where the service owned the program directory and config.ini, and so
# could replace both config.ini and web/ by links. ---
chown vantrel:vantrel "$home" "$home/config.ini"
as_service sh -e -c "
  mv $home/config.ini $home/config.saved; ln -s $victim $home/config.ini
  mv $home/web $home/web.saved;           ln -s $victim_dir $home/web"
run_script postinst configure
check_victims "install over the earlier layout with links"
check_layout "install over the earlier layout with links"
password=$(setting "Auth password")
if ! [[ $password =~ ^[a-km-np-z2-9]{20}$ && $password != "$first_password" ]] \
   || grep -q secret "$home/config.ini"; then
  fail "install over the earlier layout with links: no new settings in place of the link"
fi
ls "$home"/config.ini.rejected.* "$home"/web.rejected.* >/dev/null 2>&1 \
  || fail "install over the earlier layout with links: the planted links were not put aside"

# The earlier layout with the administrator's own settings: kept byte for
# byte, now root's; a warning that authentication is off.
printf 'AutoActivate=no\r\nAutoMinimize=no\r\nServer port=8080\r\nUse session=no\r\nSession expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=kelp\r\nLog to file=yes\r\nPHP path=/usr/bin/php-cgi\r\n' \
  > "$scratch/config.admin"
install -o vantrel -g vantrel -m 0640 "$scratch/config.admin" "$home/config.ini"
chown vantrel:vantrel "$home"
run_script postinst configure 1.0.0
check_layout "upgrade of the earlier layout"
cmp -s "$home/config.ini" "$scratch/config.admin" || fail "upgrade of the earlier layout: settings changed"
[[ $output == *"Auth require"* ]] || fail "upgrade of the earlier layout: no word that authentication is off"

# --- Purge: links in web/ and the program directory is gone, targets kept. ---
as_service sh -e -c "ln -s $victim $home/web/to-file; ln -s $victim_dir $home/web/to-folder
  ln -s $victim_dir $home/web/help/to-folder"
run_script prerm remove
run_script postrm remove
[ -d "$home/web" ] || fail "remove: the program directory went"
run_script postrm purge
check_victims "purge"
[ ! -e "$home" ] || fail "purge: $home is still there"
if getent passwd vantrel >/dev/null; then fail "purge: the vantrel user is still there"; fi
echo "maintainer_scripts: links planted by the service user left their targets alone"
