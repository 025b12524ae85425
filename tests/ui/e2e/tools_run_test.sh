#!/usr/bin/env bash
# A newcomer's first minutes with tools/run, on a copy of the scripts whose
# editor prints what it was given, whose cmake builds nothing and whose
# PATH holds no sudo:
# - not root and without sudo, with packages missing, it says how to
#   install them as root, and neither installs nor builds anything;
# - with a file named relative to where it was started, the editor gets
#   that file.
#   tools_run_test.sh path/to/repository
set -euo pipefail
repo=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/repo/tools" "$work/repo/build/ui" "$work/bin" "$work/here/sub"
cp "$repo/tools/run" "$repo/tools/setup" "$work/repo/tools/"
for tool in bash id grep dirname realpath nproc cat; do ln -s "$(command -v "$tool")" "$work/bin/"; done
fake() {  # fake NAME BODY: a command on PATH
    printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$3/$1"
    chmod 755 "$3/$1"
}
# Everything is installed when $INSTALLED is set, else nothing is.
fake dpkg-query '[ -n "${INSTALLED:-}" ] && printf "install ok installed"' "$work/bin"
fake apt-get "echo apt-get >>$work/calls" "$work/bin"
fake cmake "echo cmake >>$work/calls" "$work/bin"
fake zintra-editor "printf '%s\n' \"\$@\" >$work/opened" "$work/repo/build/ui"
touch "$work/calls"
chmod -R a+rX "$work"; chmod a+w "$work" "$work/calls"

fail() { echo "FAIL: $*"; exit 1; }

# As a user other than root: nobody, when the test runs as root.
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
status=0
"${as_user[@]}" env -i PATH="$work/bin" HOME="$work" bash "$work/repo/tools/run" \
    >"$work/out" 2>&1 </dev/null || status=$?
[ "$status" -ne 0 ] || fail "tools/run went on without the missing packages"
grep -q "sudo: command not found" "$work/out" && fail "sudo was called: $(cat "$work/out")"
grep -qF "su -c 'bash $work/repo/tools/setup run'" "$work/out" || fail "no root command given: $(cat "$work/out")"
[ ! -s "$work/calls" ] || fail "it ran $(tr '\n' ' ' <"$work/calls")without root"
echo "ok: without sudo it says: $(cat "$work/out")"

(cd "$work/here" && env -i PATH="$work/bin" HOME="$work" INSTALLED=1 bash ../repo/tools/run sub/walk.zn) \
    >"$work/out" 2>&1 </dev/null || fail "tools/run FILE failed: $(cat "$work/out")"
[ "$(cat "$work/opened")" = "$work/here/sub/walk.zn" ] || fail "the editor was given $(cat "$work/opened")"
echo "ok: tools/run sub/walk.zn opens $work/here/sub/walk.zn"
echo PASS
