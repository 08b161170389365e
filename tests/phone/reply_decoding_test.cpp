// Recorded reply bytes through the framer, the decoder and both output forms.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/phone/progress_line.h"
#include "tools/phone/reply_decoder.h"
#include "tools/phone/reply_format.h"
#include "tools/phone/reply_framer.h"
#include "tools/phone/watch.h"

namespace tessel::phone {
namespace {

using bytes = std::vector<std::uint8_t>;

bytes operator+(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bytes text(std::string_view s) {
    return bytes(s.begin(), s.end());
}

// Feeds the bytes one by one, as they would arrive, and answers the state after the last;
// the reply must not be complete or invalid before its last byte, and the framer never asks
// for more bytes than the reply still has. Fed in one block with the next reply's bytes
// behind it, the framer takes the reply's bytes alone and ends in the same state.
frame_state frame(const command_info& command, const bytes& reply) {
    reply_framer framer(command.reply, token_of(command));
    std::vector<std::size_t> missing;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        missing.push_back(framer.missing());
        const frame_state state = framer.feed(reply[i]);
        if (i + 1 < reply.size() &&
            (state == frame_state::complete || state == frame_state::invalid)) {
            ADD_FAILURE() << "framer stopped at byte " << i << ": " << framer.error();
            return state;
        }
    }
    if (framer.state() == frame_state::complete ||
        framer.state() == frame_state::complete_if_quiet) {
        for (std::size_t i = 0; i < missing.size(); ++i) {
            EXPECT_LE(missing[i], reply.size() - i) << "before byte " << i;
        }
    }
    reply_framer in_bulk(command.reply, token_of(command));
    const bytes followed = reply + text("VERSACK");
    const std::size_t taken = in_bulk.feed(std::span<const std::uint8_t>(followed));
    if (framer.state() == frame_state::complete || framer.state() == frame_state::invalid) {
        EXPECT_EQ(taken, reply.size());
        EXPECT_EQ(in_bulk.state(), framer.state());
    }
    return framer.state();
}

template <class T>
T decode_as(const char* word, const bytes& reply) {
    const command_info& command = *find_command(word);
    const decoded_reply decoded = decode_reply(command.reply, reply, token_of(command).size());
    EXPECT_TRUE(decoded.value.has_value()) << decoded.error;
    if (!decoded.value || !std::holds_alternative<T>(*decoded.value)) {
        ADD_FAILURE() << "wrong reply type";
        return T{};
    }
    return std::get<T>(*decoded.value);
}

std::string text_of(const char* word, const bytes& reply) {
    const command_info& command = *find_command(word);
    const decoded_reply decoded = decode_reply(command.reply, reply, token_of(command).size());
    return decoded.value ? format_text(*decoded.value) : "error: " + decoded.error;
}

std::string json_of(const char* word, const bytes& reply) {
    const command_info& command = *find_command(word);
    const decoded_reply decoded = decode_reply(command.reply, reply, token_of(command).size());
    return decoded.value ? format_json(*decoded.value) : "error: " + decoded.error;
}

const bytes status_fixed = bytes{0x01, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x00, 0x53, 0x00, 0x01};

TEST(StatusReply, InfoTitleEndsOnlyWhenTheLineGoesQuiet) {
    const bytes reply = text("INFOACK") + status_fixed + text("Caf\xC3\xA9 - \"Z\"");
    EXPECT_EQ(frame(*find_command("info"), reply), frame_state::complete_if_quiet);

    const auto status = decode_as<status_reply>("info", reply);
    EXPECT_TRUE(status.playing());
    EXPECT_FALSE(status.paused());
    EXPECT_EQ(status.length, 300);
    EXPECT_EQ(status.position, 83);
    EXPECT_FALSE(status.shuffle);
    EXPECT_TRUE(status.repeat);
    EXPECT_EQ(status.title, "Caf\xC3\xA9 - \"Z\"");

    EXPECT_EQ(text_of("info", reply),
              "state:    playing\n"
              "position: 1:23 / 5:00  (83 s of 300 s)\n"
              "shuffle:  off\n"
              "repeat:   on\n"
              "title:    Caf\xC3\xA9 - \"Z\"\n");
    EXPECT_EQ(json_of("info", reply),
              R"({"type":"status","state":"playing","playing":true,"paused":false,)"
              R"("length":300,"position":83,"shuffle":false,"repeat":true,)"
              "\"title\":\"Caf\xC3\xA9 - \\\"Z\\\"\"}");
}

TEST(StatusReply, NothingPlayingIsEighteenBytesWithAnEmptyTitle) {
    const bytes reply = text("INFOACK") + bytes(11, 0x00);
    EXPECT_EQ(frame(*find_command("info"), reply), frame_state::complete_if_quiet);
    const auto status = decode_as<status_reply>("info", reply);
    EXPECT_FALSE(status.playing());
    EXPECT_EQ(status.title, "");
    EXPECT_NE(text_of("info", reply).find("state:    stopped"), std::string::npos);
    // Too short to be a status reply yet.
    EXPECT_EQ(frame(*find_command("info"), text("INFOACK") + bytes(10, 0x00)),
              frame_state::need_more);
}

TEST(StatusReply, Inf2TitleEndsAtItsZeroByte) {
    const command_info& inf2 = *find_command("inf2");
    const bytes paused = bytes{0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x05, 0x01, 0x00};
    const bytes reply = text("INFOACK") + paused + text("A") + bytes{0x00};
    EXPECT_EQ(frame(inf2, reply), frame_state::complete);
    const auto status = decode_as<status_reply>("inf2", reply);
    EXPECT_TRUE(status.paused());
    EXPECT_EQ(status.length, -1);
    EXPECT_TRUE(status.shuffle);
    EXPECT_EQ(status.title, "A");
    EXPECT_NE(json_of("inf2", reply).find(R"("state":"paused")"), std::string::npos);

    // Zero bytes inside the fixed fields do not end it; an empty title is the 19th byte.
    const bytes empty = text("INFOACK") + bytes(12, 0x00);
    EXPECT_EQ(frame(inf2, empty), frame_state::complete);
    EXPECT_EQ(decode_as<status_reply>("inf2", empty).title, "");
}

TEST(ShortReplies, VolumeVersionLengthDetailsFileSizeAndCheck) {
    const bytes gvol = text("GVOLACK") + bytes{0xFF};
    EXPECT_EQ(frame(*find_command("gvol"), gvol), frame_state::complete);
    EXPECT_EQ(decode_as<volume_reply>("gvol", gvol).level, 255);
    EXPECT_EQ(text_of("gvol", gvol), "volume: 255 of 255\n");
    EXPECT_EQ(json_of("gvol", gvol), R"({"type":"volume","level":255})");

    const bytes vers = text("VERSACK") + bytes{0x01, 0x49};
    EXPECT_EQ(frame(*find_command("vers"), vers), frame_state::complete);
    EXPECT_EQ(text_of("vers", vers), "protocol version: 1.73\n");
    EXPECT_EQ(json_of("vers", vers), R"({"type":"version","major":1,"minor":73})");

    const bytes plen = bytes{0x01, 0x02};
    EXPECT_EQ(frame(*find_command("plen"), plen), frame_state::complete);
    EXPECT_EQ(decode_as<playlist_length_reply>("plen", plen).count, 258);
    EXPECT_EQ(text_of("plen", bytes{0x00, 0x00}), "playlist entries: 0\n");

    const bytes dinf = text("DINFACK") + bytes{0x00, 0x00, 0x01, 0x40, 0x00, 0x00,
                                               0x05, 0x39, 0x00, 0x00, 0x00, 0x02};
    EXPECT_EQ(frame(*find_command("dinf"), dinf), frame_state::complete);
    const auto details = decode_as<details_reply>("dinf", dinf);
    EXPECT_EQ(details.bitrate, 320);
    EXPECT_EQ(details.value_2, 1337);
    EXPECT_EQ(details.value_3, 2);
    EXPECT_EQ(json_of("dinf", dinf),
              R"({"type":"details","bitrate":320,"value_2":1337,"value_3":2})");

    const bytes finf = text("FINFACK") + bytes{0xC0, 0x00, 0x00, 0x01};
    EXPECT_EQ(frame(*find_command("finf"), finf), frame_state::complete);
    EXPECT_EQ(decode_as<file_info_reply>("finf", finf).size, 0xC0000001u);
    EXPECT_EQ(text_of("finf", finf), "file size: 3221225473 bytes\n");

    EXPECT_EQ(frame(*find_command("chck"), text("Y")), frame_state::complete);
    EXPECT_EQ(text_of("chck", text("Y")), "Y: the PC is listening\n");
}

TEST(ShortReplies, AWrongTokenOrByteIsRefusedAtOnce) {
    reply_framer gvol(reply_kind::volume, "GVOLACK");
    EXPECT_EQ(gvol.feed('G'), frame_state::need_more);
    EXPECT_EQ(gvol.feed('X'), frame_state::invalid);
    EXPECT_NE(gvol.error().find("GVOLACK"), std::string::npos);

    reply_framer check(reply_kind::check, "");
    EXPECT_EQ(check.feed('N'), frame_state::invalid);

    // The decoder checks sizes on its own, for bytes that did not come through the framer.
    const command_info& vers = *find_command("vers");
    EXPECT_FALSE(decode_reply(vers.reply, text("VERSACK") + bytes{0x01}, 7).value);
}

TEST(PlaylistReply, TitlesWithReplacementsAsSent) {
    const bytes reply =
        text("PLSTACK") + bytes{0x00, 0x01} + text("Aa - Bb\nC?line - ?a\n") + bytes(4, 0x00);
    EXPECT_EQ(frame(*find_command("plst"), reply), frame_state::complete);
    const auto playlist = decode_as<playlist_reply>("plst", reply);
    EXPECT_FALSE(playlist.too_long);
    EXPECT_EQ(playlist.playing_index, 1);
    EXPECT_EQ(playlist.titles, (std::vector<std::string>{"Aa - Bb", "C?line - ?a"}));
    EXPECT_EQ(text_of("plst", reply),
              "playing index: 1\n"
              "  0  Aa - Bb\n"
              "> 1  C?line - ?a\n");
    EXPECT_EQ(json_of("plst", reply), R"({"type":"playlist","too_long":false,"playing_index":1,)"
                                      R"("titles":["Aa - Bb","C?line - ?a"]})");
}

TEST(PlaylistReply, IndexBytesThatAreZeroDoNotEndIt) {
    // Index 256 (01 00) and 0 (00 00) each carry zero bytes before the first line.
    const bytes index_256 = text("PLSTACK") + bytes{0x01, 0x00} + text("x\n") + bytes(4, 0x00);
    EXPECT_EQ(frame(*find_command("plst"), index_256), frame_state::complete);
    EXPECT_EQ(decode_as<playlist_reply>("plst", index_256).playing_index, 256);

    const bytes empty = text("PLSTACK") + bytes(6, 0x00);
    EXPECT_EQ(frame(*find_command("plst"), empty), frame_state::complete);
    const auto playlist = decode_as<playlist_reply>("plst", empty);
    EXPECT_FALSE(playlist.too_long);
    EXPECT_TRUE(playlist.titles.empty());
    EXPECT_EQ(text_of("plst", empty), "playing index: 0\n(empty playlist)\n");
}

TEST(PlaylistReply, TooLongPlaylistIsFourZeroBytesEndedBySilence) {
    const bytes reply = text("PLSTACK") + bytes(4, 0x00);
    // Index 0 of an empty playlist would go on with two more zero bytes.
    EXPECT_EQ(frame(*find_command("plst"), reply), frame_state::complete_if_quiet);
    EXPECT_TRUE(decode_as<playlist_reply>("plst", reply).too_long);
    EXPECT_EQ(text_of("plst", reply), "playlist: more than 65535 entries, not sent\n");
}

TEST(PlaylistReply, ZeroByteInsideALineIsRefused) {
    reply_framer framer(reply_kind::playlist, "PLSTACK");
    for (std::uint8_t byte : text("PLSTACK") + bytes{0x00, 0x02, 'a', 0x00}) {
        framer.feed(byte);
    }
    EXPECT_EQ(framer.feed('b'), frame_state::invalid);
}

TEST(FolderTreeReply, SingleFolderWithASubfolder) {
    const bytes reply = text("LISTACK") + bytes{0x01} + text("C:\\Music") + bytes{0x00, 0x12} +
                        text("a.mp3") + bytes{0x00, 0x41} + text("Rock") + bytes{0x00, 0x22} +
                        text("b.mp3") + bytes{0x00, 0xFF, 0x00};
    EXPECT_EQ(frame(*find_command("list"), reply), frame_state::complete);
    const auto tree = decode_as<folder_tree_reply>("list", reply);
    ASSERT_EQ(tree.entries.size(), 4u);
    EXPECT_EQ(tree.entries[0].depth, 0u);
    EXPECT_EQ(tree.entries[2].name, "Rock");
    EXPECT_EQ(tree.entries[2].position(), folder_position::last);
    EXPECT_EQ(tree.entries[3].depth, 2u);
    EXPECT_EQ(text_of("list", reply),
              "C:\\Music\n"
              "|-- a.mp3\n"
              "`-- Rock\\\n"
              "    `-- b.mp3\n");
    EXPECT_EQ(json_of("list", reply),
              R"({"type":"folder_tree","root":{"name":"C:\\Music","flags":"01","position":"root",)"
              R"("kind":"folder","entries":[)"
              R"({"name":"a.mp3","flags":"12","position":"first","kind":"file"},)"
              R"({"name":"Rock","flags":"41","position":"last","kind":"folder","entries":[)"
              R"({"name":"b.mp3","flags":"22","position":"only","kind":"file"}]}]}})");
}

TEST(FolderTreeReply, TwoMusicFoldersUnderAnUnnamedRoot) {
    const bytes reply = text("LISTACK") + bytes{0x01, 0x00, 0x11} + text("C:\\A") +
                        bytes{0x00, 0x11} + text("x") + bytes{0x00, 0x41} + text("y") +
                        bytes{0x00, 0x22} + text("z.ogg") + bytes{0x00, 0x41} + text("D:\\B") +
                        bytes{0x00, 0x22} + text("w.mp3") + bytes{0x00, 0xFF, 0x00};
    EXPECT_EQ(frame(*find_command("list"), reply), frame_state::complete);
    // "x" is an empty folder: the next record is its sibling, not its entry.
    EXPECT_EQ(text_of("list", reply),
              "(music folders)\n"
              "|-- C:\\A\\\n"
              "|   |-- x\\\n"
              "|   `-- y\\\n"
              "|       `-- z.ogg\n"
              "`-- D:\\B\\\n"
              "    `-- w.mp3\n");
    const auto tree = decode_as<folder_tree_reply>("list", reply);
    EXPECT_EQ(tree.entries[2].depth, 2u);
    EXPECT_EQ(tree.entries[5].depth, 1u);
}

TEST(FolderTreeReply, OneLevelListingAndMissingFolder) {
    const bytes dlst = text("LISTACK") + bytes{0x01} + text("C:\\Music") + bytes{0x00, 0x12} +
                       text("a.mp3") + bytes{0x00, 0x43} + text("Rock") + bytes{0x00, 0xFF, 0x00};
    EXPECT_EQ(frame(*find_command("dlst"), dlst), frame_state::complete);
    EXPECT_EQ(text_of("dlst", dlst), "C:\\Music\n|-- a.mp3\n`-- Rock\\ (contents not listed)\n");
    EXPECT_NE(json_of("dlst", dlst).find(R"("kind":"folder-unlisted")"), std::string::npos);

    const bytes missing = text("LISTACK") + bytes{0xFF, 0x00};
    EXPECT_EQ(frame(*find_command("dlst"), missing), frame_state::complete);
    EXPECT_TRUE(decode_as<folder_tree_reply>("dlst", missing).entries.empty());
    EXPECT_EQ(text_of("dlst", missing), "(no folder could be read)\n");
    EXPECT_EQ(json_of("dlst", missing), R"({"type":"folder_tree","root":null})");
}

TEST(FolderTreeReply, MisplacedRecordsDoNotParse) {
    auto decode_error = [](const bytes& body) {
        const decoded_reply decoded =
            decode_reply(reply_kind::folder_tree, text("LISTACK") + body, 7);
        return decoded.value ? std::string() : decoded.error;
    };
    // A second "first" entry in one folder.
    EXPECT_NE(decode_error(bytes{0x01, 'r', 0x00, 0x12, 'a', 0x00, 0x12, 'b', 0x00, 0xFF, 0x00}),
              "");
    // The list ends while a "first" entry still waits for its last sibling.
    EXPECT_NE(decode_error(bytes{0x01, 'r', 0x00, 0x12, 'a', 0x00, 0xFF, 0x00}), "");
    // Root flags other than 01, and a kind nibble out of range.
    EXPECT_NE(decode_error(bytes{0x11, 'r', 0x00, 0xFF, 0x00}), "");
    EXPECT_NE(decode_error(bytes{0x01, 'r', 0x00, 0x25, 'a', 0x00, 0xFF, 0x00}), "");
    // A record after the root's entries are complete.
    EXPECT_NE(decode_error(bytes{0x01, 'r', 0x00, 0x22, 'a', 0x00, 0x22, 'b', 0x00, 0xFF, 0x00}),
              "");
    reply_framer framer(reply_kind::folder_tree, "LISTACK");
    for (std::uint8_t byte : text("LISTACK")) {
        framer.feed(byte);
    }
    framer.feed(0xFF);
    EXPECT_EQ(framer.feed(0x01), frame_state::invalid);
}

TEST(FolderTreeReply, DeepTreeNeedsNoDeepStack) {
    bytes reply = text("LISTACK") + bytes{0x01, 'r', 0x00};
    constexpr std::size_t depth = 200000;
    for (std::size_t i = 0; i < depth; ++i) {
        reply.insert(reply.end(), {0x21, 'd', 0x00});
    }
    reply.insert(reply.end(), {0xFF, 0x00});
    const auto tree = decode_as<folder_tree_reply>("list", reply);
    ASSERT_EQ(tree.entries.size(), depth + 1);
    EXPECT_EQ(tree.entries.back().depth, depth);
    const std::string json = json_of("list", reply);
    EXPECT_EQ(json.substr(json.size() - 5), "]}]}}");
}

TEST(JsonText, EscapesControlsAndReplacesInvalidUtf8) {
    EXPECT_EQ(json_string("a\"b\\c\n\x01"), R"("a\"b\\c\n\u0001")");
    EXPECT_EQ(json_string("\xE2\x82\xAC"), "\"\xE2\x82\xAC\"");
    // A lone continuation byte and an overlong slash.
    EXPECT_EQ(json_string("x\x80y"), "\"x\xEF\xBF\xBDy\"");
    EXPECT_EQ(json_string("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(ClockTime, MinutesHoursAndNegative) {
    EXPECT_EQ(clock_time(300), "5:00");
    EXPECT_EQ(clock_time(3723), "1:02:03");
    EXPECT_EQ(clock_time(-5), "-0:05");
}

// What a person sees of a reply still coming in and of the player, fitted to the terminal.
TEST(LiveText, ProgressLineAndWatchDisplay) {
    reply_framer playlist(reply_kind::playlist, "PLSTACK");
    playlist.feed(bytes{'P', 'L', 'S', 'T', 'A', 'C', 'K', 0, 0, 'a', '\n', 'b', '\n', 'c'});
    EXPECT_EQ(playlist.entries(), 2u);
    EXPECT_EQ(progress_line::render("LIST", 3344933, 102001, std::nullopt, 45300, 79),
              "LIST  102,001 entries  3.34 MB  45.3 kB/s");
    EXPECT_EQ(progress_line::render("PLST", 1500, 50, 200, 900, 79),
              "PLST [#####---------------] 25%  50 of 200 entries  1.5 kB  900 B/s");
    EXPECT_EQ(progress_line::render("PLST", 1500, 50, 200, 900, 10), "PLST [####");

    status_reply status;
    status.state_bits = 3;
    status.length = 200;
    status.position = 50;
    status.shuffle = true;
    status.title =
        "\xC3\x87"
        "a " +
        std::string(100, 'x');
    const std::vector<std::string> display = watch_display(status, 128, 40);
    ASSERT_EQ(display.size(), 3u);
    EXPECT_EQ(display[0],
              "\xC3\x87"
              "a " +
                  std::string(36, 'x'));  // 39 characters
    EXPECT_EQ(display[1], "[######------------------]  0:50 / 3:20");
    EXPECT_EQ(display[2], "paused   volume 128 of 255   shuffle on");
}

}  // namespace
}  // namespace tessel::phone
