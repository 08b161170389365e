// The LIST worker against the main thread: replies stay whole and in order.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "link_fixture.h"
#include "listing_parser.h"
#include "scratch_folder.h"

namespace tessel {
namespace {

using namespace std::string_literals;

class list_worker : public test::link_fixture {
  protected:
    list_worker() {
        // Long names, so that writing the reply takes a while.
        const std::string padding(150, 'n');
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 12; ++j) {
                music_.add_file("folder " + std::to_string(i) + "/" + std::to_string(j) + padding);
            }
        }
        link_->set_music_folders(string8(music_.text()));
    }

    // Every write landed contiguously: nothing else came between its bytes.
    void expect_writes_whole() {
        const std::string stream = sent();
        for (const auto& write : writes()) {
            ASSERT_LE(write.offset + write.bytes.size(), stream.size());
            EXPECT_EQ(stream.compare(write.offset, write.bytes.size(), write.bytes), 0)
                << "a write of " << write.bytes.size() << " bytes was split";
        }
    }

    test::scratch_folder music_;
};

TEST_F(list_worker, two_lists_in_a_row_both_arrive_whole_one_after_the_other) {
    run(commands::list);
    run(commands::list);
    link_->join_list_worker(false);
    const auto written = writes();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].bytes, written[1].bytes);
    EXPECT_EQ(written[1].offset, written[0].bytes.size());
    const test::parsed_listing parsed = test::parse_listing(written[0].bytes);
    ASSERT_TRUE(parsed.well_formed);
    EXPECT_EQ(parsed.roots.at(0).entries.size(), 8u);
    expect_writes_whole();
}

// A walk that outlasts a dropped link: its listing is for the phone that asked, not for the
// one that comes back, which gets only the answers to its own requests.
TEST_F(list_worker, a_reply_made_for_an_earlier_opening_of_the_link_is_dropped) {
    const std::uint64_t asked_on = wire_->opening();
    wire_->reopen();
    reply_buffer listing(16);
    listing.append_bytes("LISTACK");
    link_->replies().submit(std::move(listing), asked_on);
    run(commands::check);
    link_->replies().drain();
    EXPECT_EQ(sent(), "Y");
}

// The link opened again while the writer was about to write a reply made before: the reply
// may still go to the opening it was made for, never to the new one.
TEST_F(list_worker, a_reopening_cannot_come_between_the_check_of_a_reply_and_its_write) {
    using namespace std::chrono_literals;
    const std::uint64_t asked_on = wire_->opening();
    wire_->hold_next_opening_read();
    reply_buffer listing(16);
    listing.append_bytes("LISTACK");
    link_->replies().submit(std::move(listing), asked_on);
    ASSERT_TRUE(wire_->await_held_opening_read(10s));
    std::thread phone_back([this] { wire_->reopen(); });
    const bool reopen_reached = wire_->await_reopen_counted_or_waiting(10s);
    wire_->release_opening();
    phone_back.join();
    ASSERT_TRUE(reopen_reached);
    for (const auto& write : writes()) {
        EXPECT_EQ(write.opening, asked_on) << write.bytes << " went to the new opening";
    }
}

TEST_F(list_worker, main_thread_replies_never_interleave_with_the_listing) {
    run(commands::list);
    // Keep answering on this thread until the listing has been written, and a little longer.
    auto listing_written = [this] {
        for (const auto& write : writes()) {
            if (write.bytes.compare(0, 7, "LISTACK") == 0) {
                return true;
            }
        }
        return false;
    };
    for (int after = 0; after < 20;) {
        run(commands::check);
        run(commands::version);
        run(commands::info2);
        link_->set_music_folders(string8(music_.text()));
        after += listing_written() ? 1 : 0;
    }
    link_->join_list_worker(false);
    expect_writes_whole();

    // INF2's report goes out with its closing zero.
    const auto written = writes();
    for (const auto& write : written) {
        if (write.bytes.compare(0, 7, "INFOACK") == 0) {
            EXPECT_TRUE(write.bytes.ends_with('\0'));
        }
    }
    std::size_t listings = 0;
    for (const auto& write : written) {
        listings += write.bytes.compare(0, 7, "LISTACK") == 0 ? 1 : 0;
    }
    EXPECT_EQ(listings, 1u);
}

TEST_F(list_worker, destroying_the_link_waits_for_the_walk) {
    run(commands::list);
    link_.reset();  // joins before the connection goes
    SUCCEED();
}

TEST_F(list_worker, joining_with_keep_does_not_wait) {
    EXPECT_TRUE(link_->join_list_worker(true));
    EXPECT_TRUE(link_->join_list_worker(false));  // nothing running
    run(commands::list);
    EXPECT_TRUE(link_->join_list_worker(false));
    EXPECT_EQ(writes().size(), 1u);
}

}  // namespace
}  // namespace tessel
