// The player's services as a component sees them: through the host API object and the
// interfaces' slots, with real files made on the spot.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "corvina/class_guids.h"
#include "standin/player/player_host.h"
#include "support/string8.h"
#include "tests/standin/test_audio.h"

namespace {

using namespace standin;
namespace guids = corvina::class_guids;

// The component-side objects the player calls back.
class all_items final : public corvina::selection_mask {
  public:
    bool get(std::size_t) const override { return true; }
    std::size_t find(bool value, std::size_t start, std::ptrdiff_t count) const override {
        return value ? start : start + static_cast<std::size_t>(count);
    }
};

class one_item final : public corvina::selection_mask {
  public:
    explicit one_item(std::size_t k) : k_(k) {}
    bool get(std::size_t i) const override { return i == k_; }
    std::size_t find(bool, std::size_t start, std::ptrdiff_t) const override { return start; }

  private:
    std::size_t k_;
};

class locations final : public corvina::string_list {
  public:
    explicit locations(std::vector<std::string> items) : items_(std::move(items)) {}
    std::size_t get_count() const override { return items_.size(); }
    const char* get_item(std::size_t i) const override { return items_[i].c_str(); }

  private:
    std::vector<std::string> items_;
};

class tracks final : public corvina::track_list {
  public:
    ~tracks() { remove_all(); }
    std::size_t get_count() const override { return items_.size(); }
    corvina::track* get_item(std::size_t i) const override { return items_[i]; }
    void add_item(corvina::track* item) override {
        item->service_add_ref();
        items_.push_back(item);
    }
    void remove_all() override {
        for (corvina::track* item : items_) {
            item->service_release();
        }
        items_.clear();
    }

  private:
    std::vector<corvina::track*> items_;
};

class collect_items final : public corvina::item_callback {
  public:
    bool on_item(std::size_t index, corvina::track* item, bool) override {
        seen.emplace_back(index, item->get_location().get_path());
        return seen.size() < stop_after;
    }
    std::vector<std::pair<std::size_t, std::string>> seen;
    std::size_t stop_after = 100;
};

class PlayerHostTest : public ::testing::Test {
  protected:
    PlayerHostTest() : player(settings()) {
        list = player.playlists().create_playlist("Default");
        test::write_silent_wav(files.path() / "plain.wav", 2);
    }

    player_host_settings settings() {
        player_host_settings s;
        s.clock = [this] { return now; };
        s.random_seed = 7;
        s.console = [this](std::string_view line) { lines.emplace_back(line); };
        return s;
    }

    template <class T>
    service_ptr<T> service(const corvina::guid& cls) {
        corvina::host_api& api = player.api();
        service_ptr<corvina::service_base> base;
        EXPECT_TRUE(api.create_instance(base.receive(), api.find_class(cls), 0));
        return service_ptr<T>(static_cast<T*>(base.get()));
    }

    // Imports locations and inserts them at the end of the playlist, as a component would.
    std::size_t add(std::vector<std::string> where) {
        auto import = service<corvina::location_import_service>(guids::location_import_service);
        tracks made;
        if (!import->process_locations(locations(std::move(where)), made, true, nullptr, nullptr,
                                       nullptr)) {
            return no_index;
        }
        auto playlists = service<corvina::playlist_service>(guids::playlist_service);
        return playlists->playlist_insert_items(list, no_index, made, all_items());
    }

    std::string title_of(std::size_t index, const char* script) {
        auto formats = service<corvina::title_format_service>(guids::title_format_service);
        service_ptr<corvina::service_base> compiled;
        corvina::title_script* raw = nullptr;
        formats->compile(raw, script);
        compiled.attach(raw);
        tessel::string8 out;
        player.playlists().item(list, index)->format_title(nullptr, out, raw, nullptr);
        return out.get_ptr();
    }

    double now = 0;
    std::vector<std::string> lines;
    test::scratch_folder files{"player_host"};
    player_host player;
    std::size_t list = 0;
};

}  // namespace

TEST_F(PlayerHostTest, EveryServiceIsFoundOnceByItsClassGuid) {
    corvina::host_api& api = player.api();
    for (const corvina::guid& cls :
         {guids::console, guids::version_info, guids::menu_commands, guids::playlist_service,
          guids::playback_service, guids::title_format_service, guids::location_import_service}) {
        const auto handle = api.find_class(cls);
        EXPECT_EQ(api.instance_count(handle), 1u);
        corvina::service_base* out = nullptr;
        EXPECT_FALSE(api.create_instance(out, handle, 1));
        ASSERT_TRUE(api.create_instance(out, handle, 0));
        corvina::service_base* same = nullptr;
        EXPECT_TRUE(out->service_query(same, cls));  // answers its own class
        EXPECT_FALSE(out->service_query(same, guids::initquit));
        same->service_release();
        out->service_release();
    }
    EXPECT_EQ(api.instance_count(api.find_class(guids::initquit)), 0u);
    EXPECT_TRUE(api.is_main_thread());
    bool other_thread_answer = true;
    std::thread([&] { other_thread_answer = api.is_main_thread(); }).join();
    EXPECT_FALSE(other_thread_answer);
}

