#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config_streams.h"
#include "host/bounded_reader.h"
#include "host/settings.h"
#include "support/exceptions.h"
#include "tests/common/fake_host.h"

namespace tessel {
namespace {

using test::bytes;
using test::concat;
using test::le32;
using test::record;
using test::text_bytes;

const std::string com_port_guid = "3A288ADA-2D70-419F-9A23-117590C800A9";
const std::string music_guid = "05E9A1C5-7427-4C79-B84F-AA358AC3DB6D";
const std::string title_guid = "3C5362C6-5B43-4B3F-A7C0-95414A4F63C0";
const std::string auto_connect_guid = "D785C63A-0D05-4DBD-B086-46F2D9526840";
const std::string shuffle_guid = "E95D2165-51F3-4AD0-972A-32D7E1043292";
const std::string use_playlist_guid = "9295BB38-C155-4498-8269-2A6A0EA8109B";
const std::string playlist_guid = "A571FDAC-B494-4D31-BFA7-1D944FCE3A4B";
const std::string unknown_guid = "01234567-89AB-CDEF-0123-456789ABCDEF";

const char* const default_title = "$if2(%artist% - %title%, %_filename_ext%)";

bytes save_all() {
    test::memory_writer writer;
    test::never_abort abort;
    cfg_save_all(writer, abort);
    return writer.written;
}

// Loads through the player's non-throwing read and skip only.
void load_all(const bytes& blob) {
    test::memory_reader reader(blob);
    test::never_abort abort;
    cfg_load_all(reader, abort);
    EXPECT_EQ(reader.throwing_calls, 0);
}

// Settings are process-wide: each test starts from the values it found and puts them back.
class settings : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = save_all(); }
    void TearDown() override { load_all(saved_); }

  private:
    bytes saved_;
};

TEST_F(settings, default_blob_is_seven_records_in_registry_order) {
    const bytes expected = concat({
        record(playlist_guid, le32(0)),
        record(use_playlist_guid, le32(0)),
        record(shuffle_guid, le32(0)),
        record(auto_connect_guid, le32(0)),
        record(title_guid, text_bytes(default_title)),
        record(music_guid, text_bytes("H:\\mp3")),
        record(com_port_guid, text_bytes("COM4")),
    });
    ASSERT_EQ(expected.size(), 207u);
    EXPECT_EQ(save_all(), expected);
}

TEST_F(settings, empty_blob_keeps_defaults) {
    load_all({});
    EXPECT_EQ(cfg_com_port.view(), "COM4");
    EXPECT_EQ(cfg_music_directory.view(), "H:\\mp3");
    EXPECT_EQ(cfg_title_format.view(), default_title);
    EXPECT_EQ(cfg_auto_connect, 0);
    EXPECT_EQ(cfg_shuffle_next_random, 0);
    EXPECT_EQ(cfg_use_specific_playlist, 0);
    EXPECT_EQ(cfg_specific_playlist, 0);
}

TEST_F(settings, saved_values_load_back) {
    cfg_com_port.set("/dev/rfcomm0");
    cfg_music_directory.set("");
    cfg_title_format.set("\xE2\x82\xAC %title%");
    cfg_auto_connect = 1;
    cfg_specific_playlist = -1;
    const bytes blob = save_all();

    cfg_com_port.set("COM9");
    cfg_music_directory.set("elsewhere");
    cfg_title_format.set("x");
    cfg_auto_connect = 0;
    cfg_specific_playlist = 5;
    load_all(blob);

    EXPECT_EQ(cfg_com_port.view(), "/dev/rfcomm0");
    EXPECT_TRUE(cfg_music_directory.is_empty());
    EXPECT_EQ(cfg_title_format.view(), "\xE2\x82\xAC %title%");
    EXPECT_EQ(cfg_auto_connect, 1);
    EXPECT_EQ(cfg_specific_playlist, -1);
}

TEST_F(settings, empty_string_is_a_record_without_data) {
    cfg_com_port.set("");
    const bytes blob = save_all();
    const bytes tail = record(com_port_guid, {});
    ASSERT_GE(blob.size(), tail.size());
    EXPECT_EQ(bytes(blob.end() - static_cast<std::ptrdiff_t>(tail.size()), blob.end()), tail);
}

TEST_F(settings, integers_are_little_endian) {
    load_all(record(playlist_guid, {0x04, 0x03, 0x02, 0x81}));
    EXPECT_EQ(static_cast<unsigned>(cfg_specific_playlist.get()), 0x81020304u);
}

