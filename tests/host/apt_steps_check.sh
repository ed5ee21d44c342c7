#!/usr/bin/env bash
# The scripts' apt steps against a stand-in apt-get on PATH, whose update
# fails at first, then reports an index that failed: the update is tried
# again, and the step goes on with a warning naming the index. A download
# that fails for a named package ends the step with that name.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat > "$work/bin/apt-get" <<'STAND_IN'
#!/bin/sh
case " $* " in
*" update "*)
  echo x >> "$UPDATES"
  [ "$(wc -l < "$UPDATES")" -eq 1 ] && { echo "E: Could not connect to the archive" >&2; exit 100; }
  echo "E: Failed to fetch http://archive/debian-security/dists/s/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  exit 100 ;;
*" nosuch "*) echo "E: Unable to locate package nosuch" >&2; exit 100 ;;
*) echo "fetched $*" > "$FETCHED" ;;
esac
STAND_IN
chmod +x "$work/bin/apt-get"
export PATH="$work/bin:$PATH" UPDATES="$work/updates" FETCHED="$work/fetched" UPDATE_APT_PAUSE=0
. "$top/scripts/apt-steps"
fail=0
expect() {  # expect WHAT CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

out=$( { apt_update -o Dir::State=x && apt_fetch "test step" install -y wine32; } 2>&1 ); rc=$?
echo "$out"
expect "the update goes on and the download is made" test $rc -eq 0 -a -s "$FETCHED"
expect "the update was tried three times" test "$(wc -l < "$UPDATES")" -eq 3
expect "the warning names the index" grep -q 'warning: .*binary-i386/Packages.xz$' <<<"$out"

out=$(apt_fetch "test step" -o Dir::State=x install -y wine32 nosuch 2>&1); rc=$?
echo "$out"
expect "a package that cannot be found ends the step" test $rc -ne 0
expect "in one line, with the step and the package" \
  test "$out" = "apt_steps_check.sh: test step: cannot get nosuch: Unable to locate package nosuch"
exit $fail
