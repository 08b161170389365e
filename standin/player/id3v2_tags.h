#pragma once
// The text tags of an ID3v2 block (versions 2.2 to 2.4), the tag MP3 files carry at their start
// and WAV files in a chunk of their own. Every byte is untrusted: a truncated or broken block
// gives what its whole frames hold, never more.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace standin {

// Tag texts in UTF-8 by lower-case field name, as in track_metadata: artist, title, album,
// genre, tracknumber and date (the leading number of the track and of the date). Empty texts
// are left out; the first frame of a field wins.
using tag_fields = std::map<std::string, std::string>;

// The tags of the ID3v2 block that starts at bytes[0]; empty when bytes start no such block.
tag_fields parse_id3v2(std::string_view bytes);

// The tags of the file's ID3v2 block: at its start, or in the "id3 " chunk of a RIFF WAVE file.
// Empty when the file has none or cannot be read.
tag_fields read_id3v2_file(const std::filesystem::path& file);

}  // namespace standin
