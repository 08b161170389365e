// The objects host_control hands to the player, and its value conversions.

#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "control/host_lists.h"
#include "control/selection_masks.h"
#include "control/track_info_record.h"
#include "control/value_conversions.h"
#include "tests/control/recording_player.h"

namespace tessel {
namespace {

constexpr std::size_t max_index = std::numeric_limits<std::size_t>::max();

TEST(selection_masks, all_items_and_constant) {
    const all_items_mask all;
    EXPECT_TRUE(all.get(0));
    EXPECT_TRUE(all.get(max_index));
    EXPECT_EQ(all.find(true, 3, 10), 3u);
    EXPECT_EQ(all.find(false, 3, 10), 13u);
    EXPECT_EQ(all.find(false, 3, -2), 1u);

    const constant_mask yes(true);
    const constant_mask no(false);
    EXPECT_TRUE(yes.get(7));
    EXPECT_FALSE(no.get(7));
    EXPECT_EQ(yes.find(true, 4, 6), 4u);
    EXPECT_EQ(yes.find(false, 4, 6), 10u);
    EXPECT_EQ(no.find(false, 4, 6), 4u);
    EXPECT_EQ(no.find(true, 4, -3), 1u);
}

TEST(selection_masks, one_item_find_upwards) {
    const one_item_mask mask(5);
    EXPECT_TRUE(mask.get(5));
    EXPECT_FALSE(mask.get(4));
    // The item inside [start, start + count).
    EXPECT_EQ(mask.find(true, 0, 10), 5u);
    EXPECT_EQ(mask.find(true, 5, 1), 5u);
    // Outside: start + count.
    EXPECT_EQ(mask.find(true, 0, 4), 4u);
    EXPECT_EQ(mask.find(true, 6, 10), 16u);
    EXPECT_EQ(mask.find(true, 0, 3), 3u);
    // Looking for an unselected item: start unless start is the item.
    EXPECT_EQ(mask.find(false, 2, 10), 2u);
    EXPECT_EQ(mask.find(false, 5, 10), 6u);
}

TEST(selection_masks, one_item_find_downwards) {
    const one_item_mask mask(5);
    // The item inside (start + count, start].
    EXPECT_EQ(mask.find(true, 8, -5), 5u);
    EXPECT_EQ(mask.find(true, 5, -1), 5u);
    EXPECT_EQ(mask.find(true, 9, -3), 6u);
    EXPECT_EQ(mask.find(true, 8, -2), 6u);
    EXPECT_EQ(mask.find(true, 4, -3), 1u);
    EXPECT_EQ(mask.find(false, 9, -4), 9u);
    EXPECT_EQ(mask.find(false, 5, -4), 4u);
}

TEST(selection_masks, one_item_find_zero_count_and_unsigned_indexes) {
    const one_item_mask mask(5);
    EXPECT_EQ(mask.find(true, 5, 0), 5u);
    EXPECT_EQ(mask.find(true, 2, 0), 2u);
    EXPECT_EQ(mask.find(false, 5, 0), 5u);

    // An item index of -1 is the largest unsigned index: never below a start, also when a
    // downward scan runs past 0.
    const one_item_mask last(max_index);
    EXPECT_TRUE(last.get(max_index));
    EXPECT_EQ(last.find(true, 0, 10), 10u);
    EXPECT_EQ(last.find(true, 3, -2), 1u);
    EXPECT_EQ(last.find(true, 3, -5), max_index - 1);
    EXPECT_EQ(last.find(true, max_index, -1), max_index);
}

TEST(track_list, holds_one_reference_per_entry_until_cleared) {
    test::call_log log;
    test::fake_track a(log, "a", "pa");
    test::fake_track b(log, "b", "pb");
    {
        owned_track_list list;
        list.add_item(&a);
        list.add_item(&b);
        list.add_item(&a);
        list.add_item(nullptr);
        EXPECT_EQ(list.get_count(), 3u);
        EXPECT_EQ(list.get_item(1), &b);
        EXPECT_EQ(list.get_item(3), nullptr);
        EXPECT_EQ(a.references(), 2);
        EXPECT_EQ(b.references(), 1);
        list.remove_all();
        EXPECT_EQ(list.get_count(), 0u);
        EXPECT_EQ(a.references(), 0);
        list.add_item(&b);
    }
    EXPECT_EQ(b.references(), 0);
}

TEST(item_callback, keeps_the_first_track_and_stops) {
    test::call_log log;
    test::fake_track a(log, "a", "pa");
    test::fake_track b(log, "b", "pb");
    first_track_callback callback;
    EXPECT_FALSE(callback.on_item(0, &a, true));
    EXPECT_EQ(a.references(), 1);
    // A second call replaces the kept track and releases the old one.
    EXPECT_FALSE(callback.on_item(1, &b, false));
    EXPECT_EQ(a.references(), 0);
    EXPECT_EQ(b.references(), 1);
    {
        const auto kept = callback.take();
        EXPECT_EQ(kept.get(), &b);
        EXPECT_FALSE(callback.take());
    }
    EXPECT_EQ(b.references(), 0);
}

TEST(location_list, one_entry_whatever_index) {
    const single_location_list list(string8("file://C:\\a.mp3"));
    EXPECT_EQ(list.get_count(), 1u);
    EXPECT_STREQ(list.get_item(0), "file://C:\\a.mp3");
    EXPECT_STREQ(list.get_item(42), "file://C:\\a.mp3");
}

TEST(info_record, finds_the_first_technical_field_ignoring_ascii_case) {
    track_info_record record;
    record.add_meta("bitrate", "1");  // meta fields are not technical ones
    record.add_technical("codec", "MP3");
    record.add_technical("BitRate", "320");
    record.add_technical("bitrate", "128");
    EXPECT_EQ(record.find_technical("bitrate"), "320");
    EXPECT_FALSE(record.find_technical("bitrat").has_value());
    EXPECT_FALSE(record.find_technical("samplerate").has_value());
    record.reset();
    EXPECT_FALSE(record.find_technical("bitrate").has_value());
}

TEST(read_leading_integer, reads_as_strtoll_does) {
    for (const char* text :
         {"320", "  \t\n42kbps", "-17", "+8", "", "abc", "-", " + 5", "0x1F", "007", "12 34",
          "9223372036854775807", "9223372036854775808", "-9223372036854775808",
          "-9223372036854775809", "123456789012345678901234567890", "\v\f\r-3"}) {
        EXPECT_EQ(read_leading_integer(text), std::strtoll(text, nullptr, 10))
            << '"' << text << '"';
    }
}

TEST(volume_scale, levels_to_decibels_and_back) {
    EXPECT_EQ(level_to_decibels(255), 0.0f);
    EXPECT_EQ(level_to_decibels(254), -0.78125f);
    EXPECT_EQ(level_to_decibels(128), -50.0f);
    EXPECT_EQ(level_to_decibels(0), -100.0f);

    EXPECT_EQ(decibels_to_level(0.0f), 255);
    EXPECT_EQ(decibels_to_level(-50.0f), 127);
    EXPECT_EQ(decibels_to_level(-0.78125f), 253);
    EXPECT_EQ(decibels_to_level(-100.0f), 0);
    // Outside the player's range: its nearest end, never a wrapped level.
    EXPECT_EQ(decibels_to_level(-101.0f), 0);
    EXPECT_EQ(decibels_to_level(6.0f), 255);
    EXPECT_EQ(decibels_to_level(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(whole_seconds, cuts_the_fraction_towards_zero) {
    EXPECT_EQ(whole_seconds(12.99), 12);
    EXPECT_EQ(whole_seconds(-3.7), -3);
    EXPECT_EQ(whole_seconds(0.0), 0);
    EXPECT_EQ(whole_seconds(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(whole_seconds(-1e12), std::numeric_limits<int>::min());
    EXPECT_EQ(whole_seconds(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace tessel
