// The desktop's stand-ins for the shell: opening a file with its default program and showing a
// file in the file manager. Both return at once; a missing handler is not reported.
#pragma once

#include <QString>

namespace quillet::ui {

// Opens `path` with the program the desktop associates with it.
void openWithDefaultHandler(const QString& path);

// Shows the folder of `path` in a file manager, with the file selected when the file manager
// found on this machine can select one (Nautilus, Dolphin, Nemo, Caja); otherwise the folder
// opens with the desktop's default handler.
void showInFolder(const QString& path);

}  // namespace quillet::ui
