#!/usr/bin/env bash
# End-to-end tests of the installer package under Wine (a prefix of its own):
# the 32-bit package's tables read back with msiinfo; then the same package
# built of the 64-bit test programs installed silently with msiexec /qn for the
# current user, the launcher started from its Start-menu shortcut's target
# showing its menu, the optional start-up shortcut, an upgrade that keeps the
# user's settings and results, and the uninstalls (data kept, or removed when
# asked). Also: the manifests and version resources read back from the shipped
# programs, and the launcher's icons.
# usage: installer.sh BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE WIN32_BUILD_DIR
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 5 ] || {
  echo "usage: $0 BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE WIN32_BUILD_DIR" >&2
  exit 2
}
root=$(cd "$(dirname "$0")/../.." && pwd)
E2E_PREFIX_NAME=wineprefix-installer
e2e_init installer "$1" "$4"
qrt000=$2 qrt100=$3 win32=$5
menu=ＳＤＩ\ チェッカーメニュー

# ---- the 32-bit package's tables -------------------------------------------
if [ -f "$win32/launcher/qrt000.exe" ] && [ -f "$win32/checker/qrt100.exe" ]; then
  bin32=$E2E_TMP/bin32
  mkdir -p "$bin32"
  cp "$win32/launcher/qrt000.exe" "$win32/checker/qrt100.exe" "$bin32/"
  "$root/scripts/package-msi" "$bin32" "$E2E_TMP/x86.msi" x86 2>/dev/null
  table() { msiinfo export "$E2E_TMP/x86.msi" "$1" | tr -d '\r'; }
  template=$(msiinfo suminfo "$E2E_TMP/x86.msi" | sed -n 's/^Template: //p')
  [ "$template" = "Intel;1041" ] || e2e_fail "32-bit package: template $template"
  ! table Property | grep -qP '^ALLUSERS\t' || e2e_fail "32-bit package: ALLUSERS is set"
  table Component | grep -qP '^UserFolder\t\{[^}]+\}\tUserDir\t144\t\tZORAX.INI$' ||
    e2e_fail "32-bit package: ZORAX.INI is not permanent and never overwritten"
  table Feature | grep -qP '^Startup\t\tStart at logon\t\t\d*\t1000\t' ||
    e2e_fail "32-bit package: the start-up feature: $(table Feature)"
  table Condition | grep -qP '^Startup\t1\tSTARTUP = "1"$' ||
    e2e_fail "32-bit package: the start-up feature has no condition"
  table Shortcut | grep -qP '^LauncherStartup\tStartupFolder\tQRT_SDI\tStartupShortcut\t\[INSTALLDIR\]qrt000.exe\tS\tOrvanta SDI\t\tqrt000.ico\t2\t1\tINSTALLDIR' ||
    e2e_fail "32-bit package: the start-up shortcut: $(table Shortcut)"
  table Directory | grep -qP '^ProgramsDir\tLocalAppDataFolder\tPrograms$' ||
    e2e_fail "32-bit package: not below the user's local programs folder"
  for f in qrt000.exe qrt100.exe ZORAX.INI; do
    table File | grep -qP "^$f\t" || e2e_fail "32-bit package: no $f"
  done
  table Upgrade | grep -q '6C1F3A52-8E0B-4D7A-9B44-2F5E9A7C1D03' || e2e_fail "32-bit package: no upgrade"
  # Same programs, same package.
  "$root/scripts/package-msi" "$bin32" "$E2E_TMP/x86-again.msi" x86 2>/dev/null
  cmp -s "$E2E_TMP/x86.msi" "$E2E_TMP/x86-again.msi" || e2e_fail "32-bit package: not reproducible"

  e2e_log "32-bit package tables checked"
else
  e2e_log "no 32-bit build in $win32: its package's tables not checked"
fi

# ---- the resources of the programs ------------------------------------------
# Read back with icoutils' wrestool: the manifest (type 24), the version
# resource (type 16, its UTF-16 texts) and the icon groups (type 14).
check_resources() {
  local exe=$1 name description=$2 manifest version want
  name=$(basename "$exe")
  manifest=$(wrestool -x --raw -t 24 "$exe") || e2e_fail "$name: no manifest"
  printf '%s\n' "$manifest" >"$E2E_ARTIFACTS/$name.manifest"
  for want in 'level="asInvoker"' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
    '>true</dpiAware>' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qF "$want" <<<"$manifest" || e2e_fail "$name: the manifest has no $want"
  done
  version=$(wrestool -x --raw -t 16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr '\0' '\n') ||
    e2e_fail "$name: no version resource"
  printf '%s\n' "$version" >"$E2E_ARTIFACTS/$name.version.txt"
  for want in 1.20 Orvanta 'Orvanta SDI' "$description"; do
    grep -qxF "$want" <<<"$version" || e2e_fail "$name: the version resource has no \"$want\""
  done
}
for exe in "$qrt000" "$qrt100" ${bin32:+"$bin32/qrt000.exe" "$bin32/qrt100.exe"}; do
  case $(basename "$exe") in
    qrt000.exe) check_resources "$exe" 'Orvanta SDI 起動・設定プログラム' ;;
    *) check_resources "$exe" 'Orvanta SDIチェッカー' ;;
  esac
