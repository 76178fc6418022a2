#!/usr/bin/env bash
# The UI driver and the end-to-end harness against the driver's demo program:
# a system-modal Shift-JIS message box, a window with a list view, an edit field,
# a disabled and an enabled button, a dialog with combo boxes, check boxes and
# limited edits, a shortcut read back field by field, the Startup folder, and a
# page opened through the browser hook.
# usage: uidriver_selftest.sh BUILD_DIR UIDRIVER_EXE DEMO_EXE
set -euo pipefail
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR UIDRIVER_EXE DEMO_EXE" >&2; exit 2; }
e2e_init uidriver_selftest "$1" "$2"
demo=$3

inst=$(e2e_new_install)
e2e_install "$demo" "$inst" DEMO.EXE

# Message box: title, Shift-JIS text with its line break and a 0x5C trail byte,
# Japanese button captions; pressing いいえ answers IDNO (7).
e2e_start "$inst" "$inst/DEMO.EXE" box
box=$E2E_PID
e2e_ui wait QRTDEMO 30 || e2e_fail "the message box did not appear"
texts=$(e2e_ui texts QRTDEMO) || e2e_fail "texts failed"
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/box-texts.txt"
grep -qF 'ドライブ又はフォルダーがありません。\nC:\ZORAX\表示' <<<"$texts" ||
  e2e_fail "message text not read: $texts"
grep -qP '^Button\t\d+\t-\tいいえ' <<<"$texts" || e2e_fail "no いいえ button: $texts"
e2e_shot QRTDEMO box
if e2e_ui click QRTDEMO 存在しない 2>/dev/null; then e2e_fail "clicked a missing button"; fi
e2e_ui click QRTDEMO いいえ || e2e_fail "click いいえ failed"
e2e_ui gone QRTDEMO 10 || e2e_fail "the box stayed"
e2e_wait_exit "$box" 20 || e2e_fail "the program did not end after いいえ"
[ "$E2E_STATUS" -eq 7 ] || e2e_fail "box answered $E2E_STATUS, expected 7 (IDNO)"

# Waiting for a window that never comes times out with status 1, in time.
start=$SECONDS
if e2e_ui wait 'QRTDEMO 無い' 2; then e2e_fail "wait found a missing window"; fi
((SECONDS - start < 20)) || e2e_fail "wait did not time out in time"

# A window with a list view: rows and columns in Shift-JIS, read through memory in
# the program's process; selecting a row notifies the program.
e2e_start "$inst" "$inst/DEMO.EXE" list
win=$E2E_PID
title='QRTDEMO 一覧'
e2e_ui wait "$title" 30 || e2e_fail "the list window did not appear"
rows=$(e2e_ui list "$title" 1001) || e2e_fail "list failed"
expected=$'00001\t商標公報 第一類\t12\n00002\tＡＢＣ＼表示\t―\n00003\tplain ascii\t0'
[ "$rows" = "$expected" ] || e2e_fail "list rows differ: $(printf '%q' "$rows")"
[ "$(e2e_ui list "$title")" = "$expected" ] || e2e_fail "list without id differs"
if e2e_ui list "$title" 999 2>/dev/null; then e2e_fail "list found a missing control id"; fi
columns=$(e2e_ui columns "$title" 1001 | tr -d '\r') || e2e_fail "columns failed"
[ "$columns" = $'60\t番号\n260\t検索式\n80\t件数' ] || e2e_fail "columns: $(printf '%q' "$columns")"
e2e_ui select "$title" 1 || e2e_fail "select failed"
texts=$(e2e_ui texts "$title") || e2e_fail "texts failed"
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/list-texts.txt"
grep -qP '^Edit\t1002\t-\t編集テキスト$' <<<"$texts" || e2e_fail "edit text not read: $texts"
grep -qP '^Static\t1004\t-\t選択: 1$' <<<"$texts" || e2e_fail "selection not seen: $texts"
grep -qP '^Button\t1003\tdisabled\t無効$' <<<"$texts" || e2e_fail "disabled flag missing: $texts"
e2e_shot "$title" list
e2e_shot - screen
# Each screenshot is a PNG showing something (not one flat colour).
for shot in box list screen; do
  colours=$(identify -format '%k' "$E2E_ARTIFACTS/$shot.png" 2>/dev/null) ||
    e2e_fail "screenshot $shot.png missing"
  ((colours > 2)) || e2e_fail "screenshot $shot.png is blank"
