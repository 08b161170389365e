// The Windows stand-in has no tag reader: titles come from file names, lengths are unknown.

#include "standin/player/track_metadata.h"

namespace standin {

track_metadata read_track_metadata(const std::string& /*native_path*/) {
    return {};
}

}  // namespace standin
