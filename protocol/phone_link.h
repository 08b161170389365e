#pragma once
// The command engine: turns each command code from the phone into argument reads, one player
// operation or one reply. Commands run on the player's main thread, but the player's main
// thread never waits on the file system: the LIST folder walk runs on a thread of its own, and
// the file-system part of DLST and FINF is left to the link's reader, which also waits there
// for the listings of the LISTs asked before a DLST (both replies begin "LISTACK"). Every reply
// is handed whole to the link's one writer, so replies never interleave on the wire, and no
// thread waits for the phone to read.

#include <cstdint>
#include <memory>
#include <mutex>

#include "control/control.h"
#include "protocol/command_code.h"
#include "protocol/deferred_reply.h"
#include "protocol/list_walks.h"
#include "protocol/reply_writer.h"
#include "support/string8.h"
#include "transport/connection.h"

namespace tessel {

class reply_buffer;

class phone_link {
  public:
    // The link owns the connection; the control stays its owner's and must outlive the link.
    phone_link(std::unique_ptr<connection> link, control& player);
    phone_link(const phone_link&) = delete;
    phone_link& operator=(const phone_link&) = delete;
    // Waits for the running folder walks before the connection goes.
    ~phone_link();

    // The byte stream to the phone, for the reader thread and for opening and closing the port.
    connection& get_connection() { return *connection_; }

    // The writer of every reply: stopped and resumed with the link.
    reply_writer& replies() { return writer_; }

    // Runs one command. Refused (nothing read) off the player's main thread. With a place for
    // it, the file-system part of DLST and FINF is left there for a thread of the link to run;
    // without, it runs here.
    void process_command(command_code code, std::unique_ptr<deferred_reply>* file_work = nullptr);

    // Reads one wire string argument.
    string8 read_string();

    // Safe against a folder walk that is copying the folders at the same time.
    void set_music_folders(string8 folders);
    string8 get_music_folders() const;

    void set_next_random(bool on) { next_random_ = on; }

    // keep = false waits for the running folder walks to end; keep = true does nothing. Call
    // it from the thread that runs the commands. Always answers true.
    bool join_list_worker(bool keep);

    // Tells the running folder walks to stop; waits through wait only while a walk runs its own
    // code, and lets go of a walk held in the file system. Nothing of theirs is sent after.
    void stop_list_walks(const list_walks::waiter& wait);

  private:
    // The replies. INF2 is the INFO report followed by a zero byte.
    void send_info(bool zero_terminated);
    void send_volume();
    void send_version();
    void send_playlist_length();
    void send_detailed_info();
    void send_file_info(const string8& ignored_argument,
                        std::unique_ptr<deferred_reply>* file_work);
    void send_playlist();
    void send_folder_listing(const string8& folder, std::unique_ptr<deferred_reply>* file_work);

    // Hands one whole reply to the writer.
    void send_reply(reply_buffer reply);
    // Leaves a reply that waits on the file system to the given place, or makes it now. It is
    // handed over once its turn has come.
    void send_deferred(deferred_reply::maker make, std::unique_ptr<deferred_reply>* file_work,
                       listing_turn turn = {});

    std::unique_ptr<connection> connection_;
    // After the connection: it stops writing before the connection goes.
    reply_writer writer_;
    control& control_;
    // After the writer: the walks hand their listings to it.
    list_walks walks_{writer_};
    mutable std::mutex folders_mutex_;
    string8 music_folders_;
    bool next_random_ = false;
};

}  // namespace tessel
