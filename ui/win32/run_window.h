// runWindow: qlupdate.exe's window mode. Creates the window, lets the session run phase 1 before
// the window is first shown, then runs the message loop until the program is asked to end.
#pragma once

#include "app/options.h"

namespace app {
class TfrmAutoUpdate;
}

namespace ui::win32 {

class UpdaterWindow;

// Gives the program's exit code.
int runWindow(const app::UpdaterOptions& options);

// Connects the window's controls to the session's handlers ("Avanti", "Esci"/"Fine", iPathFAIL).
void connectSession(UpdaterWindow& window, app::TfrmAutoUpdate& session);

}  // namespace ui::win32
