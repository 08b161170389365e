#pragma once
// What the player knows of an audio file: its tags, its length and its bit rate.

#include <map>
#include <string>

namespace standin {

struct track_metadata {
    // Tag texts in UTF-8 by lower-case field name: artist, title, album, tracknumber, date,
    // genre. Empty tags are left out.
    std::map<std::string, std::string> tags;
    double length = 0.0;  // seconds; 0 when unknown
    int bitrate = 0;      // kbit/s; 0 when unknown
};

// Reads the file's tags and audio properties. A file that cannot be read as audio gives empty
// metadata. On Windows tags come from ID3v2 blocks only and the bit rate stays unknown.
track_metadata read_track_metadata(const std::string& native_path);

}  // namespace standin
