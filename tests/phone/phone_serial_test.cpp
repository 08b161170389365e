// The phone's side over a real serial line: a pseudo-terminal whose far end plays the PC
// from a script. Checks the bytes each command puts on the wire, that replies are read to
// their end and no further, and that a missing or broken reply ends in an error, not a hang.

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/transport/serial_peer.h"
#include "tools/phone/command_line.h"
#include "tools/phone/phone_session.h"
#include "transport/bluetooth_connection.h"

namespace tessel::phone {
namespace {

using clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace std::string_literals;

constexpr milliseconds generous(5000);  // for bytes already on their way

// One request the PC expects and what it answers, in pieces sent with pauses between them.
struct scripted_step {
    std::size_t request_size;
    std::vector<std::string> reply_pieces;
    milliseconds pause{0};  // before each piece
};

class phone_serial_test : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!peer.unavailable_reason().empty()) {
            GTEST_SKIP() << peer.unavailable_reason();
        }
        port.set_port_name(string8(peer.port_name()));
        ASSERT_TRUE(port.open());
    }

    void TearDown() override {
        if (pc.joinable()) {
            pc.join();
        }
    }

    // The PC's side: takes each request whole, records it, then answers.
    void play_pc(std::vector<scripted_step> script) {
        pc = std::thread([this, script = std::move(script)] {
            for (const scripted_step& step : script) {
                received.push_back(receive_request(step.request_size));
                for (const std::string& piece : step.reply_pieces) {
                    std::this_thread::sleep_for(step.pause);
                    peer.send(piece);
                }
            }
        });
    }

    // The whole request. Between two runs of the program no one holds the line open, and the
    // pseudo-terminal then reports a hang-up that ends a read early: read on.
    std::string receive_request(std::size_t size) {
        std::string request;
        const clock::time_point deadline = clock::now() + generous;
        while (request.size() < size && clock::now() < deadline) {
            const std::string got = peer.receive(size - request.size(), milliseconds(200));
            if (got.empty()) {
                std::this_thread::sleep_for(milliseconds(10));
            }
            request += got;
        }
        return request;
    }

    exchange_result run(phone_session& session, const std::vector<std::string>& words) {
        const command_info& command = *find_command(words.front());
        const std::vector<std::string> args(words.begin() + 1, words.end());
        encoded_request request = encode_request(command, args);
        EXPECT_EQ(request.error, "");
        return session.run(command, std::move(request.bytes));
    }

    test::serial_peer peer;
    bluetooth_connection port;
    std::thread pc;
    std::vector<std::string> received;  // written by the PC thread, read after join
};

