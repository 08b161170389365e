#pragma once
// The player's title-format language: a script mixes literal text with fields and functions and
// is compiled once, then applied to any number of tracks.
//
//   %artist%  %title%  %album%  %tracknumber%  %date%  %genre%       tags of the track
//   %_filename%  %_filename_ext%  %_path%  %_length%                 taken from the file
//   $if(cond,then[,else])  $if2(a,else)  $if3(a1,...,an,else)
//   $left(text,n)  $upper(text)  $lower(text)
//   [ ... ]   a section: shown only when every field inside it is present
//   'text'    quoted literal text (no special characters inside; '' is one quote)
//
// A field that is missing shows as "?" and counts as false in conditions. Spaces around
// function arguments are not part of them (quote them to keep them). Field names are
// case-insensitive. A script that does not compile formats every track as a short text naming
// the fault, so a bad script shows instead of crashing or printing nothing.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

// Answers a field's text, or nothing when the track lacks it.
using field_lookup = std::function<std::optional<std::string>(std::string_view name)>;

struct title_node;

class compiled_title_format {
  public:
    // Compiles a script; never throws for a malformed one (see ok()).
    static compiled_title_format compile(std::string_view script);

    bool ok() const { return error_.empty(); }
    // The fault of a script that did not compile, with its 1-based column.
    const std::string& error() const { return error_; }

    std::string format(const field_lookup& fields) const;

  private:
    std::shared_ptr<const title_node> root_;
    std::string error_;
};

}  // namespace standin