TEST_F(settings, long_int_record_loads_first_four_bytes_and_skips_the_rest) {
    load_all(concat({
        record(auto_connect_guid, {7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
        record(shuffle_guid, le32(3)),
    }));
    EXPECT_EQ(cfg_auto_connect, 7);
    EXPECT_EQ(cfg_shuffle_next_random, 3);
}

TEST_F(settings, short_int_record_keeps_old_value_and_loading_goes_on) {
    cfg_auto_connect = 9;
    load_all(concat({
        record(auto_connect_guid, {1, 0}),
        record(com_port_guid, text_bytes("COM7")),
    }));
    EXPECT_EQ(cfg_auto_connect, 9);
    EXPECT_EQ(cfg_com_port.view(), "COM7");
}

TEST_F(settings, string_is_cut_at_its_first_nul) {
    load_all(record(com_port_guid, {'C', 'O', 'M', '5', 0, 'X', 'Y'}));
    EXPECT_EQ(cfg_com_port.view(), "COM5");

    // The same beyond the first 256-byte piece: nothing after the NUL comes back.
    bytes long_text(300, 'a');
    long_text.push_back(0);
    long_text.insert(long_text.end(), 300, 'b');
    load_all(record(music_guid, long_text));
    EXPECT_EQ(cfg_music_directory.view(), std::string(300, 'a'));
}

TEST_F(settings, strings_longer_than_one_piece_load_whole) {
    for (std::size_t size : {255u, 256u, 257u, 512u, 1000u}) {
        const std::string text(size, 'z');
        load_all(concat({record(title_guid, text_bytes(text)), record(shuffle_guid, le32(size))}));
        EXPECT_EQ(cfg_title_format.view(), text);
        EXPECT_EQ(cfg_shuffle_next_random, static_cast<int>(size));
    }
}

TEST_F(settings, records_match_by_guid_in_any_order_and_later_wins) {
    load_all(concat({
        record(com_port_guid, text_bytes("COM1")),
        record(unknown_guid, text_bytes("ignored data of an older version")),
        record(playlist_guid, le32(2)),
        record(com_port_guid, text_bytes("COM2")),
    }));
    EXPECT_EQ(cfg_com_port.view(), "COM2");
    EXPECT_EQ(cfg_specific_playlist, 2);
}

TEST_F(settings, unknown_records_are_not_saved_again) {
    load_all(record(unknown_guid, {1, 2, 3}));
    EXPECT_EQ(save_all().size(), 207u);
}

// The player's read-exactly would throw across the module boundary: a blob cut inside a record
// ends loading at the component's edge instead, keeping what was loaded, with one error line.
TEST_F(settings, blob_ending_inside_a_header_or_record_ends_loading_after_earlier_ones) {
    test::fake_host player;
    test::recording_console console;
    player.add_service(corvina::class_guids::console, console);
    const test::host_guard guard(player);
    const std::vector<std::string> one_error{
        "ERROR : The stored settings end inside a record; the ones before it were loaded"};

    const bytes good = record(auto_connect_guid, le32(1));
    const bytes guid_only = test::guid_bytes(shuffle_guid);
    load_all(concat({good, guid_only}));
    EXPECT_EQ(cfg_auto_connect, 1);
    EXPECT_EQ(console.lines(), one_error);

    console.clear();
    bytes cut_unknown = record(unknown_guid, bytes(10, 0));
    cut_unknown.resize(cut_unknown.size() - 4);
    load_all(cut_unknown);
    EXPECT_EQ(console.lines(), one_error);

    console.clear();
    bytes cut_known = record(shuffle_guid, le32(8));
    cut_known.resize(cut_known.size() - 2);
    load_all(cut_known);
    EXPECT_EQ(cfg_shuffle_next_random, 0);
    EXPECT_EQ(console.lines(), one_error);
}

TEST(bounded_reader, never_reads_past_its_limit) {
    test::memory_reader source(bytes(1000, 1));
    test::never_abort abort;
    bounded_reader reader(source, abort, 10);
    unsigned char buffer[64];
    EXPECT_EQ(reader.read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(reader.read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(source.position(), 10u);
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(bounded_reader, exact_operations_fail_when_data_runs_out) {
    test::memory_reader source(bytes(5, 1));
    test::never_abort abort;
    bounded_reader reader(source, abort, 100);
    unsigned char buffer[8];
    reader.read_exactly(buffer, 2);
    EXPECT_THROW(reader.read_exactly(buffer, 4), exception_io_data_truncation);
    EXPECT_THROW(reader.skip_exactly(1), exception_io_data_truncation);

    test::memory_reader limited_source(bytes(100, 1));
    bounded_reader limited(limited_source, abort, 3);
    EXPECT_THROW(limited.read_exactly(buffer, 4), exception_io_data_truncation);
}

TEST(bounded_reader, skips_in_small_pieces) {
    test::memory_reader source(bytes(5000, 1));
    test::never_abort abort;
    bounded_reader reader(source, abort, 4000);
    EXPECT_EQ(reader.skip(3000), 3000u);
    EXPECT_LE(source.largest_read, 256u);
    EXPECT_EQ(reader.skip(3000), 1000u);
    EXPECT_EQ(source.position(), 4000u);
}

TEST_F(settings, a_long_string_is_saved_whole_behind_its_length) {
    const std::string text(100000, 'q');
    cfg_music_directory.set(text.c_str());
    const bytes blob = save_all();
    const bytes expected = record(music_guid, text_bytes(text));
    EXPECT_NE(std::search(blob.begin(), blob.end(), expected.begin(), expected.end()), blob.end());
}

}  // namespace
}  // namespace tessel
