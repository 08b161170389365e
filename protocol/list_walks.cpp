#include "protocol/list_walks.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <utility>

#include "protocol/file_system_gate.h"
#include "protocol/folder_tree.h"
#include "protocol/reply_writer.h"
#include "protocol/thread_priority.h"
#include "support/log.h"

namespace tessel {

namespace list_walk_detail {

// One walk, shared by the list, its thread and the replies that wait for it, so that a walk let
// go still has it.
struct walk {
    walk(std::uint64_t opening, string8 folders)
        : for_opening(opening), music_folders(std::move(folders)) {}

    // Its listing has been handed over, or never will be.
    bool is_done() const { return gate.has_ended() || gate.stop_requested(); }

    file_system_gate gate;
    const std::uint64_t for_opening;
    // Until the walk begins, under the turns' lock: the setting to list and the LISTs to answer.
    string8 music_folders;
    std::uint32_t asked = 1;
    bool begun = false;
};

// Where walks and replies wait for the walk before them, or for their own stop.
class turns {
  public:
    void notify() {
        { const std::lock_guard<std::mutex> lock(mutex_); }
        changed_.notify_all();
    }

    // Waits until before is done, then begins own, taking what it lists and for how many
    // LISTs. False when own was told to stop first.
    bool begin(const walk* before, walk& own, string8& folders, std::uint32_t& asked) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
            return before == nullptr || before->is_done() || own.gate.stop_requested();
        });
        if (own.gate.stop_requested()) {
            return false;
        }
        own.begun = true;
        folders = std::move(own.music_folders);
        asked = own.asked;
        return true;
    }

    // A LIST joins a walk that has not begun: it then lists the latest setting. False when it
    // has begun.
    bool join(walk& waiting, string8& folders) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (waiting.begun) {
            return false;
        }
        std::swap(waiting.music_folders, folders);
        ++waiting.asked;
        return true;
    }

    void wait_until_done(const walk& awaited) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return awaited.is_done(); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace list_walk_detail

using list_walk_detail::walk;

namespace {

// Walks the folders and hands the listing over, once for each LIST asked, unless the walk is
// stopped first. Nothing may leave the thread: a failed walk ends quietly after saying why.
void walk_into_reply(file_system_gate& gate, reply_writer& writer, const string8& folders,
                     std::uint64_t for_opening, std::uint32_t asked) {
    try {
        reply_buffer reply = start_listing_reply();
        walk_music_folders(reply, folders, &gate);
        if (!gate.stop_requested()) {
            end_listing_reply(reply);
            if (!reply.is_whole()) {
                throw std::bad_alloc();  // never sent with folders missing
            }
            writer.submit(std::move(reply), for_opening, asked);
        }
    } catch (const std::exception& error) {
        if (!gate.stop_requested()) {
            log_error(error.what());
        }
    } catch (...) {
        if (!gate.stop_requested()) {
            log_error("Folder listing failed.");
        }
    }
}

}  // namespace

void listing_turn::wait(file_system_gate* gate) const {
    if (last_ == nullptr) {
        return;
    }
    gated_calls(gate).run([this] {
        turns_->wait_until_done(*last_);
        return true;
    });
}

list_walks::list_walks(reply_writer& writer)
    : writer_(writer), turns_(std::make_shared<list_walk_detail::turns>()) {}

list_walks::~list_walks() {
    wait_all();
}

void list_walks::start(string8 music_folders, std::uint64_t for_opening) noexcept {
    try {
        forget_ended();
        stop_earlier_openings(for_opening);
        std::shared_ptr<walk> before = last_live();
        if (before != nullptr && turns_->join(*before, music_folders)) {
            return;
        }
        auto own = std::make_shared<walk>(for_opening, std::move(music_folders));
        // Room first: once the thread runs, storing it cannot fail, so that no failure here
        // ever has to wait for a thread that waits for the walk before it.
        walks_.reserve(walks_.size() + 1);
        module_thread thread([own, before = std::move(before), turns = turns_, &writer = writer_] {
            raise_current_thread_priority();
            // Past a stop the walk touches only what it holds: its state, the turns and its
            // own listing.
            string8 folders;
            std::uint32_t asked = 0;
            if (turns->begin(before.get(), *own, folders, asked)) {
                walk_into_reply(own->gate, writer, folders, own->for_opening, asked);
            }
            own->gate.mark_ended();
            turns->notify();
        });
        walks_.push_back({std::move(own), std::move(thread)});
    } catch (const std::exception& error) {
        log_error(error.what());
    } catch (...) {
        log_error("Folder listing failed.");
    }
}

listing_turn list_walks::after_listings_asked(std::uint64_t for_opening) {
    stop_earlier_openings(for_opening);
    listing_turn turn;
    if (!walks_.empty()) {
        turn.last_ = walks_.back().state;
        turn.turns_ = turns_;
    }
    return turn;
}

void list_walks::wait_all() {
    for (started& running : walks_) {
        running.thread.join();
    }
    walks_.clear();
}

void list_walks::stop(const waiter& wait) {
    if (walks_.empty()) {
        return;
    }
    for (const started& running : walks_) {
        running.state->gate.request_stop();
    }
    turns_->notify();
    wait([this] {
        for (const started& running : walks_) {
            if (!running.state->gate.can_be_let_go() && !running.thread.has_ended()) {
                return false;
            }
        }
        return true;
    });
    for (started& running : walks_) {
        if (running.state->gate.has_ended() || running.thread.has_ended()) {
            running.thread.join();
        } else {
            running.thread.let_go();  // held in the file system: ends when the call returns
        }
    }
    walks_.clear();
}

void list_walks::forget_ended() {
    std::erase_if(walks_, [](started& running) {
        if (!running.state->gate.has_ended()) {
            return false;
        }
        running.thread.join();
        return true;
    });
}

// The phone that asked them has gone: their listings would be dropped anyway.
void list_walks::stop_earlier_openings(std::uint64_t opening) {
    bool stopped = false;
    for (const started& running : walks_) {
        if (running.state->for_opening != opening && !running.state->gate.stop_requested()) {
            running.state->gate.request_stop();
            stopped = true;
        }
    }
    if (stopped) {
        turns_->notify();
    }
}

std::shared_ptr<walk> list_walks::last_live() const {
    if (walks_.empty() || walks_.back().state->is_done()) {
        return nullptr;
    }
    return walks_.back().state;
}

}  // namespace tessel
