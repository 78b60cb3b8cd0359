#!/usr/bin/env bash
# Reads the built monitor's header and imports, and the resources that the end-to-end tests do not
# see on the desktop (strings, icon images, shortcuts, manifest, version), with binutils and
# icoutils; and the hand-over library's header, imports and export.
set -uo pipefail
exe="$1"
failed=0
expect() {  # what, actual, expected
  [ "$2" = "$3" ] || { printf 'FAIL: %s\n  is:        %s\n  should be: %s\n' "$1" "$2" "$3"; failed=1; }
}
raw() { wrestool -x --raw -t "$1" -n "$2" "$exe"; }
text() { raw "$1" "$2" | iconv -f UTF-16LE -t UTF-8; }
icons() {  # each image as its size and bits per pixel
  wrestool -x -t group_icon -n "$1" "$exe" | icotool -l - |
    sed -n 's/.*--width=\([0-9]*\) --height=\1 --bit-depth=\([0-9]*\).*/\1x\2/p' | sort -V | xargs
}

header="$(i686-w64-mingw32-objdump -p "$exe")"
expect "a GUI program with ASLR and DEP" "$(grep -oE '^(Subsystem|DllCharacteristics)\s+\S+' <<<"$header" | xargs)" \
  "Subsystem 00000002 DllCharacteristics 00000140"
# Each one a known DLL, which Windows maps from System32 whatever lies in the program's folder.
expect "system DLLs only" "$(grep -o 'DLL Name: .*' <<<"$header" | cut -d' ' -f3 | sort -f | xargs)" \
  "ADVAPI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll"
# The program's own entry point, which runs first, looks for DLLs loaded later in System32 alone.
expect "DLLs loaded by name come from System32" \
  "$(grep -c -E '\sSetDllDirectoryW$' <<<"$header") $(grep -ac SetDefaultDllDirectories "$exe")" "1 1"
# The install's hand-over runs as LocalSystem inside the installer's own process: ASLR and DEP, known
# DLLs alone and msi.dll, which that process has loaded already (the rest it loads by full path
# from System32), and its entry point under its plain name, as the package calls it.
handover="$(i686-w64-mingw32-objdump -p "$2")"
expect "the hand-over: a DLL with ASLR and DEP, system DLLs only, its entry Handover" \
  "$(grep -oE '^(Characteristics|DllCharacteristics)\s+\S+' <<<"$handover" | xargs) $(grep -o 'DLL Name: .*' <<<"$handover" |
    cut -d' ' -f3 | sort -f | xargs) $(sed -n '/+base/!s/^\s*\[ *[0-9]*\] //p' <<<"$handover" | xargs)" \
  "Characteristics 0x230e DllCharacteristics 00000140 ADVAPI32.dll KERNEL32.dll msi.dll msvcrt.dll Handover"
expect "resources in other languages than Chinese (Taiwan)" "$(wrestool -l "$exe" | grep -vc -- '--language=1028 ')" 0

# Strings 96 to 111 are one block; 103, 104, 105 and 109 are the program's.
expect "strings" "$(text 6 7 | grep -ao 'Kesl[^[:cntrl:]]*\|KESL[^[:cntrl:]]*' | xargs)" \
  "Kesl銀行晶片金融卡安控元件 Kesl銀行晶片金融卡安控元件 Kesl銀行晶片金融卡安控元件已關閉 KESLWEBATMMONITOR"
expect "the emblem in colour" "$(icons 107)" "56x32"
expect "the emblem in greys" "$(icons 129)" "56x32"
expect "the small class icon" "$(icons 108)" "16x4 16x8 16x32 32x4 32x8 32x32 48x8 48x32"
# Flags, key, command and padding of each entry: Alt+? and Alt+/ open About; the last is marked.
expect "shortcuts" "$(raw 9 109 | od -An -tu2 | xargs)" "16 63 104 0 144 47 104 0"

manifest="$(raw 24 1)"
for needed in 'level="asInvoker"' 'uiAccess="false"' 'name="Microsoft.Windows.Common-Controls"'; do
  expect "the manifest says $needed" "$(grep -c "$needed" <<<"$manifest")" 1
done
# Per-monitor v2 where Windows has it, system-aware elsewhere: never per-monitor v1 (true/pm, PerMonitor).
setting() { sed -n "s|.*<$1 [^>]*>\([^<]*\)</$1>.*|\1|p" <<<"$manifest" | xargs; }
expect "DPI awareness, Windows 8.1 and Windows 10 before 1607" "$(setting dpiAware)" "true"
expect "DPI awareness, Windows 10 1607 on" "$(setting dpiAwareness)" "PerMonitorV2, System"
expect "file and product version" "$(raw 16 1 | od -An -tx4 -j48 -N16 | xargs)" "00010000 00000007 00010000 00000007"
expect "version texts" "$(text 16 1 | grep -ao '1\.0\.0\.7' | xargs)" "1.0.0.7 1.0.0.7"
exit $failed
