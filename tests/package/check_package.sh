#!/usr/bin/env bash
# Builds the Debian package from an already built tree and checks what it
# holds. Usage: check_package.sh <build dir> <scratch dir> [<arch> <emulator>]
# (a cross build's architecture, and the emulator that runs its program).
set -uo pipefail

build=$1
out=$2
arch=${3:-$(dpkg --print-architecture)}
emulator=${4:-}
dir=opt/kivo/ltxgterminalui
unit=lib/systemd/system/ltxgterminalui.service
rules=usr/share/polkit-1/rules.d/60-ltxgterminalui.rules

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_field() { # <field> <word>: the control field lists the word
    local value
    value=$(dpkg-deb -f "$deb" "$1")
    if ! tr ',|' '\n\n' <<<"$value" | sed 's/(.*)//; s/^ *//; s/ *$//' | grep -qx "$2"; then
        fail "$1 lacks $2 (is: $value)"
    fi
}
expect_line() { # <file> <line>
    grep -qxF -- "$2" "$1" || fail "$(basename "$1") lacks the line '$2'"
}

rm -rf "$out"
mkdir -p "$out"
if ! (cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$out" >"$out/cpack.log" 2>&1); then
    cat "$out/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
shopt -s nullglob
debs=("$out"/ltxgterminalui_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    echo "FAIL: expected one ltxgterminalui_*.deb in $out, found ${#debs[@]}"
    exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Control fields.
[ "$(dpkg-deb -f "$deb" Package)" = ltxgterminalui ] || fail "Package is '$(dpkg-deb -f "$deb" Package)'"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture is '$(dpkg-deb -f "$deb" Architecture)', not $arch"
[ -n "$(dpkg-deb -f "$deb" Version)" ] || fail "no Version"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
for package in libqt5core5a libqt5gui5 libqt5qml5 libqt5quick5 libqt5quickcontrols2-5 libqt5svg5 \
    libmosquitto1 libqrcodegencpp1 qml-module-qtquick-controls2 qml-module-qtquick-layouts \
    qml-module-qtquick-window2 qml-module-qtquick2 qtvirtualkeyboard-plugin qml-module-qtquick-virtualkeyboard \
    qml-module-qt-labs-folderlistmodel adduser; do
    expect_field Depends "$package"
done
expect_field Recommends mosquitto
expect_field Recommends polkitd
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# Contents: exactly the program, its settings file and the unit, nothing
# from the tests, benchmarks or tools.
dpkg-deb -c "$deb" >"$out/contents.txt" || fail "dpkg-deb -c failed"
grep -v '^d' "$out/contents.txt" | awk '{ print $NF }' | sed 's|^\./||' | sort >"$out/files.txt"
printf '%s\n' "$dir/LTXGTerminalUI" "$dir/gui.conf" "$unit" "$rules" | sort >"$out/expected.txt"
if ! diff -u "$out/expected.txt" "$out/files.txt"; then
    fail "the package holds other files than expected"
fi
grep -Eq "^-rwxr-xr-x root/root .* \./$dir/LTXGTerminalUI\$" "$out/contents.txt" \
    || fail "the program is not an executable owned by root"
grep -Eq "^-rw-r--r-- root/root .* \./$unit\$" "$out/contents.txt" || fail "the unit's mode or owner is wrong"

# Maintainer scripts and the conffile.
dpkg-deb -e "$deb" "$out/control" || fail "dpkg-deb -e failed"
expect_line "$out/control/conffiles" "/$dir/gui.conf"
[ "$(wc -l <"$out/control/conffiles")" -eq 1 ] || fail "conffiles lists more than gui.conf"
for script in postinst prerm postrm; do
    if [ ! -x "$out/control/$script" ]; then
        fail "no executable $script"
        continue
    fi
    sh -n "$out/control/$script" || fail "$script is not valid sh"
done
tr -d '\\\n' <"$out/control/postinst" | grep -Eq 'adduser [^;]*--system[^;]* ltxgui' \
    || fail "postinst does not create the user ltxgui"
grep -q 'chown ltxgui:ltxgui "\$file"' "$out/control/postinst" || fail "postinst does not hand gui.conf/events.ini to ltxgui"

# The installed files themselves.
root=$out/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
conf=$root/$dir/gui.conf
for group in log mqtt gui topics; do
    expect_line "$conf" "[$group]"
done
# One entry per default the program knows.
[ "$(grep -c '^[^[;].*=' "$conf")" -eq 31 ] || fail "gui.conf has $(grep -c '^[^[;].*=' "$conf") keys, not 31"
expect_line "$conf" "host=localhost"
expect_line "$conf" "port=1883"
expect_line "$conf" "settingsPin=3917"
expect_line "$conf" "locale=el_GR"
expect_line "$conf" "dispenser=kivo/dispenser"

# The program is built for the package's architecture.
machine=$(readelf -h "$root/$dir/LTXGTerminalUI" | sed -n 's/^ *Machine: *//p')
case $arch in
amd64) expected_machine="Advanced Micro Devices X86-64" ;;
arm64) expected_machine=AArch64 ;;
armhf) expected_machine=ARM ;;
*) expected_machine=$machine ;;
esac
[ "$machine" = "$expected_machine" ] || fail "the program is built for '$machine', not $arch"
echo "program: $(file -b "$root/$dir/LTXGTerminalUI" 2>/dev/null | cut -d, -f1-2)"

