#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack, checked by lintian, unpacked with
# dpkg-deb -x into a temporary root, and the unpacked program, manual page and completion used
# there. Also an install with another prefix and DESTDIR.
# Usage: package-test.sh build BUILD_DIR WORK_DIR
#        package-test.sh german WORK_DIR   (after "build": a German message from the unpacked tree;
#                                           exits 77 when the package holds no German catalogue)
set -euo pipefail
mode=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { [ "$2" = "$3" ] || fail "$1: expected [$3], got [$2]"; }

# Runs a command with every per-user place, the configuration and the system settings in WORK_DIR.
run() {
    env -u LC_ALL -u LC_MESSAGES -u LANG -u XDG_RUNTIME_DIR HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
        XDG_STATE_HOME="$work/state" TMPDIR="$work/tmp" CORVANTIS_CONFIG_DIR="$work/config" \
        XDG_CONFIG_DIRS="$work/xdg" "$@"
}

# The words that the completion offers for a command line whose last word is being typed.
completion() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _kvr_updater_ctl
    echo "${COMPREPLY[*]}"
}

if [ "$mode" = build ]; then
    build=$(realpath "$2") work=$3
    rm -rf "$work" && mkdir -p "$work"/{home,state,tmp,config,xdg/Corvantis}
    work=$(realpath "$work")
    (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail cpack; }
    deb=$(echo "$work"/cpack/*.deb)
    [[ $(dpkg-deb -f "$deb" Depends) == *libqt5core5a* ]] || fail "no dependencies computed from the binary"
    expect conffiles "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" /etc/xdg/Corvantis/corvantis-lumen.conf
    lintian --fail-on error --tag-display-limit 0 "$deb" 2>/dev/null || fail "lintian reports errors"

    root=$work/root
    dpkg-deb -x "$deb" "$root"
    prog=$root/usr/bin/kvr_updater_ctl
    sample=$root/usr/share/doc/kvr-updater-ctl/examples/corvantis_updates.xml
    expect "settings file" "$(cat "$root/etc/xdg/Corvantis/Corvantis Lumen.conf")" \
        $'[General]\nInstallLocation="/usr/share/corvantis"'
    listing=$(run "$prog" check -u lum -d "$sample") || fail "check of the sample ended with $?"
    expect "check of the sample" "$(echo "$listing" | cut -c1-36 | tr -d ' ' | tr '\n' ' ')" \
        "UUID lum.5.6.1-36510.en_US.corvantis.win lum.5.6.2-36588.en_US.corvantis.win "

    man=$root/usr/share/man/man1/kvr_updater_ctl.1.gz
    expect "groff warnings" "$(zcat "$man" | groff -ww -z -man 2>&1)" ""
    page=$(MANWIDTH=80 man -l "$man" 2>"$work/man.err" | col -b)
    expect "man warnings" "$(cat "$work/man.err")" ""

    # shellcheck source=/dev/null
    source "$root/usr/share/bash-completion/completions/kvr_updater_ctl"
    expect "actions" "$(completion kvr_updater_ctl '')" "info version check download"
    expect "update types" "$(completion kvr_updater_ctl check -u '')" "halden ferrowick lum file"
    expect "modes" "$(completion kvr_updater_ctl download --mode l)" "loud low"
    expect "long options" "$(completion kvr_updater_ctl check --update-d)" \
        "--update-description --update-during-installation"
    expect "a URL" "$(completion kvr_updater_ctl check -u lum -l '')" ""
    # Every option offered is one the program knows and the manual page describes.
    options=$(completion kvr_updater_ctl check -)
    expect "option count" "$(wc -w <<<"$options")" 48
    for option in $options; do
        grep -qE -- "(^|[[:space:],])$option([[:space:],]|$)" <<<"$page" || fail "the manual page does not describe $option"
        err=$(run "$prog" check -u lum -d /nonexistent "$option" 2>&1 || true)
        [[ $err != *"argument [$option] is unknown"* ]] || fail "the program does not know $option"
    done

    # The settings file names the prefix of the install, never the configure-time one or DESTDIR.
    DESTDIR=$work/staged cmake --install "$build" --prefix /opt/kvr >/dev/null
    [ -x "$work/staged/opt/kvr/bin/kvr_updater_ctl" ] || fail "nothing installed under DESTDIR and the prefix"
    expect "settings file of /opt/kvr" "$(cat "$work/staged/etc/opt/kvr/xdg/Corvantis/Corvantis Lumen.conf")" \
        $'[General]\nInstallLocation="/opt/kvr/share/corvantis"'
    echo "package checked: $deb"
elif [ "$mode" = german ]; then
    work=$(realpath "$2") root=$(realpath "$2")/root
    [ -d "$root" ] || fail "the build case has not unpacked the package"
    prog=$root/usr/bin/kvr_updater_ctl
    sample=$root/usr/share/doc/kvr-updater-ctl/examples/corvantis_updates.xml
    compgen -G "$root/usr/share/corvantis/Resources/de*/corvantis.qm" >/dev/null || {
        echo "SKIP: the package holds no German catalogue (usr/share/corvantis/Resources/de_DE or de)"
        exit 77
    }
    # A settings file of the test's own names the unpacked install location.
    printf '[General]\nInstallLocation="%s"\n' "$root/usr/share/corvantis" >"$work/xdg/Corvantis/Corvantis Lumen.conf"
    english="You have the latest version of the Corvantis Software."
    upToDate=(check -u lum -d "$sample" -v 9.0.0-1)
    status=0
    german=$(run LANG=de_DE.UTF-8 "$prog" "${upToDate[@]}" 2>&1 >/dev/null) || status=$?
    expect "exit status" "$status" 4
    [ -n "$german" ] && [ "$german" != "$english" ] || fail "not translated: [$german]"
    # Without the settings file there is no install location, and the message stays English: the German
    # text came from the catalogue that the packaged install location names.
    expect "without the install location" \
        "$(run LANG=de_DE.UTF-8 XDG_CONFIG_DIRS="$work/none" "$prog" "${upToDate[@]}" 2>&1 >/dev/null || true)" "$english"
    echo "German from the package: $german"
else
    fail "unknown mode $mode"
fi