std::string hex(const std::string& bytes) {
    return hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST_F(phone_serial_test, EveryCommandPutsItsTableBytesOnTheWire) {
    struct wire_case {
        std::vector<std::string> words;
        std::string request_hex;
        std::string reply;
    };
    const std::string status = "\x01\x00\x00\x01\x2C\x00\x00\x00\x05\x00\x00"s;
    const std::vector<wire_case> cases = {
        {{"play", "C:\\a.mp3"}, "50 4C 41 59 00 08 43 3A 5C 61 2E 6D 70 33", ""},
        {{"ladd", "\xC3\xA9"}, "4C 41 44 44 00 02 C3 A9", ""},
        {{"stop"}, "53 54 4F 50", ""},
        {{"paus"}, "50 41 55 53", ""},
        {{"strt"}, "53 54 52 54", ""},
        {{"next"}, "4E 45 58 54", ""},
        {{"prev"}, "50 52 45 56", ""},
        {{"fade"}, "46 41 44 45", ""},
        {{"ffwd"}, "46 46 57 44", ""},
        {{"rwnd"}, "52 57 4E 44", ""},
        {{"seek", "300"}, "53 45 45 4B 00 00 01 2C", ""},
        {{"slct", "256"}, "53 4C 43 54 01 00", ""},
        {{"volm", "200"}, "56 4F 4C 4D C8", ""},
        {{"shfl", "on"}, "53 48 46 4C 01", ""},
        {{"rept", "off"}, "52 45 50 54 00", ""},
        {{"sten"}, "53 54 45 4E", ""},
        {{"rmal"}, "52 4D 41 4C", ""},
        {{"chck"}, "43 48 43 4B", "Y"},
        {{"inf2"}, "49 4E 46 32", "INFOACK"s + status + "t\0"s},
        {{"gvol"}, "47 56 4F 4C", "GVOLACK\xFF"},
        {{"vers"}, "56 45 52 53", "VERSACK\x01\x49"},
        {{"plen"}, "50 4C 45 4E", "\x00\x03"s},
        {{"dinf"}, "44 49 4E 46", "DINFACK"s + std::string(12, '\x01')},
        {{"finf", "x"}, "46 49 4E 46 00 01 78", "FINFACK\x00\x00\x00\x09"s},
        {{"plst"}, "50 4C 53 54", "PLSTACK\x00\x00"s + "a\n" + std::string(4, '\0')},
        {{"list"},
         "4C 49 53 54",
         "LISTACK\x01r\0\x22"
         "f\0\xFF\0"s},
        {{"dlst", "C:\\"}, "44 4C 53 54 00 03 43 3A 5C", "LISTACK\xFF\0"s},
        {{"info"}, "49 4E 46 4F", "INFOACK"s + status + "title"},
    };
    ASSERT_EQ(cases.size(), all_commands().size());
    std::vector<scripted_step> script;
    for (const wire_case& c : cases) {
        script.push_back({(c.request_hex.size() + 1) / 3, {c.reply}});
    }
    play_pc(script);

    phone_session session(port, session_options{generous, milliseconds(250), milliseconds(100)});
    for (const wire_case& c : cases) {
        const exchange_result result = run(session, c.words);
        EXPECT_EQ(result.outcome, exchange_outcome::ok) << c.words[0] << ": " << result.error;
        EXPECT_EQ(hex(std::string(result.reply.begin(), result.reply.end())), hex(c.reply))
            << c.words[0];
        const bool draws_reply = find_command(c.words[0])->reply != reply_kind::none;
        EXPECT_EQ(result.value.has_value(), draws_reply) << c.words[0];
    }
    pc.join();
    ASSERT_EQ(received.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(hex(received[i]), cases[i].request_hex) << cases[i].words[0];
    }
}

TEST_F(phone_serial_test, InfoTitleArrivingInPiecesIsReadWhole) {
    const std::string fixed = "INFOACK\x02\x00\x00\x00\x10\x00\x00\x00\x01\x01\x01"s;
    // The PC answers INFO late; the title comes in two pieces closer together than the quiet gap.
    play_pc({{4, {fixed + "Hello, ", "world"}, milliseconds(60)}, {4, {"VERSACK\x01\x49"}}});
    phone_session session(port, session_options{generous, milliseconds(400), milliseconds(100)});
    const exchange_result info = run(session, {"info"});
    ASSERT_EQ(info.outcome, exchange_outcome::ok) << info.error;
    EXPECT_EQ(std::get<status_reply>(*info.value).title, "Hello, world");
    // The next reply is not mistaken for more title.
    const exchange_result vers = run(session, {"vers"});
    ASSERT_EQ(vers.outcome, exchange_outcome::ok) << vers.error;
    EXPECT_EQ(std::get<version_reply>(*vers.value).minor, 73);
}

TEST_F(phone_serial_test, TooLongPlaylistEndsOnSilenceEmptyOneOnItsEndMark) {
    play_pc({{4, {"PLSTACK\0\0\0\0"s}}, {4, {"PLSTACK\0\0\0\0"s, "\0\0"s}, milliseconds(50)}});
    phone_session session(port, session_options{generous, milliseconds(400), milliseconds(100)});
    const exchange_result too_long = run(session, {"plst"});
    ASSERT_EQ(too_long.outcome, exchange_outcome::ok) << too_long.error;
    EXPECT_TRUE(std::get<playlist_reply>(*too_long.value).too_long);
    const exchange_result empty = run(session, {"plst"});
    ASSERT_EQ(empty.outcome, exchange_outcome::ok) << empty.error;
    EXPECT_FALSE(std::get<playlist_reply>(*empty.value).too_long);
    EXPECT_EQ(empty.reply.size(), 13u);
}

TEST_F(phone_serial_test, ReplyStoppingHalfWayIsAnErrorWithinTheLimit) {
    const milliseconds limit(300);
    play_pc({{4, {"DINFACK\x00\x00"s}}, {4, {}}, {4, {"GVOLACJ"}}});
    phone_session session(port, session_options{limit, milliseconds(100), milliseconds(100)});

    clock::time_point start = clock::now();
    const exchange_result cut = run(session, {"dinf"});
    EXPECT_EQ(cut.outcome, exchange_outcome::cut_off);
    EXPECT_EQ(cut.reply.size(), 9u);
    EXPECT_NE(cut.error.find("9 bytes"), std::string::npos) << cut.error;
    EXPECT_LT(clock::now() - start, limit * 10);

    start = clock::now();
    const exchange_result silent = run(session, {"gvol"});
    EXPECT_EQ(silent.outcome, exchange_outcome::no_reply);
    EXPECT_GE(clock::now() - start, limit);
    EXPECT_LT(clock::now() - start, limit * 10);

    const exchange_result wrong = run(session, {"gvol"});
    EXPECT_EQ(wrong.outcome, exchange_outcome::bad_reply);
    EXPECT_NE(wrong.error.find("GVOLACK"), std::string::npos) << wrong.error;
}

#if !defined(_WIN32)
// Only a pseudo-terminal's far end can hang up by itself.
TEST_F(phone_serial_test, PortFailingMidReplyIsReportedAsSuch) {
    // The PC's end hangs up half-way through a reply.
    pc = std::thread([this] {
        received.push_back(peer.receive(4, generous));
        peer.send("PLSTACK\x00\x01"s);
        std::this_thread::sleep_for(milliseconds(50));
        peer.hang_up();
    });
    phone_session session(port, session_options{generous, milliseconds(250), milliseconds(100)},
                          [this] { return port.has_failed(); });
    const clock::time_point start = clock::now();
    const exchange_result result = run(session, {"plst"});
    EXPECT_EQ(result.outcome, exchange_outcome::port_failed) << result.error;
    EXPECT_EQ(result.reply.size(), 9u);
    // Well before the time limit: a failed port is not a quiet line.
    EXPECT_LT(clock::now() - start, generous);
}
#endif

TEST_F(phone_serial_test, CommandsAreSentNoFasterThanThePcReads) {
    play_pc({{4, {}}, {4, {}}, {4, {}}});
    const milliseconds pace(100);
    phone_session session(port, session_options{generous, milliseconds(250), pace});
    const clock::time_point start = clock::now();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run(session, {"next"}).outcome, exchange_outcome::ok);
    }
    // The first goes at once, each later one a full pace after the one before.
    EXPECT_GE(clock::now() - start, 2 * pace);
}

