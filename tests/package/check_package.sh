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
    tr ',|' '\n\n' <<<"$(dpkg-deb -f "$deb" "$1")" | sed 's/(.*)//; s/^ *//; s/ *$//' | grep -qx "$2" \
        || fail "$1 lacks $2 (is: $(dpkg-deb -f "$deb" "$1"))"
}
expect_lines() { # <file> <line>...
    local file=$1 line
    shift
    for line; do
        grep -qxF -- "$line" "$file" || fail "$(basename "$file") lacks the line '$line'"
    done
}

rm -rf "$out"
mkdir -p "$out"
if ! (cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$out" >"$out/cpack.log" 2>&1); then
    cat "$out/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
debs=("$out"/ltxgterminalui_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: not one ltxgterminalui_*.deb in $out"; exit 1; }
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture is '$(dpkg-deb -f "$deb" Architecture)', not $arch"
for package in libqt5core5a libqt5gui5 libqt5qml5 libqt5quick5 libqt5quickcontrols2-5 libqt5svg5 \
    libmosquitto1 libqrcodegencpp1 qml-module-qtquick-controls2 qml-module-qtquick-layouts \
    qml-module-qtquick-window2 qml-module-qtquick2 qtvirtualkeyboard-plugin qml-module-qtquick-virtualkeyboard \
    qml-module-qt-labs-folderlistmodel adduser; do
    expect_field Depends "$package"
done

# Exactly the program, its settings file, the unit and the polkit rule.
dpkg-deb -c "$deb" >"$out/contents.txt" || fail "dpkg-deb -c failed"
grep -v '^d' "$out/contents.txt" | awk '{ print $NF }' | sed 's|^\./||' | sort >"$out/files.txt"
printf '%s\n' "$dir/LTXGTerminalUI" "$dir/gui.conf" "$unit" "$rules" | sort | diff -u - "$out/files.txt" \
    || fail "the package holds other files than expected"
grep -Eq "^-rwxr-xr-x root/root .* \./$dir/LTXGTerminalUI\$" "$out/contents.txt" \
    || fail "the program is not an executable owned by root"
grep -Eq "^-rw-r--r-- root/root .* \./$unit\$" "$out/contents.txt" || fail "the unit's mode or owner is wrong"

# The conffile and the maintainer scripts.
dpkg-deb -e "$deb" "$out/control" || fail "dpkg-deb -e failed"
[ "$(cat "$out/control/conffiles")" = "/$dir/gui.conf" ] || fail "conffiles is not just gui.conf"
for script in postinst prerm postrm; do
    [ -x "$out/control/$script" ] && sh -n "$out/control/$script" || fail "$script is not an executable sh script"
done
tr -d '\\\n' <"$out/control/postinst" | grep -Eq 'adduser [^;]*--system[^;]* ltxgui' \
    || fail "postinst does not create the user ltxgui"
grep -q 'chown ltxgui:ltxgui "\$file"' "$out/control/postinst" || fail "postinst does not hand gui.conf/events.ini to ltxgui"

root=$out/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
# One entry per default the program knows.
conf=$root/$dir/gui.conf
[ "$(grep -c '^[^[;].*=' "$conf")" -eq 31 ] || fail "gui.conf has $(grep -c '^[^[;].*=' "$conf") keys, not 31"
expect_lines "$conf" "[mqtt]" "host=localhost" "port=1883" "[gui]" "settingsPin=3917"

# Built for the package's architecture: it runs here, or under that
# architecture's emulator.
version=$(QT_QPA_PLATFORM=offscreen $emulator "$root/$dir/LTXGTerminalUI" --version 2>&1) \
    && grep -q '^LTXGTerminalUI ' <<<"$version" || fail "the packaged program does not run: $version"

# The polkit rule: for the service user only, and for the time zone and NTP only.
polkit=$root/$rules
grep -Fq 'subject.user === "ltxgui"' "$polkit" || fail "the polkit rule is not for ltxgui alone"
actions=$(grep -o 'org\.freedesktop\.[a-z0-9.-]*' "$polkit" | sort -u | tr '\n' ' ')
[ "$actions" = "org.freedesktop.timedate1.set-ntp org.freedesktop.timedate1.set-timezone " ] \
    || fail "the polkit rule grants other actions: $actions"

service=$root/$unit
expect_lines "$service" "After=mosquitto.service" "Wants=mosquitto.service" "ExecStart=/$dir/LTXGTerminalUI" \
    "WorkingDirectory=/$dir" "User=ltxgui" "Restart=on-failure" "Environment=QT_QPA_PLATFORM=eglfs" \
    "NoNewPrivileges=yes" "ProtectSystem=strict" "ReadWritePaths=/$dir" "PrivateTmp=yes"
if command -v systemd-analyze >/dev/null; then
    # A copy that starts the unpacked program: verify wants ExecStart to exist.
    mkdir -p "$out/verify"
    sed "s|^ExecStart=/|ExecStart=$root/|" "$service" >"$out/verify/ltxgterminalui.service"
    analysis=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$out/verify/ltxgterminalui.service" 2>&1)
    [ $? -eq 0 ] && [ -z "$analysis" ] || fail "systemd-analyze verify: $analysis"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package checks passed"
