#!/usr/bin/env bash
# tests/windows/dmctl_two_processes.sh <build folder>
#
# Two dmctl.exe processes under Wine share one persistent store where a
# real installation keeps it (%LOCALAPPDATA%\Halvorn\keel.db): what the
# first writes, a setting and a profile with its password, the second
# reads; the password is sealed at rest.
set -euo pipefail
build=$1
session=$(dirname "$0")/../../scripts/wine-session
dmctl() { "$session" run "$build" "$build/bin/dmctl.exe" "$@" | tr -d '\r'; }
fail() { echo "dmctl_two_processes: $*" >&2; exit 1; }

password="sealed-$RANDOM-$RANDOM"
dmctl settings skin set 4 >/dev/null
echo "$password" | dmctl profile add web two.example alice >/dev/null

[[ $(dmctl --json settings skin get) == '{"skin_index": 4}' ]] || fail "the skin index was not kept"
dmctl profile show web two.example --password | grep -qx "    password: $password" ||
  fail "the profile's password was not kept"
store=$(dmctl store info | sed -n 's/^store file: //p')
[[ $store == *'\AppData\Local\Halvorn\keel.db' ]] || fail "the store is at $store"
files=("$build"/wine-prefix/drive_c/users/*/AppData/Local/Halvorn/keel.db*)
if grep -qa "$password" "${files[@]}"; then fail "the password is in the store's files"; fi
echo "dmctl_two_processes: one store across processes, the password sealed"