done
# The launcher holds three icons (the start-up shortcut shows index 2), each
# in the sizes the shell asks for.
groups=$(wrestool -l -t 14 "$qrt000" | grep -c 'type=14' || true)
((groups >= 3)) || e2e_fail "qrt000 holds $groups icons"
mkdir -p "$E2E_TMP/icons"
wrestool -x -t 14 -o "$E2E_TMP/icons" "$qrt000"
for ico in "$E2E_TMP/icons"/*.ico; do
  sizes=$(icotool -l "$ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
  [ "$sizes" = "16 32 48 256 " ] || e2e_fail "$(basename "$ico"): sizes $sizes"
done

# ---- install, start, upgrade, uninstall (64-bit test package) ---------------
bin=$E2E_TMP/bin64
mkdir -p "$bin"
cp "$qrt000" "$bin/qrt000.exe"
cp "$qrt100" "$bin/qrt100.exe"
"$root/scripts/package-msi" "$bin" "$E2E_TMP/x64.msi" x64 2>/dev/null
QRT_PACKAGE_VERSION=1.20.1 "$root/scripts/package-msi" "$bin" "$E2E_TMP/x64-next.msi" x64 2>/dev/null

msi() { e2e_bounded 120 "$QRT_WINE" msiexec "$@" >>"$E2E_ARTIFACTS/msiexec.log" 2>&1; }
profile=$(e2e_bounded 30 "$QRT_WINE" cmd /c echo '%LOCALAPPDATA%' | tr -d '\r')
unix() { e2e_bounded 30 "$QRT_WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
inst=$(unix "$profile\\Programs\\Orvanta SDI")
menu_lnk=$(unix "$(e2e_bounded 30 "$QRT_WINE" cmd /c echo '%APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\Orvanta SDI\\Orvanta SDI.lnk")
startup_dir=$(unix "$(e2e_ui folder startup | tr -d '\r')")
[ -n "$inst" ] && [ -n "$startup_dir" ] || e2e_fail "cannot name the user's folders"
e2e_log "install folder $inst"

# A run before this one may have left its install.
msi /x "$(e2e_winpath "$E2E_TMP/x64.msi")" /qn || true
msi /x "$(e2e_winpath "$E2E_TMP/x64-next.msi")" /qn || true
rm -rf "$inst" "$startup_dir/QRT_SDI.lnk"

msi /i "$(e2e_winpath "$E2E_TMP/x64.msi")" /qn || e2e_fail "the silent install failed"
for f in qrt000.exe qrt100.exe USER/ZORAX.INI; do
  [ -f "$inst/$f" ] || e2e_fail "installed: no $f"
done
[ -d "$inst/DLV" ] || e2e_fail "installed: no DLV folder"
cmp -s "$inst/qrt000.exe" "$qrt000" || e2e_fail "installed: qrt000.exe differs"
e2e_sjis "$inst/USER/ZORAX.INI" | grep -q '^ホスト名            127.0.0.1' ||
  e2e_fail "installed: ZORAX.INI: $(e2e_sjis "$inst/USER/ZORAX.INI")"
[ ! -e "$startup_dir/QRT_SDI.lnk" ] || e2e_fail "a start-up shortcut without STARTUP=1"
[ -f "$menu_lnk" ] || e2e_fail "no Start-menu shortcut at $menu_lnk"

# The launcher from its Start-menu shortcut's target shows its menu.
link=$(e2e_ui link "$(e2e_winpath "$menu_lnk")" | tr -d '\r') || e2e_fail "cannot read the Start-menu shortcut"
printf '%s\n' "$link" >"$E2E_ARTIFACTS/menu-shortcut.txt"
target=$(awk -F'\t' '$1 == "target" { print $2 }' <<<"$link")
folder=$(awk -F'\t' '$1 == "folder" { print $2 }' <<<"$link")
arguments=$(awk -F'\t' '$1 == "arguments" { print $2 }' <<<"$link")
[ "$(unix "$target")" = "$inst/qrt000.exe" ] || e2e_fail "the shortcut points to $target"
[ "$arguments" = 0 ] || e2e_fail "the shortcut's arguments: $arguments"
e2e_start "$(unix "$folder")" "$target" "$arguments"
e2e_ui wait "$menu" 60 || e2e_fail "the installed launcher shows no menu"
e2e_shot "$menu" installed-menu
e2e_ui click "$menu" 戻り || e2e_fail "cannot close the menu"
e2e_wait_exit "$E2E_PID" 30 || e2e_fail "the launcher did not end"

# The user's settings and results from here on are theirs.
printf 'DEMO01\0\0\0demo01\0\0\0' | base64 -w0 >"$inst/USER/UID_QRT.FIL"
printf 'changed by the user\r\n' >"$inst/USER/ZORAX.INI"
mkdir -p "$inst/DLV/RESULT"
printf '[SYSTEM]\r\ndlv_type=0\r\n' >"$inst/DLV/CONFIG.INI"
printf 'result\r\n' >"$inst/DLV/RESULT/00001.FIL"

# An upgrade with the start-up shortcut replaces the programs, keeps the data.
msi /i "$(e2e_winpath "$E2E_TMP/x64-next.msi")" STARTUP=1 /qn || e2e_fail "the upgrade failed"
[ -f "$inst/qrt000.exe" ] || e2e_fail "upgrade: no qrt000.exe"
[ "$(cat "$inst/USER/ZORAX.INI")" = $'changed by the user\r' ] || e2e_fail "upgrade: ZORAX.INI overwritten"
[ -s "$inst/USER/UID_QRT.FIL" ] && [ -f "$inst/DLV/RESULT/00001.FIL" ] && [ -f "$inst/DLV/CONFIG.INI" ] ||
  e2e_fail "upgrade: the user's files are gone"
[ -f "$startup_dir/QRT_SDI.lnk" ] || e2e_fail "upgrade: no start-up shortcut with STARTUP=1"
link=$(e2e_ui link "$(e2e_winpath "$startup_dir/QRT_SDI.lnk")" | tr -d '\r') ||
  e2e_fail "cannot read the start-up shortcut"
printf '%s\n' "$link" >"$E2E_ARTIFACTS/startup-shortcut.txt"
for want in $'arguments\tS' $'description\tOrvanta SDI' $'show\t1'; do
  grep -qF "$want" <<<"$link" || e2e_fail "start-up shortcut: no $want in $link"
done
# A package's shortcut takes its icon from the package's icon table: a copy of
# qrt000.exe kept by the installer; index 2 is the same picture.
grep -qP '^icon\t.*(qrt000\.exe|\\qrt000\.ico),2$' <<<"$link" || e2e_fail "start-up shortcut: icon: $link"
# Two products of one upgrade code never stay side by side.
e2e_bounded 30 "$QRT_WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  tr -d '\r' | grep -c 'DisplayName.*Orvanta SDI' >"$E2E_TMP/products" || true
[ "$(cat "$E2E_TMP/products")" -le 1 ] || e2e_fail "upgrade: the old product is still installed"

# Uninstall: the programs and shortcuts go, the user's data stays.
msi /x "$(e2e_winpath "$E2E_TMP/x64-next.msi")" /qn || e2e_fail "the uninstall failed"
[ ! -e "$inst/qrt000.exe" ] && [ ! -e "$inst/qrt100.exe" ] || e2e_fail "uninstall: the programs stay"
[ ! -e "$menu_lnk" ] && [ ! -e "$startup_dir/QRT_SDI.lnk" ] || e2e_fail "uninstall: a shortcut stays"
[ -f "$inst/USER/ZORAX.INI" ] && [ -s "$inst/USER/UID_QRT.FIL" ] && [ -f "$inst/DLV/RESULT/00001.FIL" ] ||
  e2e_fail "uninstall: the user's data is gone"

# Asked for: the data goes too.
msi /i "$(e2e_winpath "$E2E_TMP/x64.msi")" /qn || e2e_fail "the second install failed"
msi /x "$(e2e_winpath "$E2E_TMP/x64.msi")" REMOVEDATA=1 /qn || e2e_fail "the uninstall with REMOVEDATA failed"
[ ! -e "$inst/USER" ] && [ ! -e "$inst/DLV" ] || e2e_fail "REMOVEDATA=1: the data stays: $(ls -R "$inst")"