TEST_F(PlayerHostTest, ConsoleLinesArriveWholeFromManyThreads) {
    auto console = service<corvina::console>(guids::console);
    console->print("one line");
    console->print("two lines", 3);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&console, t] {
            for (int i = 0; i < 50; ++i) {
                console->print(("writer " + std::to_string(t)).c_str());
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    ASSERT_EQ(lines.size(), 202u);
    EXPECT_EQ(lines[0], "one line");
    EXPECT_EQ(lines[1], "two");
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("writer ", 0), 0u);
        EXPECT_EQ(lines[i].size(), 8u);
    }
}

TEST_F(PlayerHostTest, TheHelpCommandSaysWhatItWouldOpen) {
    auto menu = service<corvina::menu_commands>(guids::menu_commands);
    ASSERT_EQ(menu->get_command_count(), 1u);
    EXPECT_TRUE(menu->command_guid(0) == help_command_guid);
    menu->execute(0, nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Help: would open https://", 0), 0u);
    auto version = service<corvina::version_info>(guids::version_info);
    EXPECT_STREQ(version->get_version_string(), player_version_text);
}

TEST_F(PlayerHostTest, ImportTakesExistingFilesAndFoldersOnly) {
    std::filesystem::create_directories(files.path() / "album" / "cd2");
    test::write_silent_wav(files.path() / "album" / "b.wav", 1);
    test::write_silent_wav(files.path() / "album" / "a.wav", 1);
    test::write_silent_wav(files.path() / "album" / "cd2" / "c.wav", 1);
    std::ofstream(files.path() / "album" / "notes.txt") << "not audio";

    EXPECT_EQ(add({"file://" + (files / "plain.wav")}), 0u);
    EXPECT_EQ(add({"file://" + (files / "album")}), 1u);
    EXPECT_EQ(add({"file://" + (files / "missing.wav"), "http://example.invalid/a.mp3"}), no_index);
    const playlist* p = player.playlists().at(list);
    ASSERT_EQ(p->items.size(), 4u);
    EXPECT_EQ(p->items[0].track->path(), files / "plain.wav");
    EXPECT_NE(p->items[1].track->path().find("a.wav"), std::string::npos);
    EXPECT_NE(p->items[2].track->path().find("b.wav"), std::string::npos);
    EXPECT_NE(p->items[3].track->path().find("c.wav"), std::string::npos);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("no such file"), std::string::npos);
    EXPECT_NE(lines[1].find("only file:// locations"), std::string::npos);
}

#ifndef _WIN32
TEST_F(PlayerHostTest, BackslashesSeparateFoldersAndThePathIsKeptAsGiven) {
    std::string windows_style = files / "plain.wav";
    std::replace(windows_style.begin(), windows_style.end(), '/', '\\');
    EXPECT_EQ(add({"file://" + windows_style}), 0u);
    EXPECT_EQ(player.playlists().item(list, 0)->path(), windows_style);
    EXPECT_EQ(title_of(0, "%_filename_ext%"), "plain.wav");
}
#endif

TEST_F(PlayerHostTest, TracksAreFreedWithTheirLastReference) {
    add({"file://" + (files / "plain.wav")});
    corvina::track* track = player.playlists().item(list, 0);
    track->service_add_ref();
    auto playlists = service<corvina::playlist_service>(guids::playlist_service);
    EXPECT_TRUE(playlists->playlist_remove_items(list, all_items()));
    // The playlist let go; this reference is the last one.
    EXPECT_EQ(track->service_release(), 0);
}

TEST_F(PlayerHostTest, TitlesOfAnUntaggedFileComeFromItsName) {
    add({"file://" + (files / "plain.wav")});
    EXPECT_EQ(title_of(0, "$if2(%artist% - %title%, %_filename_ext%)"), "plain.wav");
    EXPECT_EQ(title_of(0, "%_filename% [%album%]"), "plain ");
    auto formats = service<corvina::title_format_service>(guids::title_format_service);
    corvina::title_script* broken = nullptr;
    EXPECT_FALSE(formats->compile(broken, "$if2(%artist%"));
    ASSERT_NE(broken, nullptr);
    tessel::string8 out;
    player.playlists().item(list, 0)->format_title(nullptr, out, broken, nullptr);
    EXPECT_NE(std::string(out.get_ptr()).find("title format error"), std::string::npos);
    EXPECT_EQ(broken->service_release(), 0);
}

