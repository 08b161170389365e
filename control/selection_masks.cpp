#include "control/selection_masks.h"

namespace tessel {

namespace {

// start + count, wrapping as the player's unsigned indexes do.
std::size_t scan_end(std::size_t start, std::ptrdiff_t count) {
    return start + static_cast<std::size_t>(count);
}

}  // namespace

bool all_items_mask::get(std::size_t /*index*/) const {
    return true;
}

std::size_t all_items_mask::find(bool value, std::size_t start, std::ptrdiff_t count) const {
    return value ? start : scan_end(start, count);
}

bool one_item_mask::get(std::size_t index) const {
    return index == item_;
}

std::size_t one_item_mask::find(bool value, std::size_t start, std::ptrdiff_t count) const {
    if (count == 0) {
        return start;
    }
    const std::size_t end = scan_end(start, count);
    if (value) {
        const bool in_range = count > 0 ? (item_ >= start && item_ < end)   // upwards
                                        : (item_ <= start && item_ > end);  // downwards
        return in_range ? item_ : end;
    }
    if (start != item_) {
        return start;
    }
    return count > 0 ? start + 1 : start - 1;
}

bool constant_mask::get(std::size_t /*index*/) const {
    return value_;
}

std::size_t constant_mask::find(bool value, std::size_t start, std::ptrdiff_t count) const {
    return value == value_ ? start : scan_end(start, count);
}

}  // namespace tessel
