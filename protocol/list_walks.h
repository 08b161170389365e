#pragma once
// The LIST folder walks of one link. A walk lists the music folders on a thread of its own, at
// a raised priority, and hands its listing whole to the link's writer. At most one walk runs
// and one waits its turn, whatever the phone sends: a LIST asked while a walk waits joins it,
// and that walk's one listing is written once for each LIST that joined. The listings go out
// whole, in the order asked, and the player's main thread never waits for a walk.
//
// A walk can be stopped without waiting for the file system: one stopped inside a directory
// call that does not return (a share that has gone away) is let go, ends by itself when the
// call returns and sends nothing. Walks made for an earlier opening of the connection are
// stopped as soon as a LIST comes on a later one.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "support/module_thread.h"
#include "support/string8.h"

namespace tessel {

class file_system_gate;
class reply_writer;

namespace list_walk_detail {
struct walk;
class turns;
}  // namespace list_walk_detail

// The place after the listings of every LIST asked so far. A reply that begins with the same
// token waits there before it is handed to the writer, so that the phone never takes it for one
// of those listings.
class listing_turn {
  public:
    listing_turn() = default;

    // Waits until those listings have been handed over or dropped (their walks stopped). With a
    // gate, the wait counts as a call into the file system: whoever stops the caller does not
    // wait for it.
    void wait(file_system_gate* gate) const;

  private:
    friend class list_walks;
    std::shared_ptr<const list_walk_detail::walk> last_;
    std::shared_ptr<list_walk_detail::turns> turns_;
};

class list_walks {
  public:
    // Waits until done() answers true, for example serving the calling thread's messages.
    using waiter = std::function<void(const std::function<bool()>& done)>;

    // The writer must outlive every walk that is not let go.
    explicit list_walks(reply_writer& writer);
    list_walks(const list_walks&) = delete;
    list_walks& operator=(const list_walks&) = delete;
    // Lets every walk run to its end.
    ~list_walks();

    // A LIST of the music-folder setting, for the given opening of the connection: joins the
    // walk that waits its turn (which then lists this setting), or starts a walk. Never waits:
    // when no walk can be started (no memory, no thread) the LIST is dropped with one error
    // line, and nothing of it is written.
    void start(string8 music_folders, std::uint64_t for_opening) noexcept;

    // Where a reply asked now, on the given opening, waits so as not to overtake the listings
    // asked before it. Walks of an earlier opening are stopped first: it never waits for them.
    listing_turn after_listings_asked(std::uint64_t for_opening);

    // Waits until every walk started so far has handed its listing over.
    void wait_all();

    // Tells every walk to stop and waits, through wait, only until each has ended or sits in a
    // call into the file system; those are let go. No listing of theirs reaches the writer
    // after this returns.
    void stop(const waiter& wait);

  private:
    struct started {
        std::shared_ptr<list_walk_detail::walk> state;
        module_thread thread;
    };

    void forget_ended();
    void stop_earlier_openings(std::uint64_t opening);
    // The walk a new one waits for: the last one still to hand its listing over.
    std::shared_ptr<list_walk_detail::walk> last_live() const;

    reply_writer& writer_;
    std::shared_ptr<list_walk_detail::turns> turns_;
    std::vector<started> walks_;  // oldest first
};

}  // namespace tessel
