#include "protocol/folder_identity.h"

#include <atomic>

namespace tessel {

namespace {

std::atomic<folder_identifier> identifier{identify_folder};

}  // namespace

std::optional<folder_identity> known_folder_identity(const string8& path) {
    std::optional<folder_identity> identity = identifier.load()(path);
    if (identity && !identity->is_known()) {
        return std::nullopt;
    }
    return identity;
}

void use_folder_identifier(folder_identifier identify) {
    identifier.store(identify != nullptr ? identify : identify_folder);
}

}  // namespace tessel