version=$(QT_QPA_PLATFORM=offscreen $emulator "$root/$dir/LTXGTerminalUI" --version 2>&1) || fail "the packaged program fails to run: $version"
grep -q '^LTXGTerminalUI ' <<<"$version" || fail "the packaged program printed '$version' for --version"

# The polkit rule: JavaScript that parses, for the service user only, and
# for the time zone and NTP only.
polkit=$root/$rules
grep -Fq 'subject.user === "ltxgui"' "$polkit" || fail "the polkit rule is not for ltxgui alone"
[ "$(grep -o 'org\.freedesktop\.[a-z0-9.-]*' "$polkit" | sort -u | tr '\n' ' ')" = \
    "org.freedesktop.timedate1.set-ntp org.freedesktop.timedate1.set-timezone " ] \
    || fail "the polkit rule grants other actions: $(grep -o 'org\.freedesktop\.[a-z0-9.-]*' "$polkit" | tr '\n' ' ')"
if command -v node >/dev/null; then
    cp "$polkit" "$out/rule.js"
    node --check "$out/rule.js" || fail "the polkit rule is not valid JavaScript"
else
    echo "note: no node here; the polkit rule's syntax is not checked"
fi

service=$root/$unit
expect_line "$service" "After=mosquitto.service"
expect_line "$service" "Wants=mosquitto.service"
expect_line "$service" "ExecStart=/$dir/LTXGTerminalUI"
expect_line "$service" "WorkingDirectory=/$dir"
expect_line "$service" "User=ltxgui"
expect_line "$service" "Restart=on-failure"
expect_line "$service" "Environment=QT_QPA_PLATFORM=eglfs"
expect_line "$service" "NoNewPrivileges=yes"
expect_line "$service" "ProtectSystem=strict"
expect_line "$service" "ReadWritePaths=/$dir"
expect_line "$service" "PrivateTmp=yes"
if command -v systemd-analyze >/dev/null; then
    # A copy that starts the unpacked program: verify wants ExecStart to
    # exist, and this machine's own units to resolve the dependencies.
    mkdir -p "$out/verify"
    sed "s|^ExecStart=/|ExecStart=$root/|" "$service" >"$out/verify/ltxgterminalui.service"
    if ! analysis=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$out/verify/ltxgterminalui.service" 2>&1); then
        fail "systemd-analyze verify: $analysis"
    elif grep -q . <<<"$analysis"; then
        fail "systemd-analyze verify warns: $analysis"
    fi
else
    echo "systemd-analyze not found: unit not verified"
fi

echo "--- contents"
cat "$out/contents.txt"
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
