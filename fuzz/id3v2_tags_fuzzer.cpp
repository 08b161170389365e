// Random bytes as the ID3v2 block at the start of an audio file. Every text that comes out must
// be valid, non-empty UTF-8; the sanitizers catch any read past the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "standin/player/id3v2_tags.h"
#include "support/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& [name, text] : standin::parse_id3v2(bytes)) {
        if (text.empty() || tessel::utf8_replace_invalid(text) != text) {
            std::fprintf(stderr, "tag %s is empty or not UTF-8\n", name.c_str());
            std::abort();
        }
    }
    return 0;
}
