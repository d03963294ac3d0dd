#!/usr/bin/env bash
# The menu entry and the AppStream description pass their validators, and
# every program and command answers --help (and --version) with its usage,
# exit status 0, running nothing.
set -u
src=$1 build=$2
failed=0
check() { # name, command...
  local name=$1; shift
  if out=$("$@" 2>&1); then echo "PASS   : $name"; else echo "FAIL!  : $name"; echo "$out" | head -20; failed=$((failed+1)); fi
}
check "desktop entry" desktop-file-validate "$src/packaging/net.kirvane.Kirvane.desktop"
check "AppStream description" appstreamcli validate --no-net "$src/packaging/net.kirvane.Kirvane.metainfo.xml"
check "saved-message type" xmllint --noout "$src/packaging/kirvane-mime.xml"

home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
usage_of() { # program args... : exit 0 and a usage text
  local out
  out=$("$@" 2>&1) || { echo "exit $?: $out"; return 1; }
  grep -qi "usage" <<<"$out" || { echo "no usage in: $out"; return 1; }
}
check "kirvane --help" usage_of "$build/bin/kirvane" --help
check "kirvane --version" bash -c "'$build/bin/kirvane' --version | grep -q '^kirvane [0-9]'"
check "kirvane-cli --help" usage_of "$build/bin/kirvane-cli" --help
check "kirvane-cli --version" bash -c "'$build/bin/kirvane-cli' --version | grep -q '^kirvane-cli [0-9]'"
# Every command the general usage names, with --help after it: nothing is
# created in the data folder, nothing is sent.
commands=$("$build/bin/kirvane-cli" --help | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || { echo "FAIL!  : no command in the usage"; failed=$((failed+1)); }
for c in $commands; do
  check "kirvane-cli $c --help" usage_of "$build/bin/kirvane-cli" --home "$home/data" "$c" --help
done
[ ! -e "$home/data" ] || { echo "FAIL!  : a --help created the data folder"; failed=$((failed+1)); }
total=$(( $(grep -c . <<<"$commands") + 7 ))
echo "$((total - failed)) passed, $failed failed"
[ $failed -eq 0 ]
