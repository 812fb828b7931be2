#!/bin/sh
# Builds the Debian package from the default build (scripts/test.sh makes
# it), checks it with lintian, installs it with apt-get, runs the installed
# programs from their installed paths, then removes it and checks that
# nothing it installed remains. Needs root, as apt-get does.
set -eu
cd "$(dirname "$0")/.."

cmake --build build
rm -f build/kx7312_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/kx7312_*.deb)

echo "== lintian"
lintian --fail-on error "$deb" || {
    echo "test-package: lintian found errors" >&2
    exit 1
}
lintian --display-level ">=pedantic" "$deb" || true

echo "== install"
apt-get install -y --no-install-recommends "./$deb"
trap 'apt-get purge -y kx7312 >/dev/null 2>&1 || true' EXIT
installed=$(dpkg-query -L kx7312)

# Away from the build tree, so only the installed files can answer.
work=$(mktemp -d)
cd "$work"
/usr/bin/kx7312ctl --simulate --trace "$work/trace.txt" adc read
grep -q "path=/usr/share/kx7312/KX7312FW.hex" "$work/trace.txt" || {
    echo "test-package: the installed kx7312ctl did not take the installed firmware image" >&2
    exit 1
}
# shellcheck disable=SC2288 # the program's own name ends in ")"
"/usr/bin/KX7312(version2)" --help
/usr/bin/kx7312ctl --simulate adc capture "$work/samples.dat"
/usr/bin/kx7312-view --report "$work/samples.dat"
/usr/bin/KX7312 --version
test -f /usr/lib/udev/rules.d/70-kx7312.rules
test -f /usr/share/kx7312/KX7312FW.hex
man -w kx7312ctl >/dev/null 2>&1 || test -f /usr/share/man/man1/kx7312ctl.1.gz
# man kx7312ctl points here for the SCPI command tree.
zgrep -q 'kx7312ctl serve' /usr/share/doc/kx7312/README.md.gz
# The driver where Debian's python3 finds it (byte code and all: postrm
# takes it away).
/usr/bin/python3 -c "import kx7312.pymeasure; print(kx7312.pymeasure.KX7312)"
cd /
rm -rf "$work"

echo "== remove"
apt-get purge -y kx7312
trap - EXIT
left=""
for path in $installed; do
    # Folders the system shares (/usr, /usr/share/man/man1, ...) stay; the
    # package's own files and folders must go.
    if [ -e "$path" ] || [ -L "$path" ]; then
        if [ ! -d "$path" ] || [ "${path#*kx7312}" != "$path" ]; then
            left="$left $path"
        fi
    fi
done
if [ -n "$left" ]; then
    echo "test-package: still there after removal:$left" >&2
    exit 1
fi
echo "test-package: installed, ran and removed cleanly"
