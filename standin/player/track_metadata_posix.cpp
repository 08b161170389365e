// Tags and durations read with TagLib.

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "standin/player/track_metadata.h"

namespace standin {
namespace {

void add_tag(track_metadata& metadata, const char* name, const TagLib::String& text) {
    if (!text.isEmpty()) {
        metadata.tags[name] = text.to8Bit(true);
    }
}

}  // namespace

track_metadata read_track_metadata(const std::string& native_path) {
    track_metadata metadata;
    TagLib::FileRef file(native_path.c_str(), true, TagLib::AudioProperties::Average);
    if (file.isNull()) {
        return metadata;
    }
    if (const TagLib::Tag* tag = file.tag(); tag != nullptr) {
        add_tag(metadata, "artist", tag->artist());
        add_tag(metadata, "title", tag->title());
        add_tag(metadata, "album", tag->album());
        add_tag(metadata, "genre", tag->genre());
        if (tag->track() != 0) {
            metadata.tags["tracknumber"] = std::to_string(tag->track());
        }
        if (tag->year() != 0) {
            metadata.tags["date"] = std::to_string(tag->year());
        }
    }
    if (const TagLib::AudioProperties* audio = file.audioProperties(); audio != nullptr) {
        metadata.length = audio->lengthInMilliseconds() / 1000.0;
        metadata.bitrate = audio->bitrate();
    }
    return metadata;
}

}  // namespace standin
