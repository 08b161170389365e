// The conformance host: a stand-in for the player built the way the player is, for the MSVC
// C++ ABI, without any C or C++ library. It loads the component beside it and plays the
// player's part over the module's one export, checking every value it gets back:
//
//   corvina-conformance-host.exe            every step
//   corvina-conformance-host.exe page ...   the set-up and the named steps only
//
// Steps: version, config, truncated, startup, page, page-guids, help-without-version,
// shutdown, unload. The set-up (entry point, factory chain, services) always runs.

#include "corvina/class_guids.h"
#include "corvina/service.h"
#include "corvina/services.h"
#include "tests/conformance/config_blob.h"
#include "tests/conformance/player.h"
#include "tests/conformance/report.h"
#include "tests/conformance/text.h"
#include "tests/conformance/win32.h"

namespace conformance {

namespace {

constexpr corvina::guid page_guid{
    0xB3BBE560, 0x14AE, 0x4F72, {0xB4, 0x6B, 0x37, 0x36, 0x49, 0x7F, 0xB0, 0xDA}};
constexpr corvina::guid parent_page_guid{
    0x627C0767, 0x0793, 0x44F8, {0x80, 0x87, 0xBE, 0x49, 0x34, 0x31, 0x12, 0x82}};
constexpr corvina::guid title_format_help{
    0x91E349DA, 0x8800, 0x42E5, {0xBC, 0x8C, 0xF3, 0xA9, 0x25, 0x77, 0xAE, 0x84}};
// Settings the component stores, as the player finds them in its blob.
constexpr corvina::guid com_port_setting{
    0x3A288ADA, 0x2D70, 0x419F, {0x9A, 0x23, 0x11, 0x75, 0x90, 0xC8, 0x00, 0xA9}};
constexpr corvina::guid title_format_setting{
    0x3C5362C6, 0x5B43, 0x4B3F, {0xA7, 0xC0, 0x95, 0x41, 0x4A, 0x4F, 0x63, 0xC0}};
constexpr corvina::guid unknown_setting{
    0x0D15EA5E, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

constexpr std::size_t default_blob_size = 207;
constexpr int port_edit = 1004;
constexpr int help_button = 1008;

// --- Which steps run ---------------------------------------------------------------------

constexpr std::size_t max_steps = 8;
char chosen_steps[max_steps][32];
std::size_t chosen_count;

void read_command_line() {
    const wchar_t* at = GetCommandLineW();
    // The program's own name, quoted or not.
    const wchar_t end_of_name = *at == L'"' ? L'"' : L' ';
    if (*at == L'"') {
        ++at;
    }
    while (*at != L'\0' && *at != end_of_name) {
        ++at;
    }
    while (*at != L'\0') {
        while (*at == L' ' || *at == L'"') {
            ++at;
        }
        if (*at == L'\0' || chosen_count == max_steps) {
            break;
        }
        char* name = chosen_steps[chosen_count++];
        std::size_t length = 0;
        while (*at != L'\0' && *at != L' ' && length + 1 < sizeof chosen_steps[0]) {
            name[length++] = static_cast<char>(*at++);
        }
        name[length] = '\0';
    }
}

bool runs(const char* step) {
    bool wanted = chosen_count == 0;
    for (std::size_t i = 0; i < chosen_count; ++i) {
        wanted = wanted || same_text(chosen_steps[i], step);
    }
    if (wanted) {
        text banner("== ");
        banner << step;
        print_line(banner.get_ptr());
    }
    return wanted;
}

// --- The player's side of one session ----------------------------------------------------

struct session {
    player_api player;
    console_service console;
    version_service version;
    corvina::guid other_commands[2] = {
        {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}},
        {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}}};
    corvina::guid help_commands[2] = {
        {0xCCCCCCCC, 0xDDDD, 0xEEEE, {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        title_format_help};
    menu_provider other_provider{other_commands, 2};
    menu_provider help_provider{help_commands, 2};
    never_abort abort;

    // The port setting the component holds now, as the steps so far left it.
    const char* port = "COM4";
    bool started = false;

    void* module = nullptr;
    corvina::component_entry* entry = nullptr;
    corvina::initquit* initquit = nullptr;
    corvina::preferences_page* page = nullptr;
    corvina::componentversion* record = nullptr;
};

template <class T>
T* create_from(corvina::service_factory_base& factory) {
    corvina::service_base* instance = nullptr;
    factory.instance_create(instance);
    return static_cast<T*>(instance);
}

bool set_up(session& s) {
    s.player.offer(corvina::class_guids::console, s.console);
    s.player.offer(corvina::class_guids::version_info, s.version);
    s.player.offer(corvina::class_guids::menu_commands, s.other_provider);
    s.player.offer(corvina::class_guids::menu_commands, s.help_provider);

    s.module = LoadLibraryW(L"tessel_link.dll");
    if (!check(s.module != nullptr, "the component module loads")) {
        return false;
    }
    auto* get_interface = reinterpret_cast<corvina::get_interface_function>(
        GetProcAddress(s.module, corvina::entry_point_name));
    if (!check(get_interface != nullptr, "the module exports corvina_get_interface")) {
        return false;
    }
    s.entry = get_interface(&s.player, s.module);
    if (!check(s.entry != nullptr, "the entry point answers an entry object")) {
        return false;
    }
    check(get_interface(&s.player, s.module) == s.entry, "a second call answers the same object");
    check(s.entry->interface_version() == corvina::component_interface_version,
          "entry slot 0: interface version 72");
    check(!s.entry->reserved_flag(), "entry slot 6 answers false");
    s.entry->set_paths("C:\\corvina", "C:\\corvina\\components\\tessel_link.dll");
    s.entry->set_services_available(true);

    // The chain runs from the last factory made to the first.
    const corvina::guid* expected[] = {&corvina::class_guids::componentversion,
                                       &corvina::class_guids::preferences_page,
                                       &corvina::class_guids::initquit};
    corvina::service_factory_base* factory = s.entry->first_factory();
    for (const corvina::guid* cls : expected) {
        if (!check(factory != nullptr, "the factory chain has the next factory")) {
            return false;
        }
        check_guid("factory class", factory->class_guid(), *cls);
        corvina::service_base* first = create_from<corvina::service_base>(*factory);
        corvina::service_base* again = create_from<corvina::service_base>(*factory);
        check(first != nullptr && first == again, "a factory hands out its one instance");
        corvina::service_base* queried = nullptr;
        check(first->service_query(queried, *cls) && queried == first,
              "service slot 2 answers its own class");
        check(!first->service_query(queried, corvina::class_guids::console) && queried == first,
              "service slot 2 refuses another class and leaves out alone");
        check(first->service_add_ref() == 1 && first->service_release() == 1,
              "service slots 0 and 1 of a module-lifetime service answer 1");
        if (*cls == corvina::class_guids::componentversion) {
            s.record = static_cast<corvina::componentversion*>(first);
        } else if (*cls == corvina::class_guids::preferences_page) {
            s.page = static_cast<corvina::preferences_page*>(first);
        } else {
            s.initquit = static_cast<corvina::initquit*>(first);
        }
        factory = factory->next();
    }
    check(factory == nullptr, "the chain ends after three factories");
    return s.record != nullptr && s.page != nullptr && s.initquit != nullptr;
}

void version_record(session& s) {
    text answer("text the player held before");
    s.record->get_file_name(answer);
    check_text("version slot 3: file name", answer.get_ptr(),
               "C:\\corvina\\components\\tessel_link.dll");
    s.record->get_component_name(answer);
    check_text("version slot 4: name", answer.get_ptr(), "Ambrel");
    s.record->get_component_version(answer);
    check_text("version slot 5: version", answer.get_ptr(), "1.1");
    s.record->get_about_message(answer);
    check(answer.length() > 0 && !same_text(answer.get_ptr(), "1.1"), "version slot 6: about");
    check(answer.calls_were_sound(), "the version record used the player's string soundly");
}

bool port_record_is(const blob& saved, const char* port) {
    std::uint32_t length = 0;
    const unsigned char* data = saved.find_record(com_port_setting, length);
    text stored;
    if (data != nullptr) {
        stored.add_string(reinterpret_cast<const char*>(data), length);
    }
    return check_text("the saved port setting", stored.get_ptr(), port);
}

void save(session& s, blob& out) {
    out.clear();
    blob_writer writer(out, s.abort);
    s.entry->save_configuration(writer, s.abort);
    check(writer.abort_passed_on(), "saving hands the player's abort signal on unchanged");
}

void configuration(session& s) {
    blob saved;
    save(s, saved);
    text size("entry slot 2 saves seven records, 207 bytes; got ");
    size << static_cast<std::uint32_t>(saved.size());
    check(saved.size() == default_blob_size, size.get_ptr());
    port_record_is(saved, s.port);

    blob stored;
    stored.append_record(com_port_setting, "COM7", 4);
    stored.append_record(unknown_setting, "skipped", 7);
    blob_reader reader(stored, s.abort);
    s.entry->load_configuration(reader, s.abort);
    check(reader.at_end(), "entry slot 3 reads the blob to its end");
    check(reader.abort_passed_on(), "loading hands the player's abort signal on unchanged");
    save(s, saved);
    s.port = "COM7";
    port_record_is(saved, s.port);
}

// The reader throws as the player's does when the blob ends inside a record; the component
// must not call the throwing operations at all, keep what it loaded and say so once.
void load_truncated(session& s, const blob& stored, const char* what) {
    blob_reader reader(stored, s.abort);
    const std::uint32_t lines_before = s.console.line_count();
    bool escaped = false;
    try {
        s.entry->load_configuration(reader, s.abort);
    } catch (const blob_truncated&) {
        escaped = true;
    }
    text line;
    line << what << ": the player's exception never entered the component";
    check(!escaped && reader.throwing_calls() == 0, line.get_ptr());
    line.set_string(what);
    line << ": one console error line";
    check(s.console.line_count() == lines_before + 1 &&
              starts_with(s.console.last_line(), "ERROR : "),
          line.get_ptr());
}

void truncated_configuration(session& s) {
    blob stored;
    stored.append_record(com_port_setting, "COM5", 4);
    stored.append(&title_format_setting, sizeof title_format_setting);
    stored.append("\x10\x00", 2);  // half a length field
    load_truncated(s, stored, "a blob cut inside a record header");
    blob saved;
    save(s, saved);
    s.port = "COM5";
    port_record_is(saved, s.port);

    stored.clear();
    stored.append_record(com_port_setting, "COM6", 4);
    stored.append(&unknown_setting, sizeof unknown_setting);
    stored.append_u32(100);
    stored.append("only ten..", 10);
    load_truncated(s, stored, "a blob cut inside a record to skip");
    save(s, saved);
    s.port = "COM6";
    port_record_is(saved, s.port);
}

void start_up(session& s) {
    const std::uint32_t lines_before = s.console.line_count();
    s.initquit->on_startup();
    s.started = true;
    check(s.console.line_count() == lines_before + 1 &&
              same_text(s.console.last_line(), "Initializing"),
          "initquit slot 3 starts the link manager (\"Initializing\")");
}

void page_slots(session& s) {
    check_text("page slot 4: name", s.page->get_name(), "Ambrel");
    check(!s.page->supports_reset(), "page slot 7: no reset");
    s.page->reset();

    text address("text the player held before");
    const bool answered = s.page->get_help_url(address);
    check(answered, "page slot 9 answers true while the version service is there");
    check_text("page slot 9: help address", address.get_ptr(),
               "https://help.corvina.example/2.1.7/preferences/"
               "B3BBE560-14AE-4F72-B46B-3736497FB0DA/Ambrel");

    void* parent = CreateWindowExW(0, L"Static", L"Preferences", win32::ws_overlappedwindow, 0, 0,
                                   640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!check(parent != nullptr, "the player makes a window for its preferences")) {
        return;
    }
    s.player.set_main_window(parent);
    void* dialog = s.page->create(parent);
    if (check(dialog != nullptr && IsWindow(dialog) != 0, "page slot 3 creates the page")) {
        char port[32] = {};
        GetDlgItemTextA(dialog, port_edit, port, sizeof port);
        check_text("the page shows the stored port", port, s.port);

        // The Help button runs the player's title-format help through menu-command slot 4.
        const auto clicked = static_cast<std::uintptr_t>(help_button);
        SendMessageW(dialog, win32::wm_command, clicked,
                     reinterpret_cast<std::intptr_t>(GetDlgItem(dialog, help_button)));
        check(s.help_provider.executions() == 1 && s.help_provider.executed_index() == 1 &&
                  s.help_provider.callback_was_empty(),
              "the Help button runs command 1 of the provider that has it, with no callback");
        check(s.other_provider.executions() == 0, "no other command runs");
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
    s.player.set_main_window(nullptr);
}

// Slots 5 and 6 return a GUID: the aggregate return the two compilers used to disagree on.
void page_guids(session& s) {
    corvina::guid id{};
    corvina::guid* answered = s.page->get_guid(&id);
    check(answered == &id, "page slot 5 answers the caller's out pointer");
    check_guid("page slot 5: page GUID", id, page_guid);
    corvina::guid parent{};
    answered = s.page->get_parent_guid(&parent);
    check(answered == &parent, "page slot 6 answers the caller's out pointer");
    check_guid("page slot 6: parent page GUID", parent, parent_page_guid);
    check_guid("the by-value helpers agree", s.page->guid_value(), page_guid);
}

void help_without_version(session& s) {
    s.player.withdraw(corvina::class_guids::version_info);
    text address("kept");
    bool escaped = false;
    bool answered = true;
    try {
        answered = s.page->get_help_url(address);
    } catch (...) {
        escaped = true;
    }
    check(!escaped, "page slot 9 lets no exception out when the version service is missing");
    check(!answered, "page slot 9 answers false without the version service");
    s.player.offer(corvina::class_guids::version_info, s.version);
}

void shut_down(session& s) {
    if (!s.started) {
        start_up(s);
    }
    const std::uint32_t lines_before = s.console.line_count();
    s.initquit->on_shutdown();
    check(s.console.printed_since(lines_before, "Terminating"),
          "initquit slot 4 stops the link manager (\"Terminating\")");
}

void unload(session& s) {
    check(s.console.references() == 0 && s.version.references() == 0 &&
              s.other_provider.references() == 0 && s.help_provider.references() == 0,
          "every service the component took was released");
    s.entry->set_services_available(false);
    check(FreeLibrary(s.module) != 0, "the module unloads");
    check(true, "the player is still running after the component's calls");
}

// In the order a player would: settings first, then start-up, the page, shut-down.
constexpr struct {
    const char* name;
    void (*run)(session&);
} steps[] = {{"version", version_record},
             {"config", configuration},
             {"truncated", truncated_configuration},
             {"startup", start_up},
             {"page", page_slots},
             {"page-guids", page_guids},
             {"help-without-version", help_without_version},
             {"shutdown", shut_down},
             {"unload", unload}};

unsigned int run() {
    read_command_line();
    session s;
    if (set_up(s)) {
        for (const auto& step : steps) {
            if (runs(step.name)) {
                step.run(s);
            }
        }
    }
    return finish_report();
}

}  // namespace

}  // namespace conformance

extern "C" void host_main() {
    ExitProcess(conformance::run());
}
