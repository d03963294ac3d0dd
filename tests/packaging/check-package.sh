#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root as dpkg would
# install it, and checks what a user gets: the programs run from there, the
# menu entry, icons, type description and manual pages are in place, and the
# package depends on the libraries the programs link.
set -u
build=$1
failed=0 passed=0
ok() { echo "PASS   : $1"; passed=$((passed+1)); }
ko() { echo "FAIL!  : $1"; failed=$((failed+1)); }
root=$(mktemp -d); trap 'rm -rf "$root"' EXIT
out=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$out" | tail -20; ko "cpack builds the package"; echo "0 passed, 1 failed"; exit 1; }
deb=$(ls -t "$build"/kirvane_*.deb 2>/dev/null | head -n 1)
[ -f "$deb" ] && ok "cpack builds the package" || { ko "cpack builds the package"; echo "$passed passed, $failed failed"; exit 1; }
dpkg-deb -x "$deb" "$root/fs"
for f in usr/bin/kirvane usr/bin/kirvane-cli usr/share/applications/net.kirvane.Kirvane.desktop \
         usr/share/metainfo/net.kirvane.Kirvane.metainfo.xml usr/share/mime/packages/kirvane.xml \
         usr/share/icons/hicolor/scalable/apps/kirvane.svg usr/share/icons/hicolor/48x48/apps/kirvane.png \
         usr/share/man/man1/kirvane.1 usr/share/man/man1/kirvane-cli.1 usr/share/kirvane/documentation/index.htm; do
  [ -e "$root/fs/$f" ] && ok "installs $f" || ko "installs $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q "libqt6core6" <<<"$depends" && ok "depends on Qt" || ko "depends on Qt: $depends"
grep -q "libsqlite3" <<<"$depends" && ok "depends on SQLite" || ko "depends on SQLite: $depends"
# The installed command line works on a new data folder.
if books=$("$root/fs/usr/bin/kirvane-cli" --home "$root/data" books 2>&1) \
   && "$root/fs/usr/bin/kirvane-cli" --home "$root/data" book create clients >/dev/null 2>&1 \
   && [ "$("$root/fs/usr/bin/kirvane-cli" --home "$root/data" books)" = "clients" ]; then
  ok "installed kirvane-cli books"
else
  ko "installed kirvane-cli books: $books"
fi
man -l "$root/fs/usr/share/man/man1/kirvane-cli.1" 2>/dev/null | grep -q "books" && ok "manual page of kirvane-cli" \
  || { grep -q "books" "$root/fs/usr/share/man/man1/kirvane-cli.1" && ok "manual page of kirvane-cli" || ko "manual page of kirvane-cli"; }
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
