#pragma once

#include <QIcon>

namespace vellaro {

// The 16 x 16 pictures of the main window's commands, by index: 0 add, 1 delete, 2 exit,
// 3 list row, 4 About, 5 edit, 6 keyboard (unused), 7 transparency.
QIcon commandIcon(int index);
// The list row picture of a postponed reminder (one snoozing an alarm added): a small alarm clock.
QIcon postponedRowIcon();

// The mark of a row whose date or time the current regional settings never produce: a warning
// sign in place of the row's picture.
QIcon unreadableRowIcon();

// The program's monogram: executable, windows without an icon of their own, tray. Drawn with a
// one-pixel white ring around its shape, so that it stands out on dark panels as on light ones.
QIcon programIcon();
// The same picture cut to 85 x 50, the entry editor's window icon.
QIcon editorIcon();

// The pictures of the entry editor's buttons: a green check mark and a red cross.
QIcon okButtonIcon();
QIcon cancelButtonIcon();

} // namespace vellaro
