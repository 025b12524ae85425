#!/usr/bin/env bash
# tools/run as a newcomer meets it, on a copy of the scripts whose PATH has
# no sudo, a dpkg-query that finds every package ($INSTALLED) or none, an
# apt-get and a cmake that only log, and an editor that notes its arguments:
# not root, with packages missing, it says how to install them as root and
# installs and builds nothing; with a file named relative to where it was
# started, the editor gets that file.
#   tools_run_test.sh path/to/repository
set -euo pipefail
repo=$(realpath "$1") work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/repo/tools" "$work/repo/build/ui" "$work/bin" "$work/here/sub"
cp "$repo/tools/run" "$repo/tools/setup" "$work/repo/tools/"
for tool in bash id grep dirname realpath nproc; do ln -s "$(command -v "$tool")" "$work/bin/"; done
fake() { printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$1" && chmod 755 "$1"; }
fake "$work/bin/dpkg-query" '[ -n "${INSTALLED:-}" ] && printf "install ok installed"'
fake "$work/bin/apt-get" "echo apt-get >>$work/calls"
fake "$work/bin/cmake" "echo cmake >>$work/calls"
fake "$work/repo/build/ui/zintra-editor" "printf '%s\n' \"\$@\" >$work/opened"
touch "$work/calls" && chmod -R a+rwX "$work"
fail() { echo "FAIL: $*"; cat "$work/out"; exit 1; }

as_user=()  # nobody, when the test runs as root
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
! "${as_user[@]}" env -i PATH="$work/bin" bash "$work/repo/tools/run" >"$work/out" 2>&1 </dev/null ||
    fail "tools/run went on without the missing packages"
grep -q "sudo: command not found" "$work/out" && fail "sudo was called"
grep -qF "su -c 'bash $work/repo/tools/setup run'" "$work/out" || fail "no command to run as root"
[ ! -s "$work/calls" ] || fail "it ran $(cat "$work/calls") without root"
echo "ok: without sudo: $(tail -n 3 "$work/out")"

(cd "$work/here" && env -i PATH="$work/bin" INSTALLED=1 bash ../repo/tools/run sub/walk.zn) >"$work/out" 2>&1 </dev/null ||
    fail "tools/run FILE failed"
[ "$(cat "$work/opened")" = "$work/here/sub/walk.zn" ] || fail "the editor was given $(cat "$work/opened")"
echo "ok: tools/run sub/walk.zn opens $work/here/sub/walk.zn"
echo PASS
