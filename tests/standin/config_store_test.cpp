// The settings file and the configuration streams handed to the component.

#include <gtest/gtest.h>

#include <filesystem>

#include "standin/player/config_store.h"
#include "tests/standin/settings_records.h"
#include "tests/standin/test_audio.h"

namespace {

using namespace standin;
using test::settings_record;

constexpr corvina::guid other_setting{
    0x05E9A1C5, 0x7427, 0x4C79, {0xB8, 0x4F, 0xAA, 0x35, 0x8A, 0xC3, 0xDB, 0x6D}};

byte_vector join(std::initializer_list<byte_vector> parts) {
    byte_vector out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

class ConfigFile : public ::testing::Test {
  protected:
    std::string path(const char* name) const { return folder / name; }

    standin::test::scratch_folder folder{"config"};
};

}  // namespace

TEST_F(ConfigFile, AMissingFileReadsAsNothingAndAWrittenOneReadsBackWhole) {
    EXPECT_FALSE(read_config_file(path("none.cfg")).has_value());

    byte_vector blob =
        join({settings_record(com_port_setting, "COM4"), settings_record(other_setting, "")});
    blob.push_back(0);  // a zero byte inside must survive
    write_config_file(path("a.cfg"), blob);
    EXPECT_EQ(read_config_file(path("a.cfg")), blob);

    // Writing again replaces the file and leaves no temporary behind.
    write_config_file(path("a.cfg"), byte_vector{1, 2, 3});
    EXPECT_EQ(read_config_file(path("a.cfg")), (byte_vector{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(path("a.cfg.new")));
}

TEST_F(ConfigFile, AFailedWriteLeavesTheOldFileAndSaysWhy) {
    write_config_file(path("a.cfg"), byte_vector{7});
    std::filesystem::create_directory(path("a.cfg.new"));  // the temporary cannot be made
    EXPECT_THROW(write_config_file(path("a.cfg"), byte_vector{8}), std::runtime_error);
    EXPECT_EQ(read_config_file(path("a.cfg")), (byte_vector{7}));
}

TEST(ConfigReader, ReadsShortAtTheEndAndThrowsForExactReadsPastIt) {
    const byte_vector blob{1, 2, 3, 4, 5};
    memory_config_reader reader(blob);
    never_abort abort;
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(reader.read(buffer, 2, abort), 2u);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(reader.skip(1, abort), 1u);
    EXPECT_EQ(reader.read(buffer, 8, abort), 2u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(reader.read(buffer, 8, abort), 0u);
    EXPECT_EQ(reader.skip(10, abort), 0u);

    memory_config_reader again(blob);
    EXPECT_THROW(again.read_exactly(buffer, 6, abort), config_truncated);
    memory_config_reader skipping(blob);
    skipping.skip_exactly(5, abort);
    EXPECT_THROW(skipping.skip_exactly(1, abort), config_truncated);
}

TEST(ConfigWriter, CollectsEveryWrite) {
    memory_config_writer writer;
    never_abort abort;
    writer.write("ab", 2, abort);
    writer.write("c", 1, abort);
    writer.write("", 0, abort);
    EXPECT_EQ(writer.bytes(), (byte_vector{'a', 'b', 'c'}));
}

TEST(PortRecord, ReplacesEveryEarlierRecordAndComesLast) {
    const byte_vector blob =
        join({settings_record(com_port_setting, "COM4"), settings_record(other_setting, "x"),
              settings_record(com_port_setting, "COM9")});
    EXPECT_EQ(with_string_record(blob, com_port_setting, "/dev/pts/7"),
              join({settings_record(other_setting, "x"),
                    settings_record(com_port_setting, "/dev/pts/7")}));
    EXPECT_EQ(with_string_record({}, com_port_setting, "COM3"),
              settings_record(com_port_setting, "COM3"));
}

TEST(PortRecord, ADamagedTailStaysAfterTheNewRecord) {
    byte_vector whole = settings_record(other_setting, "x");
    byte_vector damaged = settings_record(com_port_setting, "COM4-and-more");
    damaged.resize(25);  // the record claims more than is there
    const byte_vector blob = join({whole, damaged});
    EXPECT_EQ(with_string_record(blob, com_port_setting, "COM5"),
              join({whole, settings_record(com_port_setting, "COM5"), damaged}));
}

TEST(PortRecord, IsFoundAndRemovedWholeRecordsOnly) {
    byte_vector damaged = settings_record(com_port_setting, "COM-cut");
    damaged.resize(22);
    const byte_vector blob =
        join({settings_record(com_port_setting, "COM1"), settings_record(other_setting, "x"),
              settings_record(com_port_setting, "COM2"), damaged});
    EXPECT_EQ(string_record(blob, com_port_setting), "COM2");  // the last whole one
    EXPECT_EQ(string_record(blob, other_setting), "x");
    EXPECT_FALSE(string_record(settings_record(other_setting, "x"), com_port_setting));
    EXPECT_EQ(without_record(blob, com_port_setting),
              join({settings_record(other_setting, "x"), damaged}));
}
