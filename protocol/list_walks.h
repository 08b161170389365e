#pragma once
// The LIST folder walks of one link. Each LIST walks the music folders on a thread of its own,
// at a raised priority, and hands its listing whole to the link's writer. A LIST asked while
// another walk runs waits for it on its own thread, never on the caller's, so the listings go
// out whole and in the order they were asked for while the player's main thread runs on.
//
// A walk can be stopped without waiting for the file system: one stopped inside a directory
// call that does not return (a share that has gone away) is let go, ends by itself when the
// call returns and sends nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "support/string8.h"

namespace tessel {

class reply_writer;

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

    // Starts a walk of the music-folder setting, whose listing is for the given opening of the
    // connection. Logs and drops the LIST when no thread can be started.
    void start(string8 music_folders, std::uint64_t for_opening);

    // Waits until every walk started so far has handed its listing over.
    void wait_all();

    // Tells every walk to stop and waits, through wait, only until each has ended or sits in a
    // call into the file system; those are let go. No listing of theirs reaches the writer
    // after this returns.
    void stop(const waiter& wait);

  private:
    struct walk;
    class shared;

    void forget_ended();

    reply_writer& writer_;
    std::shared_ptr<shared> shared_;
    std::vector<std::unique_ptr<walk>> walks_;  // oldest first
};

}  // namespace tessel
