// Where the keeper's database and the viewer's files are when no option names them.
#pragma once

#include <string>

namespace keeper {

// $XDG_STATE_HOME/dosebridge/readings.sqlite3, or ~/.local/state/... when unset.
std::string DefaultDatabasePath();

// The installed share folder next to the executable, the compiled-in one, or
// the source tree's web/ when the executable lives in its build tree; empty
// when none holds the viewer.
std::string DefaultWebDir();

}  // namespace keeper
