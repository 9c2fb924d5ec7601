#!/bin/sh
# Writes the Debian package's changelog (the Debian changelog format, compressed as Debian wants
# it) from CHANGELOG.md: one entry per section "## [VERSION] - YYYY-MM-DD", its "- " items as the
# entry's items. Sections without a version and date ("## [Unreleased]") are left out.
#
#   debian-changelog.sh CHANGELOG.md OUT.gz PACKAGE "NAME <ADDRESS>"
set -eu
[ $# -eq 4 ] || { echo "usage: $0 CHANGELOG.md OUT.gz PACKAGE MAINTAINER" >&2; exit 1; }
tmp="$2.tmp"
awk -v package="$3" -v maintainer="$4" '
  function close_entry() {
    if (open) printf "\n -- %s  %s\n\n", maintainer, when
    open = 0
  }
  /^## / {
    close_entry()
    if (match($0, /^## \[[0-9][^]]*\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/)) {
      version = $2
      gsub(/[][]/, "", version)
      command = "date -R -u -d \"" $4 " 12:00\""
      command | getline when
      close(command)
      printf "%s (%s) unstable; urgency=medium\n\n", package, version
      open = 1
    }
    next
  }
  open && /^- / { print "  * " substr($0, 3); next }
  open && /^  [^ ]/ { print "    " substr($0, 3); next }
  END {
    close_entry()
    if (NR == 0) exit 1
  }
' "$1" >"$tmp"
if ! grep -q . "$tmp"; then
  rm -f "$tmp"
  echo "$0: no released version in $1" >&2
  exit 1
fi
# The last line of an entry block must not be blank.
sed -i '$ { /^$/d }' "$tmp"
gzip -9n <"$tmp" >"$2"
rm -f "$tmp"
