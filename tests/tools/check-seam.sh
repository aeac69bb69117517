#!/usr/bin/env bash
# Checks the boundaries inside a source tree such as src/. Only the platform backends
# (platform/posix, platform/win32) may include system headers, test the operating system in
# #if lines or touch errno; shared code includes Qt and the C++ standard library alone, and a
# platform header gives no system error back through an int& argument. No file
# includes a header of a layer above its own (platform, then xmlmodel, then updater, download
# and proxy, then app), app/commandline.h excepted: the updater reads its options from it.
# Prints one "file:line: finding" per breach and exits 1 when there is any. With a second
# argument, the findings must instead be exactly the lines of that file.
set -euo pipefail
root=${1:?usage: check-seam.sh SOURCE_DIR [EXPECTED_FINDINGS]}
expected=${2:+$(realpath "$2")}
cd "$root"
mapfile -t files < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) -printf '%P\n' | LC_ALL=C sort)
findings=$(awk '
function layer(p) {
    if (p ~ /^platform\//) return 0
    if (p ~ /^xmlmodel\//) return 1
    if (p ~ /^(updater|download|proxy)\//) return 2
    if (p ~ /^app\//) return 3
    return -1
}
function backend(p) { return match(p, /^platform\/(posix|win32)\//) ? substr(p, 1, RLENGTH) : "" }
function report(what) { printf "%s:%d: %s\n", FILENAME, FNR, what }
{
    own = backend(FILENAME)
    line = $0
    code = line
    gsub(/"([^"\\]|\\.)*"/, "\"\"", code)
    sub(/\/\/.*/, "", code)
    if (match(line, /^[ \t]*#[ \t]*include[ \t]*<[^>]+>/)) {
        header = line; sub(/^[^<]*</, "", header); sub(/>.*/, "", header)
        # Qt headers, and standard C++ headers other than those that expose the system error or signals.
        if (own == "" && !(header ~ /^Q/ || (header ~ /^[a-z_]+$/ && header != "cerrno" && header != "csignal")))
            report("system header <" header "> outside the platform backends")
    } else if (match(line, /^[ \t]*#[ \t]*include[ \t]*"[^"]+"/)) {
        header = line; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
        if (backend(header) != "" && backend(header) != own)
            report("backend header \"" header "\" included outside its backend")
        else if (layer(header) > layer(FILENAME) && header != "app/commandline.h")
            report("\"" header "\" is in a layer above " FILENAME)
    } else if (own == "" && code ~ /^[ \t]*#[ \t]*(if|ifdef|ifndef|elif)/ \
               && code ~ /(Q_OS_|_WIN32|_WIN64|WIN32|__linux|__unix|__APPLE__|__MACH__|_MSC_VER|__MINGW|__CYGWIN__|_POSIX|__GLIBC__|BSD__)/) {
        report("#if on the operating system outside the platform backends")
    } else if (own == "" && code ~ /(^|[^A-Za-z0-9_])errno([^A-Za-z0-9_]|$)/ && line !~ /^[ \t]*(\/\/|\*)/) {
        report("errno outside the platform backends (use Platform::LastError)")
    } else if (FILENAME ~ /^platform\/[^\/]+\.h$/ && code ~ /int[ \t]*&[ \t]*[A-Za-z_]*[Ee]rr/) {
        report("a system error given back through an int& argument (leave it in the last error)")
    }
}' "${files[@]}")
[ -z "$expected" ] || exec diff -u "$expected" <(printf '%s\n' "$findings" | sed '/^$/d')
if [ -n "$findings" ]; then
    printf '%s\n' "$findings"
    exit 1
fi
echo "seam holds: ${#files[@]} files checked"
