// Command words into request bytes, and the command line into options and commands.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/phone/command_line.h"
#include "tools/phone/command_table.h"

namespace tessel::phone {
namespace {

using words = std::vector<std::string>;

std::string encoded(const char* word, const words& args) {
    const command_info* command = find_command(word);
    if (command == nullptr) {
        return "unknown";
    }
    const encoded_request request = encode_request(*command, args);
    return request.error.empty() ? hex_bytes(request.bytes) : "error: " + request.error;
}

TEST(CommandTable, TwentyEightDistinctCodesFoundByCodeOrWordInAnyCase) {
    const auto commands = all_commands();
    ASSERT_EQ(commands.size(), 28u);
    for (const command_info& command : commands) {
        EXPECT_EQ(find_command(command.code), &command);
        if (!command.alias.empty()) {
            EXPECT_EQ(find_command(command.alias), &command);
        }
        for (const command_info& other : commands) {
            EXPECT_TRUE(&other == &command || other.code != command.code);
        }
    }
    EXPECT_EQ(find_command("Volume")->code, "VOLM");
    EXPECT_EQ(find_command("check")->code, "CHCK");
    EXPECT_EQ(find_command("nope"), nullptr);
    EXPECT_EQ(token_of(*find_command("dlst")), "LISTACK");
    EXPECT_EQ(token_of(*find_command("inf2")), "INFOACK");
    EXPECT_EQ(token_of(*find_command("plen")), "");
}

TEST(RequestBytes, IntegersGoBigEndian) {
    EXPECT_EQ(encoded("seek", {"300"}), "53 45 45 4B 00 00 01 2C");
    EXPECT_EQ(encoded("seek", {"5:00"}), "53 45 45 4B 00 00 01 2C");
    EXPECT_EQ(encoded("seek", {"1:00:01"}), "53 45 45 4B 00 00 0E 11");
    EXPECT_EQ(encoded("seek", {"2147483647"}), "53 45 45 4B 7F FF FF FF");
    EXPECT_EQ(encoded("select", {"256"}), "53 4C 43 54 01 00");
    EXPECT_EQ(encoded("slct", {"65535"}), "53 4C 43 54 FF FF");
    EXPECT_EQ(encoded("volume", {"200"}), "56 4F 4C 4D C8");
    EXPECT_EQ(encoded("shuffle", {"on"}), "53 48 46 4C 01");
    EXPECT_EQ(encoded("repeat", {"OFF"}), "52 45 50 54 00");
    EXPECT_EQ(encoded("info", {}), "49 4E 46 4F");
    EXPECT_EQ(encoded("chck", {}), "43 48 43 4B");
}

TEST(RequestBytes, ArgumentsOutOfRangeAreRefusedBeforeSending) {
    EXPECT_NE(encoded("seek", {"2147483648"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("seek", {"-1"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("seek", {"1:60"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("select", {"65536"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("volume", {"256"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("volume", {"12a"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("shuffle", {"2"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("stop", {"now"}).find("error"), std::string::npos);
    EXPECT_NE(encoded("play", {}).find("error"), std::string::npos);
}

TEST(RequestBytes, TextIsLengthPrefixedUtf8) {
    EXPECT_EQ(encoded("play", {"C:\\Music\\a.mp3"}),
              "50 4C 41 59 00 0E 43 3A 5C 4D 75 73 69 63 5C 61 2E 6D 70 33");
    EXPECT_EQ(encoded("ladd", {"\xC3\xA9"}), "4C 41 44 44 00 02 C3 A9");
    EXPECT_EQ(encoded("dlst", {""}), "44 4C 53 54 00 00");
    EXPECT_EQ(encoded("finf", {}), "46 49 4E 46 00 00");

    const std::string longest(65535, 'x');
    const command_info& play = *find_command("play");
    const encoded_request request = encode_request(play, words{longest});
    ASSERT_TRUE(request.error.empty());
    EXPECT_EQ(request.bytes.size(), 4u + 2u + 65535u);
    EXPECT_EQ(request.bytes[4], 0xFF);
    EXPECT_EQ(request.bytes[5], 0xFF);
    EXPECT_FALSE(encode_request(play, words{longest + "x"}).error.empty());
}

TEST(RequestBytes, RawRequests) {
    const encoded_request raw = encode_raw_request(words{"SEEK", "0000012c", "FF"});
    ASSERT_TRUE(raw.error.empty()) << raw.error;
    EXPECT_EQ(hex_bytes(raw.bytes), "53 45 45 4B 00 00 01 2C FF");
    EXPECT_FALSE(encode_raw_request(words{"SEEKX"}).error.empty());
    EXPECT_FALSE(encode_raw_request(words{"SEEK", "123"}).error.empty());
    EXPECT_FALSE(encode_raw_request(words{"SEEK", "zz"}).error.empty());
}

TEST(CommandPlan, WordsGroupIntoCommands) {
    const plan planned = plan_commands(words{"info", "gvol", "seek", "300", "finf", "plst", "finf",
                                             "C:\\x.mp3", "send", "ABCD", "01ff"});
    ASSERT_TRUE(planned.error.empty()) << planned.error;
    ASSERT_EQ(planned.commands.size(), 7u);
    EXPECT_EQ(planned.commands[2].args, words{"300"});
    // FINF's argument is optional: a command word after it is the next command.
    EXPECT_TRUE(planned.commands[3].args.empty());
    EXPECT_EQ(planned.commands[5].args, words{"C:\\x.mp3"});
    EXPECT_EQ(planned.commands[6].command, nullptr);
    EXPECT_EQ(planned.commands[6].args, (words{"ABCD", "01ff"}));

    EXPECT_FALSE(plan_commands(words{"info", "bogus"}).error.empty());
    EXPECT_FALSE(plan_commands(words{"seek"}).error.empty());
    // "fade" reads as hexadecimal but is a command.
    const plan raw_then_fade = plan_commands(words{"send", "INFO", "fade"});
    ASSERT_EQ(raw_then_fade.commands.size(), 2u);
    EXPECT_EQ(raw_then_fade.commands[1].command->code, "FADE");
}

TEST(CommandPlan, InteractiveLinesSplitOnBlanksWithQuotes) {
    EXPECT_EQ(*split_words("  play \"C:\\My Music\\a b.mp3\"  "),
              (words{"play", "C:\\My Music\\a b.mp3"}));
    EXPECT_EQ(*split_words("dlst 'D:\\x'\tinfo"), (words{"dlst", "D:\\x", "info"}));
    EXPECT_EQ(*split_words("dlst \"\""), (words{"dlst", ""}));
    EXPECT_FALSE(split_words("play \"C:\\open").has_value());
}

TEST(Options, PortCommandsAndLimits) {
    const parsed_options parsed =
        parse_options(words{"--json", "--timeout", "500", "--quiet=120", "/dev/pts/3", "info"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_TRUE(parsed.options->json);
    EXPECT_EQ(parsed.options->session.timeout.count(), 500);
    EXPECT_EQ(parsed.options->session.quiet.count(), 120);
    EXPECT_EQ(parsed.options->port, "/dev/pts/3");
    EXPECT_EQ(parsed.options->command_words, words{"info"});

    EXPECT_FALSE(parse_options(words{}).options);
    EXPECT_TRUE(parse_options(words{"--list-ports"}).options->list_ports) << "needs no port";
    EXPECT_FALSE(parse_options(words{"--timeout", "0", "COM4"}).options);
    EXPECT_FALSE(parse_options(words{"--timeout"}).options);
    EXPECT_FALSE(parse_options(words{"--verbose", "COM4"}).options);
    EXPECT_TRUE(parse_options(words{"--help"}).options->help);
    // Words after the port are commands, even if they look like options.
    EXPECT_EQ(parse_options(words{"COM4", "play", "--x"}).options->command_words,
              (words{"play", "--x"}));
}

}  // namespace
}  // namespace tessel::phone
