#pragma once
// Paths as they are, whatever their length. In its ordinary form Windows trims the dots and
// spaces that end a name ("Live." is reached as "Live") and reaches no path longer than
// MAX_PATH (260) unless the process opted into long paths; the \\?\ form is taken as it is, so
// it is made only of a clean absolute path: backslashes, no "." or ".." steps.

#include "support/string8.h"

namespace tessel {

// Windows: the \\?\ form (\\?\UNC\ for a share) of a clean absolute path, whatever its length;
// any other path as it is. POSIX: the path as it is.
string8 long_path_form(const string8& path);

}  // namespace tessel
