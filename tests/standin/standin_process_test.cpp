// The real stand-in player with the real component module, as separate processes: damaged
// settings files, the virtual serial cable, and the ways a run is stopped.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "standin/player/config_store.h"
#include "tests/standin/settings_records.h"
#include "tests/standin/test_audio.h"

namespace {

using standin::byte_vector;
using standin::test::settings_record;

struct finished {
    int status = -1;
    std::string output;
};

// A running player with its standard output and error read through one pipe.
class player_process {
  public:
    explicit player_process(const std::vector<std::string>& arguments, bool stdin_open = false) {
        int out[2];
        int in[2];
        if (pipe(out) != 0 || pipe(in) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            dup2(in[0], STDIN_FILENO);
            close(out[0]);
            close(in[1]);
            std::vector<char*> argv{const_cast<char*>(STANDIN_PROGRAM)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(STANDIN_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        output_fd_ = out[0];
        stdin_fd_ = in[1];
        if (!stdin_open) {
            close_stdin();
        }
    }

    ~player_process() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            finish();
        }
        close_stdin();
    }

    void close_stdin() {
        if (stdin_fd_ >= 0) {
            close(stdin_fd_);
            stdin_fd_ = -1;
        }
    }

    // Reads output until the text appears; false when the player ended first.
    bool wait_for(const std::string& text) {
        char buffer[512];
        while (output_.find(text) == std::string::npos) {
            const ssize_t n = read(output_fd_, buffer, sizeof buffer);
            if (n <= 0) {
                return false;
            }
            output_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    void signal(int number) { kill(pid_, number); }
    const std::string& output() const { return output_; }

    finished finish() {
        wait_for(std::string(1, '\0'));  // reads to the end
        close(output_fd_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return finished{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), output_};
    }

  private:
    pid_t pid_ = -1;
    int output_fd_ = -1;
    int stdin_fd_ = -1;
    std::string output_;
};

// Opens the phone's end of the virtual serial cable, whose path the player printed; -1 when it
// cannot.
int open_phone_end(const std::string& output) {
    const std::string marker = "phone end ";
    const std::size_t at = output.find(marker);
    if (at == std::string::npos) {
        return -1;
    }
    const std::string phone_end =
        output.substr(at + marker.size(), output.find(',', at) - at - marker.size());
    return open(phone_end.c_str(), O_RDWR | O_NOCTTY);
}

finished run(const std::vector<std::string>& arguments) {
    return player_process(arguments).finish();
}

void write_bytes(const std::string& path, const byte_vector& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

byte_vector read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return byte_vector{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool contains(const byte_vector& bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

constexpr corvina::guid auto_connect_setting{
    0xD785C63A, 0x0D05, 0x4DBD, {0xB0, 0x86, 0x46, 0xF2, 0xD9, 0x52, 0x68, 0x40}};
constexpr corvina::guid title_format_setting{
    0x3C5362C6, 0x5B43, 0x4B3F, {0xA7, 0xC0, 0x95, 0x41, 0x4A, 0x4F, 0x63, 0xC0}};

class StandinProcess : public ::testing::Test {
  protected:
    // A music folder of albums, each with its tracks, and settings that connect at start-up.
    std::string music_with_albums_and_auto_connect(int albums, int tracks_each) {
        const std::string music = folder / "music";
        for (int album = 0; album < albums; ++album) {
            const std::filesystem::path dir =
                std::filesystem::path(music) / ("album " + std::to_string(album));
            std::filesystem::create_directories(dir);
            for (int track = 0; track < tracks_each; ++track) {
                std::ofstream(dir / ("track " + std::to_string(track) + ".mp3")) << "x";
            }
        }
        write_bytes(config, settings_record(auto_connect_setting, std::string("\x01\0\0\0", 4)));
        return music;
    }

    // Stops the player with SIGTERM: it must end within 2 s, cleanly, with the music folder in
    // its saved settings.
    finished stop_promptly(player_process& player, int phone, const std::string& music) {
        const auto stop = std::chrono::steady_clock::now();
        player.signal(SIGTERM);
        finished result = player.finish();
        EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(2));
        close(phone);
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(contains(read_bytes(config), music));
        return result;
    }

    standin::test::scratch_folder folder{"process"};
    std::string config = folder / "settings.cfg";
};

}  // namespace

TEST_F(StandinProcess, ATruncatedSettingsFileKeepsWhatCameBeforeTheDamage) {
    byte_vector blob = settings_record(standin::com_port_setting, "/dev/ttyKEPT");
    byte_vector cut = settings_record(title_format_setting, "%title% and more text");
    cut.resize(cut.size() - 5);  // the record claims more bytes than the file holds
    blob.insert(blob.end(), cut.begin(), cut.end());
    write_bytes(config, blob);

    const finished result = run({"--config", config, "--time-limit", "0.2"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("are damaged at byte"), std::string::npos) << result.output;
    const byte_vector saved = read_bytes(config);
    EXPECT_TRUE(contains(saved, "/dev/ttyKEPT"));
    EXPECT_TRUE(contains(saved, "%title% and more"));  // the part of the text that was there
    EXPECT_EQ(read_bytes(config + ".damaged"), blob);  // the damaged file is kept aside
}

TEST_F(StandinProcess, GarbageAndEmptySettingsFilesNeverCrashThePlayer) {
    byte_vector garbage;
    for (int i = 0; i < 1000; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    }
    for (const byte_vector& content : {garbage, byte_vector{}, byte_vector(19, 0xFF)}) {
        write_bytes(config, content);
        const finished result = run({"--config", config, "--time-limit", "0.1"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find("Terminating"), std::string::npos) << result.output;
    }
}

TEST_F(StandinProcess, TheVirtualCableIsForOneRunAndTheStoredPortStays) {
    write_bytes(config, settings_record(standin::com_port_setting, "/dev/ttyMINE"));
    finished result = run({"--config", config, "--virtual-port", "--time-limit", "0.1"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("phone end /dev/"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("component end /dev/"), std::string::npos);
    EXPECT_TRUE(contains(read_bytes(config), "/dev/ttyMINE"));

    // With no port stored before, none is stored after.
    std::filesystem::remove(config);
    result = run({"--config", config, "--virtual-port", "--time-limit", "0.1"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_FALSE(contains(read_bytes(config), "/dev/"));
    EXPECT_EQ(read_bytes(config).size(), 207u - 24);
}

TEST_F(StandinProcess, SigtermAndSigintStopTheRunCleanly) {
    for (const int number : {SIGTERM, SIGINT}) {
        player_process player({"--config", config, "--time-limit", "600"});
        ASSERT_TRUE(player.wait_for("Initializing"));
        player.signal(number);
        const finished result = player.finish();
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(
            result.output.find(number == SIGTERM ? "terminated (SIGTERM)" : "interrupted (SIGINT)"),
            std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find("settings saved"), std::string::npos);
    }
}

TEST_F(StandinProcess, TheEndOfStandardInputStopsTheRunWhenWatched) {
    player_process player({"--config", config, "--watch-stdin", "--time-limit", "600"}, true);
    ASSERT_TRUE(player.wait_for("Initializing"));
    player.close_stdin();
    const finished result = player.finish();
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("stopping: end of standard input"), std::string::npos)
        << result.output;
}

TEST_F(StandinProcess, FilesAndFoldersAreLoadedIntoTheNamedPlaylist) {
    std::filesystem::create_directories(folder.path() / "music" / "deeper");
    standin::test::write_silent_wav(folder.path() / "music" / "one.wav", 1);
    standin::test::write_silent_wav(folder.path() / "music" / "deeper" / "two.wav", 1);
    standin::test::write_silent_wav(folder.path() / "single.wav", 1);
    const finished result =
        run({"--config", config, "--playlist", "Phone", "--load", folder / "music",
             folder / "single.wav", "--play", "--time-limit", "0.1"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("playlist \"Phone\" holds 3 tracks"), std::string::npos)
        << result.output;
}

TEST_F(StandinProcess, AMissingComponentIsAClearFailure) {
    const finished result =
        run({"--config", config, "--component", folder / "nothing.so", "--time-limit", "0"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("cannot load the component"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(config));  // nothing ran, nothing written
}

// The phone asks for a large listing and a check, then stops reading (an app suspended with the
// link up): stopping the player still ends the run at once, with its settings saved.
TEST_F(StandinProcess, ThePhoneReachesTheComponentAndAPhoneThatStopsReadingCannotHoldTheStop) {
    const std::string music = music_with_albums_and_auto_connect(101, 100);
    player_process player({"--config", config, "--virtual-port", "--page-type", "1002=" + music,
                           "--time-limit", "600"});
    ASSERT_TRUE(player.wait_for("Activated"));
    const int phone = open_phone_end(player.output());
    ASSERT_GE(phone, 0) << player.output();

    // The reader thread hands the command to the main thread, which answers it.
    ASSERT_EQ(write(phone, "CHCK", 4), 4);
    pollfd ready{phone, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 10'000), 1);
    char answer = 0;
    EXPECT_EQ(read(phone, &answer, 1), 1);
    EXPECT_EQ(answer, 'Y');

    ASSERT_EQ(write(phone, "LISTCHCK", 8), 8);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the listing fills the line
    const finished result = stop_promptly(player, phone, music);
    EXPECT_NE(result.output.find("Terminating"), std::string::npos) << result.output;
}

// A music library on a slow network share (every folder takes 60 ms to list): the player is
// stopped in the middle of a LIST's walk and still ends at once, with its settings saved.
TEST_F(StandinProcess, AStopInTheMiddleOfAWalkOfASlowShareEndsTheRunAtOnce) {
    const std::string music = music_with_albums_and_auto_connect(100, 1);
    setenv("CORVINA_STANDIN_SEARCH_DELAY_MS", "60", 1);
    player_process player({"--config", config, "--virtual-port", "--page-type", "1002=" + music,
                           "--time-limit", "600"});
    unsetenv("CORVINA_STANDIN_SEARCH_DELAY_MS");
    ASSERT_TRUE(player.wait_for("Activated"));
    const int phone = open_phone_end(player.output());
    ASSERT_GE(phone, 0) << player.output();

    ASSERT_EQ(write(phone, "LIST", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the walk is under way
    const finished result = stop_promptly(player, phone, music);
    EXPECT_NE(result.output.find("settings saved"), std::string::npos) << result.output;
}

TEST_F(StandinProcess, SettingsChangedOnThePreferencesPageAreSaved) {
    const finished result =
        run({"--config", config, "--page-type", "1007=[%artist% - ]%title%", "--page-check",
             "1006=1", "--page-browse", "/srv/music", "--page-click", "1003", "--page-click",
             "1777", "--time-limit", "0.1"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("click 1777 failed"), std::string::npos) << result.output;
    const byte_vector saved = read_bytes(config);
    EXPECT_TRUE(contains(saved, "[%artist% - ]%title%"));
    EXPECT_TRUE(contains(saved, "H:\\mp3;/srv/music"));  // browsing adds a folder
    const byte_vector auto_connect_on =
        settings_record(auto_connect_setting, std::string("\x01\0\0\0", 4));
    EXPECT_NE(
        std::search(saved.begin(), saved.end(), auto_connect_on.begin(), auto_connect_on.end()),
        saved.end());
}