done
if e2e_ui click "$title" 無効 2>/dev/null; then e2e_fail "clicked a disabled button"; fi
e2e_running "$win" || e2e_fail "the window ended on a disabled button"
e2e_ui click "$title" 閉じる || e2e_fail "click 閉じる failed"
e2e_wait_exit "$win" 20 || e2e_fail "the list window did not end"
[ "$E2E_STATUS" -eq 42 ] || e2e_fail "list window ended with $E2E_STATUS, expected 42"

# close asks a window to close as its title-bar button would.
e2e_start "$inst" "$inst/DEMO.EXE" list
win=$E2E_PID
e2e_ui wait "$title" 30 || e2e_fail "the list window did not appear again"
e2e_ui close "$title" || e2e_fail "close failed"
e2e_wait_exit "$win" 20 || e2e_fail "the window did not close"
[ "$E2E_STATUS" -eq 3 ] || e2e_fail "closed window ended with $E2E_STATUS, expected 3"

# refuse ARGS...: the driver must fail on that command.
refuse() {
  if e2e_ui "$@" 2>/dev/null; then e2e_fail "uidriver $* succeeded"; fi
}

# A dialog with the controls of the launcher's settings dialogs: drop-down lists of
# Shift-JIS items (one disabled), an automatic and a plain check box, and two edits
# limited to 8 characters, one of them a password edit. 保存 writes what the dialog
# saw: per control how often it notified and the state it read then, and the texts.
e2e_start "$inst" "$inst/DEMO.EXE" form "$(e2e_winpath "$inst")\\form.txt"
dlg=$E2E_PID
title='QRTDEMO 設定'
e2e_ui wait "$title" 30 || e2e_fail "the form did not appear"
items=$(e2e_ui combo "$title" 2001) || e2e_fail "combo failed"
[ "$items" = $' 起動しない\n*12:30\n 表示のみ\n ソフト 00:00' ] ||
  e2e_fail "combo items differ: $(printf '%q' "$items")"
[ "$(e2e_ui combo "$title" 2002)" = '*固定' ] || e2e_fail "the disabled combo box was not read"
e2e_ui combo "$title" 2001 2 || e2e_fail "combo select failed"
items=$(e2e_ui combo "$title" 2001) || e2e_fail "combo failed"
[ "$items" = $' 起動しない\n 12:30\n*表示のみ\n ソフト 00:00' ] ||
  e2e_fail "the selection did not move: $(printf '%q' "$items")"

# The automatic check box set both ways; setting the state it has is no click.
[ "$(e2e_ui check "$title" 2003)" = 0 ] || e2e_fail "the check box does not start unchecked"
for v in 1 1 0 1; do
  e2e_ui check "$title" 2003 $v || e2e_fail "check 2003 $v failed"
  [ "$(e2e_ui check "$title" 2003)" = $v ] || e2e_fail "check 2003 does not read $v"
done
# The plain check box is turned over by the program on BN_CLICKED.
e2e_ui check "$title" 2004 1 || e2e_fail "check 2004 1 failed"
[ "$(e2e_ui check "$title" 2004)" = 1 ] || e2e_fail "check 2004 does not read 1"

