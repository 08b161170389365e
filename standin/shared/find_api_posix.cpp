// Directory searches over POSIX folders, answering as the Windows search does: "." and ".."
// are entries, folders carry the attribute bit 0x10, a backslash separates folders too, and
// names are UTF-8 (a POSIX name is any bytes; those that are not UTF-8 become U+FFFD).

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "corvina/shared.h"
#include "standin/shared/directory_listing_posix.h"
#include "standin/shared/slow_share.h"

namespace {

using corvina::posix::directory_entry;
using corvina::posix::directory_listing;

// The whole listing is read when the search starts, so no folder stays open while the caller
// works through it. Sizes are looked up when asked for, once per entry.
class listed_search final : public corvina::find_file {
  public:
    listed_search(std::string folder, directory_listing listing)
        : folder_(std::move(folder)), listing_(std::move(listing)) {}

    bool next() override {
        if (at_ + 1 >= listing_.entries().size()) {
            return false;
        }
        ++at_;
        return true;
    }
    const char* get_name() const override { return listing_.name(current()); }
    std::uint64_t get_size() const override {
        directory_entry& entry = listing_.entries()[at_];
        if (!entry.size) {
            entry.size = corvina::posix::entry_size(folder_, listing_, entry);
        }
        return *entry.size;
    }
    std::uint32_t get_attributes() const override { return current().attributes; }
    void destroy() override { delete this; }

  private:
    ~listed_search() = default;

    const directory_entry& current() const { return listing_.entries()[at_]; }

    std::string folder_;
    mutable directory_listing listing_;
    std::size_t at_ = 0;
};

}  // namespace

corvina::find_file* uFindFirstFile(const char* pattern) {
    if (pattern == nullptr) {
        return nullptr;
    }
    corvina::standin_shared::wait_as_a_slow_share();
    std::string path(pattern);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    const std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : path.substr(0, slash);
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (last.empty()) {
        return nullptr;
    }
    try {
        std::optional<directory_listing> listing = last == "*" || last == "*.*"
                                                       ? corvina::posix::list_directory(folder)
                                                       : corvina::posix::describe_path(path, last);
        if (!listing || listing->entries().empty()) {
            return nullptr;
        }
        return new listed_search(std::move(folder), std::move(*listing));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
