// Desktop dialogs for the POSIX build, through zenity or kdialog on PATH.
#pragma once

#include <string>

#include "common/failure.h"

enum class DialogKind { open_input, save_output };

enum class DialogOutcome {
    chosen,      // *path holds the chosen file
    cancelled,   // the user cancelled (or the dialog program failed)
    unavailable  // no display or no dialog program: nothing was shown
};

// Shows the file chooser titled "Data to transform" with the filter list of
// its kind; the save chooser asks before replacing a file.
DialogOutcome run_file_dialog(DialogKind kind, std::string* path);

// Shows a failure in a desktop message box, when one can be shown.
void show_desktop_message(const FailureMessage& message);
