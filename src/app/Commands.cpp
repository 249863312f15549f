// The main window's command table: one row per menu item, shortcut and context-menu entry, in
// menu order. The controllers of the window areas bind the handlers (see CommandTable.h).
#include "app/CommandTable.h"

namespace {
const CommandRow kCommands[] = {
    // id                  menu     caption                        shortcut  modes         states        checkable
    {"file.quit",          "File",  "Quit",                        "",       kInBothModes, kInAnyState,  false},
    {"setup.useSSE",       "Setup", "Use SSE DSP Instructions",    "",       kInBothModes, kInAnyState,  true},
};
} // namespace

const CommandRow* MainWindowCommands(size_t& count) {
    count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}
