#pragma once
// The record the player fills when it reads a track's information, and the reading of its
// numeric text fields.

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "corvina/services.h"
#include "support/string8.h"

namespace tessel {

class track_info_record final : public corvina::info_record {
  public:
    void reset() override;
    void set_length(double seconds) override { length_ = seconds; }
    void add_meta(const char* name, const char* value) override;
    void add_technical(const char* name, const char* value) override;

    double length() const { return length_; }
    // The value of the first technical field of that name, ASCII letters compared without
    // regard to case.
    std::optional<std::string_view> find_technical(std::string_view name) const;

  private:
    using field = std::pair<string8, string8>;

    double length_ = 0.0;
    std::vector<field> meta_;
    std::vector<field> technical_;
};

// Reads a decimal number at the start of text as the C library's strtoll does in the "C"
// locale: leading white space, an optional sign, digits up to the first other character;
// 0 when there are no digits; values out of range saturate.
std::int64_t read_leading_integer(std::string_view text);

}  // namespace tessel
