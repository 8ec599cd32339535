// Desktop dialogs for the POSIX build, through zenity or kdialog on PATH.
#pragma once

#include <string>

#include "common/failure.h"

enum class DialogKind { open_input, save_output };

enum class DialogOutcome {
    chosen,       // *path holds the chosen file
    cancelled,    // the user cancelled
    unavailable,  // no display or no dialog program: nothing was shown
    failed        // the dialog program failed; *failure says how
};

// Shows the file chooser titled "Data to transform" with the filter list of
// its kind; the save chooser asks before replacing a file. The program's
// cancel status is a cancel only while a display can be reached; any other
// end without a name (another status, a signal, no start) is a failure.
DialogOutcome run_file_dialog(DialogKind kind, std::string* path, std::string* failure);

// Shows a failure in a desktop message box, when one can be shown.
void show_desktop_message(const FailureMessage& message);
