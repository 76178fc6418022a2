// When the new-arrivals dialog appears (the display decision), and what its
// controls show and do, as plain functions over the loaded result in zrsdi. The
// Windows dialog binds its controls to them.
#pragma once

#include <cstddef>
#include <cstdint>

// The display decision on the main thread: asked is true for the tray command
// "ＳＤＩ 最新情報", false for the timer. 1 when there is nothing to show, else 0
// (the dialog may have been shown modally meanwhile).
int sdi_disp_chk(bool asked);

namespace checker {

// Runs the new-arrivals dialog modally, holding it in zrsdi->open_dialog while
// it is open. The Windows program installs its dialog; returns the previous.
using DialogFn = void (*)();
DialogFn dialog_set(DialogFn fn);

// Whether the tray command "ＳＤＩ 最新情報" is enabled.
bool latest_enabled();

// ---- the dialog's contents ------------------------------------------------------

// The dialog has opened for the loaded result.
void nad_opened();
// "新着確認" on list row i (-1: none selected): writes the page address and
// returns true when it is to be opened (the request is then marked viewed);
// otherwise the reason has been shown and false is returned (sdi_view_open).
bool nad_open(int i, char* url, std::size_t cap);
// "閉じる": zero-hit requests count as viewed; disp_first from the check box and
// the settings are stored, then the viewed flags of the newest result.
void nad_close(bool disp_first);

}  // namespace checker
