#include "standin/player/standin_player.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "corvina/class_guids.h"
#include "corvina/service.h"
#include "standin/player/config_store.h"
#include "standin/player/main_loop.h"
#include "standin/player/media_files.h"
#include "standin/player/module_loader.h"
#include "standin/player/page_actions.h"
#include "standin/player/player_host.h"
#include "standin/player/stop_watch.h"
#include "standin/player/virtual_serial.h"
#include "support/string8.h"

namespace standin {
namespace {

namespace guids = corvina::class_guids;

// Bounds the walk of a factory chain that loops back on itself.
constexpr int max_factories = 1000;

void fail(const std::string& message) {
    std::fprintf(stderr, "corvina-standin: %s\n", message.c_str());
    std::fflush(stderr);
}

std::string guid_text(const corvina::guid& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.data1), id.data2, id.data3, id.data4[0], id.data4[1],
                  id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
    return text;
}

// The component's services, as the factory chain offers them.
struct component_services {
    std::vector<service_ptr<corvina::initquit>> initquits;
    std::vector<service_ptr<corvina::preferences_page>> pages;
    std::vector<service_ptr<corvina::componentversion>> versions;
};

template <class T>
service_ptr<T> as(const service_ptr<corvina::service_base>& base) {
    return service_ptr<T>(static_cast<T*>(base.get()));
}

component_services walk_factories(corvina::component_entry& entry, player_host& player) {
    component_services found;
    int walked = 0;
    for (corvina::service_factory_base* factory = entry.first_factory(); factory != nullptr;
         factory = factory->next()) {
        if (++walked > max_factories) {
            throw std::runtime_error("the component's factory chain does not end");
        }
        service_ptr<corvina::service_base> instance;
        factory->instance_create(instance.receive());
        const corvina::guid& cls = factory->class_guid();
        if (!instance) {
            player.print("standin: a factory of class " + guid_text(cls) + " made no service");
            continue;
        }
        if (cls == guids::initquit) {
            player.print("standin: component service: initquit");
            found.initquits.push_back(as<corvina::initquit>(instance));
        } else if (cls == guids::preferences_page) {
            auto page = as<corvina::preferences_page>(instance);
            const char* name = page->get_name();
            player.print(std::string("standin: component service: preferences_page \"") +
                         (name != nullptr ? name : "") + "\"");
            found.pages.push_back(std::move(page));
        } else if (cls == guids::componentversion) {
            auto version = as<corvina::componentversion>(instance);
            tessel::string8 name;
            tessel::string8 number;
            version->get_component_name(name);
            version->get_component_version(number);
            player.print(std::string("standin: component service: componentversion \"") +
                         name.get_ptr() + "\" " + number.get_ptr());
            found.versions.push_back(std::move(version));
        } else {
            player.print("standin: component service of class " + guid_text(cls) +
                         " (not used by this player)");
        }
    }
    return found;
}

std::string folder_of(const std::string& path) {
    const std::filesystem::path parent = path_from_utf8(path).parent_path();
    return parent.empty() ? "." : path_to_utf8(parent);
}

// Loads the files given on the command line into the named playlist and makes it active.
void load_playlist(player_host& player, const player_options& options) {
    playlist_model& playlists = player.playlists();
    std::size_t list = playlists.find_playlist(options.playlist_name);
    if (list == no_index) {
        list = playlists.create_playlist(options.playlist_name);
    }
    playlists.set_active(list);
    std::vector<std::string> locations;
    for (const std::string& path : options.load_paths) {
        // Playlists hold whole paths, whatever folder the player was started in.
        std::error_code error;
        const std::filesystem::path whole =
            std::filesystem::absolute(path_from_utf8(native_path(path)), error);
        locations.push_back("file://" + (error ? path : path_to_utf8(whole.lexically_normal())));
    }
    const auto tracks = player.import_locations(locations);
    playlists.insert(list, no_index, tracks, {});
    if (!locations.empty()) {
        const std::size_t count = playlists.item_count(list);
        player.print("standin: playlist \"" + options.playlist_name + "\" holds " +
                     std::to_string(count) + (count == 1 ? " track" : " tracks"));
    }
    if (options.play && playlists.item_count(list) != 0) {
        player.playback().play_item(list, 0);
    }
}

// Runs each start-up or shut-down hook; a failure of one is reported and does not stop the
// others.
template <class Hook>
void run_hooks(player_host& player, const component_services& services, const char* what,
               Hook hook) {
    for (const auto& service : services.initquits) {
        try {
            hook(*service);
        } catch (const std::exception& fault) {
            player.print(std::string("standin: the component failed during ") + what + ": " +
                         fault.what());
        }
    }
}

}  // namespace

