#include "protocol/list_walks.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "protocol/file_system_gate.h"
#include "protocol/folder_tree.h"
#include "protocol/reply_writer.h"
#include "protocol/thread_priority.h"
#include "support/log.h"
#include "support/module_thread.h"

namespace tessel {

// Where a walk waits for the one before it to end, or for its own stop. Kept by each walk's
// thread, so that a walk let go still has it.
class list_walks::shared {
  public:
    void notify() {
        { const std::lock_guard<std::mutex> lock(mutex_); }
        changed_.notify_all();
    }

    // False when the waiting walk was told to stop first.
    bool wait_for(const file_system_gate& before, const file_system_gate& own) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return before.has_ended() || own.stop_requested(); });
        return !own.stop_requested();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

struct list_walks::walk {
    std::shared_ptr<file_system_gate> gate;
    module_thread thread;
};

namespace {

// Walks the folders and hands the listing over, unless the walk is stopped first. Nothing may
// leave the thread: a failed walk ends quietly after saying why.
void walk_into_reply(file_system_gate& gate, reply_writer& writer, const string8& folders,
                     std::uint64_t for_opening) {
    try {
        reply_buffer reply = start_listing_reply();
        walk_music_folders(reply, folders, &gate);
        if (!gate.stop_requested()) {
            end_listing_reply(reply);
            if (!reply.is_whole()) {
                throw std::bad_alloc();  // never sent with folders missing
            }
            writer.submit(std::move(reply), for_opening);
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

list_walks::list_walks(reply_writer& writer)
    : writer_(writer), shared_(std::make_shared<shared>()) {}

list_walks::~list_walks() {
    wait_all();
}

void list_walks::start(string8 music_folders, std::uint64_t for_opening) {
    forget_ended();
    auto gate = std::make_shared<file_system_gate>();
    std::shared_ptr<file_system_gate> before = walks_.empty() ? nullptr : walks_.back()->gate;
    try {
        auto started = std::make_unique<walk>();
        started->gate = gate;
        started->thread =
            module_thread([gate, before = std::move(before), waiting = shared_, &writer = writer_,
                           folders = std::move(music_folders), for_opening]() mutable {
                raise_current_thread_priority();
                // Past a stop the walk touches only what it holds: its gate, the waiting place
                // and its own listing.
                if (before == nullptr || waiting->wait_for(*before, *gate)) {
                    before.reset();
                    walk_into_reply(*gate, writer, folders, for_opening);
                }
                gate->mark_ended();
                waiting->notify();
            });
        walks_.push_back(std::move(started));
    } catch (const std::system_error& error) {
        log_error(error.what());
    }
}

void list_walks::wait_all() {
    for (const std::unique_ptr<walk>& running : walks_) {
        running->thread.join();
    }
    walks_.clear();
}

void list_walks::stop(const waiter& wait) {
    if (walks_.empty()) {
        return;
    }
    for (const std::unique_ptr<walk>& running : walks_) {
        running->gate->request_stop();
    }
    shared_->notify();
    wait([this] {
        for (const std::unique_ptr<walk>& running : walks_) {
            if (!running->gate->can_be_let_go() && !running->thread.has_ended()) {
                return false;
            }
        }
        return true;
    });
    for (const std::unique_ptr<walk>& running : walks_) {
        if (running->gate->has_ended() || running->thread.has_ended()) {
            running->thread.join();
        } else {
            running->thread.let_go();  // held in the file system: ends when the call returns
        }
    }
    walks_.clear();
}

void list_walks::forget_ended() {
    std::erase_if(walks_, [](const std::unique_ptr<walk>& running) {
        if (!running->gate->has_ended()) {
            return false;
        }
        running->thread.join();
        return true;
    });
}

}  // namespace tessel