TEST_F(phone_serial_test, DrainWaitsForTheLineToGoQuiet) {
    play_pc({{4, {"left", "over", "bytes"}, milliseconds(50)}});
    phone_session session(port, session_options{generous, milliseconds(300), milliseconds(100)});
    const exchange_result sent = run(session, {"stop"});
    EXPECT_EQ(sent.outcome, exchange_outcome::ok);
    EXPECT_EQ(session.drain(), 13u);
}

#if !defined(_WIN32)
TEST_F(phone_serial_test, BytesFromBeforeTheSessionAreNotTakenForAReply) {
    ASSERT_TRUE(peer.send("K\x01\x49"));
    const clock::time_point deadline = clock::now() + generous;
    while (port.input_waiting() < 3 && clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_EQ(port.input_waiting(), 3u);
    port.discard_input();
    EXPECT_EQ(port.input_waiting(), 0u);
    play_pc({{4, {"Y"}}});
    phone_session session(port, session_options{generous, milliseconds(250), milliseconds(100)});
    const exchange_result check = run(session, {"check"});
    EXPECT_EQ(check.outcome, exchange_outcome::ok) << check.error;
}

// The program itself: exit codes and output, with the PC played on the same line.
class phone_program_test : public phone_serial_test {
  protected:
    void SetUp() override {
        if (!peer.unavailable_reason().empty()) {
            GTEST_SKIP() << peer.unavailable_reason();
        }
    }

    int run_program(const std::string& arguments, std::string& output) {
        const std::string command = std::string(TESSEL_PHONE_PROGRAM) + " " + arguments;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            ADD_FAILURE() << "cannot start " << command;
            return -1;
        }
        char chunk[4096];
        std::size_t got = 0;
        while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            output.append(chunk, got);
        }
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(phone_program_test, SeveralCommandsAsJsonLines) {
    play_pc({{4, {"GVOLACK\x80"}}, {8, {}}, {4, {"Y"}}});
    std::string output;
    EXPECT_EQ(run_program("--json " + peer.port_name() + " gvol seek 5:00 check 2>&1", output),
              exit_ok);
    EXPECT_EQ(output, R"({"command":"GVOL","request":"47564F4C","reply":"47564F4C41434B80",)"
                      R"("value":{"type":"volume","level":128}})"
                      "\n"
                      R"({"command":"SEEK","request":"5345454B0000012C","reply":null})"
                      "\n"
                      R"({"command":"CHCK","request":"4348434B","reply":"59",)"
                      R"("value":{"type":"check","listening":true}})"
                      "\n");
    pc.join();
    EXPECT_EQ(hex(received[1]), "53 45 45 4B 00 00 01 2C");
}

TEST_F(phone_program_test, ExitCodesTellWhatWentWrong) {
    std::string output;
    play_pc({{4, {"VERSACK\x01"}}, {4, {"VERSACX"}}});
    EXPECT_EQ(run_program("--timeout 300 " + peer.port_name() + " vers 2>&1", output),
              exit_no_reply);
    EXPECT_NE(output.find("stopped after 8 bytes"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(run_program(peer.port_name() + " vers 2>&1", output), exit_bad_reply);
    EXPECT_NE(output.find("VERSACK"), std::string::npos) << output;

    EXPECT_EQ(run_program(peer.port_name() + " volume 256 2>&1", output), exit_usage);
    EXPECT_EQ(run_program(peer.port_name() + " dance 2>&1", output), exit_usage);
    EXPECT_EQ(run_program("/nonexistent/port info 2>&1", output), exit_port);
}

TEST_F(phone_program_test, InteractivePromptKeepsHistory) {
    play_pc({{4, {"GVOLACK\x10"}}, {4, {"GVOLACK\x11"}}});
    std::string output;
    EXPECT_EQ(run_program(peer.port_name() + " <<'EOF' 2>&1\ngvol\nhistory\n!1\nbogus\nquit\nEOF",
                          output),
              exit_ok);
    EXPECT_NE(output.find("volume: 16 of 255"), std::string::npos) << output;
    EXPECT_NE(output.find("  1  gvol"), std::string::npos) << output;
    EXPECT_NE(output.find("volume: 17 of 255"), std::string::npos) << output;
    EXPECT_NE(output.find("unknown command 'bogus'"), std::string::npos) << output;
}

// A long LIST with a person watching: a line on the terminal (standard error) shows how the
// reply comes in and is gone at its end. Standard output is byte for byte what it is without a
// terminal, and a pipe gets no progress.
TEST_F(phone_program_test, LongListShowsProgressOnATerminalOnly) {
    test::serial_peer terminal;
    if (!terminal.unavailable_reason().empty()) {
        GTEST_SKIP() << terminal.unavailable_reason();
    }
    std::string tree = "\x01root\0"s;
    for (int i = 0; i < 300; ++i) {
        const char flags = i == 0 ? '\x12' : i == 299 ? '\x42' : '\x32';
        tree += std::string(1, flags) + "track " + std::to_string(i) + ".mp3" + '\0';
    }
    const std::string reply = "LISTACK" + tree + "\xFF\0"s;
    // Twelve pieces, 100 ms apart: more than a second, time enough for the line to show.
    std::vector<std::string> pieces;
    const std::size_t piece = reply.size() / 12 + 1;
    for (std::size_t at = 0; at < reply.size(); at += piece) {
        pieces.push_back(reply.substr(at, piece));
    }
    play_pc({{4, pieces, milliseconds(100)}, {4, pieces, milliseconds(100)}});

    std::string with_terminal;
    EXPECT_EQ(run_program(peer.port_name() + " list 2>" + terminal.port_name(), with_terminal),
              exit_ok);
    const std::string drawn = terminal.receive(65536, milliseconds(500));
    std::string with_pipe;
    EXPECT_EQ(run_program(peer.port_name() + " list 2>&1", with_pipe), exit_ok);
    EXPECT_EQ(with_terminal, with_pipe);
    EXPECT_NE(with_pipe.find("track 299.mp3"), std::string::npos) << with_pipe;

    EXPECT_NE(drawn.find("LIST "), std::string::npos) << drawn;
    EXPECT_NE(drawn.find(" entries "), std::string::npos) << drawn;
    // Each drawing starts with a carriage return; the last one is blanks over the widest line.
    std::vector<std::string> drawings;
    for (std::size_t at = 0; at < drawn.size();) {
        const std::size_t next = drawn.find('\r', at + 1);
        drawings.push_back(drawn.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    ASSERT_GE(drawings.size(), 3u) << drawn;
    EXPECT_EQ(drawings.back(), "\r");
    const std::string& blanks = drawings[drawings.size() - 2];
    EXPECT_EQ(blanks.find_first_not_of(' ', 1), std::string::npos) << drawn;
    for (const std::string& drawing : drawings) {
        EXPECT_LE(drawing.size(), blanks.size()) << drawing;
    }
}

#endif  // !_WIN32

}  // namespace
}  // namespace tessel::phone
