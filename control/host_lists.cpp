#include "control/host_lists.h"

#include "support/boundary.h"

namespace tessel {

bool first_track_callback::on_item(std::size_t /*index*/, corvina::track* item, bool /*selected*/) {
    // Taking the new reference before dropping the old one keeps a repeated track alive.
    track_ = service_ptr<corvina::track>(item);
    return false;
}

const char* single_location_list::get_item(std::size_t /*index*/) const {
    return location_.c_str();
}

corvina::track* owned_track_list::get_item(std::size_t index) const {
    return index < tracks_.size() ? tracks_[index].get() : nullptr;
}

// The player fills the list: a track that cannot be stored is dropped with an error line.
void owned_track_list::add_item(corvina::track* item) {
    if (item != nullptr) {
        guard_boundary([&] { tracks_.emplace_back(item); });
    }
}

}  // namespace tessel
