#pragma once
// Folder paths of any length. Windows reaches a path longer than MAX_PATH (260) only in its
// \\?\ form, unless the process opted into long paths; that form is taken as it is, so it is
// made only of a clean absolute path: backslashes, no "." or ".." steps.

#include "support/string8.h"

namespace tessel {

// Windows: the \\?\ form (\\?\UNC\ for a share) of a long absolute path; any other path as it
// is. POSIX: the path as it is.
string8 long_path_form(const string8& path);

}  // namespace tessel
