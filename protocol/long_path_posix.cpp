#include "protocol/long_path.h"

namespace tessel {

string8 long_path_form(const string8& path) {
    return path;
}

}  // namespace tessel