int run_player(const player_options& options) {
    main_loop loop;
    // From here on an interrupt ends the run cleanly, also during start-up.
    stop_watch watch(loop, options.watch_stdin);
    player_host_settings settings;
    if (options.seed) {
        settings.random_seed = *options.seed;
    }
    settings.main_window = [&loop] { return loop.main_window(); };
    settings.is_main_thread = [&loop] { return loop.is_main_thread(); };
    player_host player(std::move(settings));

    std::unique_ptr<virtual_serial_cable> cable;
    std::optional<std::string> port = options.port;
    if (options.virtual_port) {
        try {
            cable = std::make_unique<virtual_serial_cable>();
        } catch (const std::exception& fault) {
            fail(fault.what());
            return 1;
        }
        port = cable->player_end();
        player.print("standin: virtual serial port: phone end " + cable->phone_end() +
                     ", component end " + cable->player_end());
    }

    load_playlist(player, options);

    byte_vector blob;
    bool config_damaged = false;
    try {
        if (auto stored = read_config_file(options.config_path)) {
            blob = std::move(*stored);
        } else {
            player.print("standin: no settings file " + options.config_path +
                         " yet: the component starts with its defaults");
        }
    } catch (const std::exception& fault) {
        player.print(std::string("standin: ") + fault.what() + "; starting with default settings");
    }
    // The cable's end exists for this run only: the port stored before is put back on saving.
    const std::optional<std::string> stored_port =
        cable ? string_record(blob, com_port_setting) : std::nullopt;
    if (port) {
        blob = with_string_record(blob, com_port_setting, *port);
    }

    const std::string component_path =
        options.component_path.empty() ? default_component_path() : options.component_path;
    std::optional<loaded_module> module;
    try {
        module.emplace(component_path);
    } catch (const std::exception& fault) {
        fail(fault.what());
        return 1;
    }
    const auto get_interface = reinterpret_cast<corvina::get_interface_function>(
        module->find_symbol(corvina::entry_point_name));
    if (get_interface == nullptr) {
        fail(component_path + " has no entry point " + corvina::entry_point_name);
        return 1;
    }
    corvina::component_entry* entry = get_interface(&player.api(), module->handle());
    if (entry == nullptr) {
        fail(component_path + ": the entry point answered no component");
        return 1;
    }
    const std::uint32_t version = entry->interface_version();
    if (version != corvina::component_interface_version) {
        fail(component_path + " speaks interface version " + std::to_string(version) +
             "; this player speaks " + std::to_string(corvina::component_interface_version));
        return 1;
    }
    player.print("standin: loaded " + component_path);

    int status = 0;
    {
        component_services services;
        try {
            services = walk_factories(*entry, player);
        } catch (const std::exception& fault) {
            fail(fault.what());
            return 1;
        }

        never_abort abort;
        memory_config_reader reader(blob);
        try {
            entry->load_configuration(reader, abort);
            // The component ends loading quietly at a cut record; the player sees the damage.
            const std::size_t sound = whole_records_end(blob);
            if (sound != blob.size()) {
                config_damaged = true;
                player.print("standin: the settings in " + options.config_path +
                             " are damaged at byte " + std::to_string(sound) +
                             "; the component starts with the settings read before");
            }
        } catch (const std::exception& fault) {
            config_damaged = true;
            player.print("standin: the settings in " + options.config_path +
                         " are damaged at byte " + std::to_string(reader.position()) + " (" +
                         fault.what() + "); the component starts with the settings read before");
        } catch (...) {
            config_damaged = true;
            player.print("standin: the settings in " + options.config_path +
                         " could not be read; the component starts with the settings read before");
        }

        entry->set_paths(folder_of(options.config_path).c_str(), component_path.c_str());
        entry->set_services_available(true);
        run_hooks(player, services, "start-up", [](corvina::initquit& s) { s.on_startup(); });
        if (!options.page_actions.empty()) {
            std::vector<page_action> actions;
            for (const auto& [action, argument] : options.page_actions) {
                actions.push_back(page_action{action, argument});
            }
            if (services.pages.empty()) {
                player.print("standin: the component has no preferences page to act on");
            } else {
                perform_page_actions(*services.pages.front(), loop.main_window(), actions, player);
            }
        }

        const auto started = std::chrono::steady_clock::now();
        std::optional<double> remake_at = options.remake_main_window_seconds;
        const std::string reason = loop.run(options.time_limit_seconds, [&] {
            player.playback().update();
            const std::chrono::duration<double> running =
                std::chrono::steady_clock::now() - started;
            if (remake_at && running.count() >= *remake_at) {
                remake_at.reset();
                loop.remake_main_window();
                std::string line = "standin: main window made again";
                if (const std::optional<std::size_t> count = loop.message_only_windows()) {
                    line += "; message-only windows of the main thread: " + std::to_string(*count);
                }
                player.print(line);
            }
        });
        player.print("standin: stopping: " + reason);

        run_hooks(player, services, "shut-down", [](corvina::initquit& s) { s.on_shutdown(); });
        entry->set_services_available(false);

        memory_config_writer writer;
        try {
            entry->save_configuration(writer, abort);
            if (config_damaged) {
                // Keep what could not be read, for whoever wants to look at it.
                std::error_code ignored;
                std::filesystem::copy_file(path_from_utf8(options.config_path),
                                           path_from_utf8(options.config_path + ".damaged"),
                                           std::filesystem::copy_options::overwrite_existing,
                                           ignored);
            }
            byte_vector saved = writer.bytes();
            if (cable) {
                saved = stored_port ? with_string_record(saved, com_port_setting, *stored_port)
                                    : without_record(saved, com_port_setting);
            }
            write_config_file(options.config_path, saved);
            player.print("standin: settings saved to " + options.config_path + " (" +
                         std::to_string(saved.size()) + " bytes)");
        } catch (const std::exception& fault) {
            fail(std::string("the settings were not saved: ") + fault.what());
            status = 1;
        }
    }  // the component's services are released before the module goes
    // A window the component left behind goes while its procedure is still loaded.
    loop.destroy_main_window();
    module.reset();
    return status;
}

}  // namespace standin