# Typing empties the edit first; the edit's limit of 8 keeps 8 of 9 characters.
e2e_ui type "$title" 2005 'ＡＢ表示' || e2e_fail "type failed"
e2e_ui texts "$title" | grep -qP '^Edit\t2005\t-\tＡＢ表示$' || e2e_fail "Japanese text not typed"
e2e_ui type "$title" 2005 123456789 || e2e_fail "type failed"
e2e_ui type "$title" 2006 'pass 表' || e2e_fail "type into the password edit failed"
texts=$(e2e_ui texts "$title") || e2e_fail "texts failed"
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/form-texts.txt"
grep -qP '^Edit\t2005\t-\t12345678$' <<<"$texts" || e2e_fail "9 typed characters did not leave 8: $texts"
# Under Wine a password edit hands its real text to another process.
grep -qP '^Edit\t2006\t-\tpass 表$' <<<"$texts" || e2e_fail "password text not read: $texts"
e2e_shot "$title" form

# What a person could not do is refused, and reaches the program as nothing.
refuse combo "$title" 2001 4    # no such item
refuse combo "$title" 2001 -1
refuse combo "$title" 2001 x
refuse combo "$title" 2002 0    # disabled
refuse combo "$title" 2003      # a check box, not a combo box
refuse combo "$title" 999
refuse check "$title" 1 1       # the push button 保存, not a check box
refuse check "$title" 2003 2
refuse type "$title" 2001 abc   # a combo box, not an edit
e2e_running "$dlg" || e2e_fail "the form ended on a refused command"
e2e_ui click "$title" 保存 || e2e_fail "click 保存 failed"
e2e_wait_exit "$dlg" 20 || e2e_fail "the form did not end"
[ "$E2E_STATUS" -eq 42 ] || e2e_fail "the form ended with $E2E_STATUS, expected 42"
seen=$(e2e_sjis "$inst/form.txt") || e2e_fail "the form wrote nothing"
expected=$'when 1 2 表示のみ\nauto 3 1\nmanual 1 1\nid 12345678\npassword pass 表'
[ "$seen" = "$expected" ] || e2e_fail "the form saw $(printf '%q' "$seen")"

# A shortcut written through the ANSI shell-link interface, read back field by
# field; a file that is no shortcut, or none, is refused.
win_inst=$(e2e_winpath "$inst")
e2e_start "$inst" "$inst/DEMO.EXE" link "$win_inst\\起動.lnk"
e2e_wait_exit "$E2E_PID" 30 || e2e_fail "the link demo did not end"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "the link demo failed ($E2E_STATUS)"
fields=$(e2e_ui link "$win_inst\\起動.lnk") || e2e_fail "link failed"
printf '%s\n' "$fields" >"$E2E_ARTIFACTS/link.txt"
expected=$(printf '%s\t%s\n' target "$win_inst\\DEMO.EXE" arguments S folder "$win_inst" \
  description 'QRTDEMO 自動起動' icon "$win_inst\\DEMO.EXE,2" show 1)
[ "$fields" = "$expected" ] || e2e_fail "link fields differ: $(diff <(echo "$expected") <(echo "$fields"))"
refuse link "$win_inst\\DEMO.EXE"
refuse link "$win_inst\\無い.lnk"

# The Startup folder is a Windows path of a folder that exists in the prefix.
startup=$(e2e_ui folder startup) || e2e_fail "folder startup failed"
[[ "${startup,,}" == c:\\users\\*\\startup ]] || e2e_fail "not a Startup folder: $startup"
unix=${startup:3}
[ -d "$WINEPREFIX/drive_c/${unix//\\//}" ] || e2e_fail "$startup is no folder of the prefix"
refuse folder desktop

# The browser hook records the page a program opens.
urls=$E2E_TMP/urls.txt
e2e_set_browser "$urls"
url='http://127.0.0.1:8080/QRT_SDI.HTM?KD00=TM&RNO=00001'
e2e_start "$inst" "$inst/DEMO.EXE" url "$url"
e2e_wait_exit "$E2E_PID" 30 || e2e_fail "the url demo did not end"
e2e_wait_file "$urls" 20 || e2e_fail "no URL recorded"
grep -qxF "$url" "$urls" || e2e_fail "recorded URL differs: $(cat "$urls")"
