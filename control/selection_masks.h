#pragma once
// Selection masks handed to the player's playlist operations: which items an operation means.

#include <cstddef>

#include "corvina/services.h"

namespace tessel {

// Every item.
class all_items_mask final : public corvina::selection_mask {
  public:
    bool get(std::size_t index) const override;
    std::size_t find(bool value, std::size_t start, std::ptrdiff_t count) const override;
};

// Exactly one item. Indexes compare as unsigned numbers.
class one_item_mask final : public corvina::selection_mask {
  public:
    explicit one_item_mask(std::size_t item) : item_(item) {}

    bool get(std::size_t index) const override;
    std::size_t find(bool value, std::size_t start, std::ptrdiff_t count) const override;

  private:
    std::size_t item_;
};

// The same answer for every item.
class constant_mask final : public corvina::selection_mask {
  public:
    explicit constant_mask(bool value) : value_(value) {}

    bool get(std::size_t index) const override;
    std::size_t find(bool value, std::size_t start, std::ptrdiff_t count) const override;

  private:
    bool value_;
};

}  // namespace tessel
