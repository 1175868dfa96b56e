#!/bin/sh
# The Debian package as a user gets it: the desktop file and metainfo validate, `cpack -G DEB`
# builds the package from BUILD, lintian finds no error, and the program unpacked into a scratch
# folder runs. Usage: check.sh SOURCE BUILD VERSION
set -eu
scratch=$(mktemp -d /tmp/quarn-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
desktop-file-validate "$1/resources/app.quillmarsh.quarn.desktop"
appstreamcli validate --no-net "$1/resources/app.quillmarsh.quarn.metainfo.xml"
(cd "$2" && cpack -G DEB -B "$scratch" >/dev/null)
lintian --fail-on error "$scratch/quillmarsh-quarn_$3_"*.deb
dpkg-deb -x "$scratch/quillmarsh-quarn_$3_"*.deb "$scratch/root"
test "$("$scratch/root/usr/bin/quillmarsh-quarn" --version)" = "Quillmarsh Quarn $3"
