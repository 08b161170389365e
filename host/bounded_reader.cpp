#include "host/bounded_reader.h"

#include <algorithm>

#include "support/exceptions.h"

namespace tessel {

std::size_t bounded_reader::read(void* buffer, std::size_t count) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(count, remaining_));
    if (wanted == 0) {
        return 0;
    }
    // A source that claims more than it was asked for is not believed.
    const std::size_t got = std::min(source_.read(buffer, wanted, abort_), wanted);
    remaining_ -= got;
    return got;
}

void bounded_reader::read_exactly(void* buffer, std::size_t count) {
    if (read(buffer, count) != count) {
        throw exception_io_data_truncation();
    }
}

std::uint64_t bounded_reader::skip(std::uint64_t count) {
    constexpr std::size_t piece_size = 256;
    unsigned char piece[piece_size];
    std::uint64_t skipped = 0;
    while (skipped < count) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - skipped, piece_size));
        const std::size_t got = read(piece, wanted);
        skipped += got;
        if (got != wanted) {
            break;
        }
    }
    return skipped;
}

void bounded_reader::skip_exactly(std::uint64_t count) {
    if (skip(count) != count) {
        throw exception_io_data_truncation();
    }
}

}  // namespace tessel