#ifndef _WIN32
TEST_F(PlayerHostTest, TitlesAndInformationOfATaggedFileComeFromItsTags) {
    test::write_silent_wav(files.path() / "tagged.wav", 3);
    ASSERT_TRUE(
        test::write_tags(files.path() / "tagged.wav", {{"artist", "Artist"}, {"title", "Title"}}));
    test::write_silent_wav(files.path() / "unicode.wav", 1);
    ASSERT_TRUE(
        test::write_tags(files.path() / "unicode.wav",
                         {{"artist", "Björk"}, {"title", "Jóga ♪"}, {"album", "Хомогеник"}}));
    add({"file://" + (files / "tagged.wav"), "file://" + (files / "unicode.wav")});
    const char* script = "$if2(%artist% - %title%, %_filename_ext%)";
    EXPECT_EQ(title_of(0, script), "Artist - Title");
    EXPECT_EQ(title_of(1, script), "Björk - Jóga ♪");
    EXPECT_EQ(title_of(1, "$upper(%album%) %_length%"), "ХОМОГЕНИК 0:01");

    struct record final : corvina::info_record {
        void reset() override { technical.clear(); }
        void set_length(double seconds) override { length = seconds; }
        void add_meta(const char*, const char*) override {}
        void add_technical(const char* name, const char* value) override {
            technical[name] = value;
        }
        double length = -1;
        std::map<std::string, std::string> technical;
    } info;
    corvina::track* track = player.playlists().item(list, 0);
    track->lock_info();
    EXPECT_TRUE(track->get_info(info));
    EXPECT_DOUBLE_EQ(track->get_info_locked()->get_length(), 3.0);
    track->unlock_info();
    EXPECT_DOUBLE_EQ(info.length, 3.0);
    EXPECT_EQ(info.technical["bitrate"], "128");  // 8 kHz, 16 bits, mono
}
#endif

TEST_F(PlayerHostTest, PlaylistServiceEnumeratesNamesAndPlaysInAnyPlaylist) {
    for (int i = 0; i < 3; ++i) {
        add({"file://" + (files / "plain.wav")});
    }
    const std::size_t other = player.playlists().create_playlist("Other");
    auto playlists = service<corvina::playlist_service>(guids::playlist_service);
    EXPECT_EQ(playlists->get_playlist_count(), 2u);
    tessel::string8 name;
    EXPECT_TRUE(playlists->playlist_get_name(other, name));
    EXPECT_STREQ(name.get_ptr(), "Other");
    EXPECT_FALSE(playlists->playlist_get_name(5, name));

    collect_items callback;
    playlists->playlist_enum_items(list, callback, one_item(1));
    ASSERT_EQ(callback.seen.size(), 1u);
    EXPECT_EQ(callback.seen[0].first, 1u);
    collect_items first_only;
    first_only.stop_after = 1;
    playlists->playlist_enum_items(list, first_only, all_items());
    EXPECT_EQ(first_only.seen.size(), 1u);

    EXPECT_TRUE(playlists->playlist_play_item(list, 2));
    playlists->set_active_playlist(other);
    std::size_t where_list = 9;
    std::size_t where_item = 9;
    EXPECT_TRUE(playlists->get_playing_item_location(&where_list, &where_item));
    EXPECT_EQ(where_list, list);
    EXPECT_EQ(where_item, 2u);
    EXPECT_FALSE(playlists->playlist_play_item(list, 3));

    EXPECT_EQ(playlists->playback_order_get_count(), 7u);
    EXPECT_STREQ(playlists->playback_order_get_name(1), "Repeat (playlist)");
    playlists->playback_order_set_active(4);
    EXPECT_EQ(playlists->playback_order_get_active(), 4u);
    EXPECT_STREQ(playlists->playback_order_get_name(7), "");
}

TEST_F(PlayerHostTest, PlaybackServiceHandsOutThePlayingTrackWithAReference) {
    add({"file://" + (files / "plain.wav")});
    auto playback = service<corvina::playback_service>(guids::playback_service);
    corvina::track* playing = nullptr;
    EXPECT_FALSE(playback->get_now_playing(playing));
    tessel::string8 title;
    auto formats = service<corvina::title_format_service>(guids::title_format_service);
    corvina::title_script* script = nullptr;
    formats->compile(script, "%_filename%");
    EXPECT_FALSE(playback->format_title(nullptr, title, script, nullptr, 2));
    EXPECT_STREQ(title.get_ptr(), "");

    playback->start(corvina::start_command::play, false);
    EXPECT_TRUE(playback->is_playing());
    ASSERT_TRUE(playback->get_now_playing(playing));
    EXPECT_TRUE(playback->format_title(nullptr, title, script, nullptr, 2));
    EXPECT_STREQ(title.get_ptr(), "plain");
    EXPECT_STREQ(playing->get_location().get_path(), (files / "plain.wav").c_str());

    playback->stop();
    player.playlists().remove_if(list, [](std::size_t) { return true; });
    EXPECT_EQ(playing->service_release(), 0);  // ours was the last reference
    script->service_release();
}
