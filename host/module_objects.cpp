// The module's static objects, all in this one file on purpose: C++ constructs the statics of
// one translation unit in the order they are defined here, while the order across units is
// unspecified. So the settings exist before the services that read them, and the factories
// link themselves in front of the chain in the order below, which makes the player walk it as
// version record, preferences page, start-up service. Both registries' heads are
// constant-initialised and so are empty before any of these constructors runs. Anything that
// references one of these objects (the entry object does) pulls the whole file into the link.

#include "host/component_entry.h"
#include "host/componentversion_impl_simple.h"
#include "host/initquit_bluetooth.h"
#include "host/module_paths.h"
#include "host/remote_config_page.h"
#include "host/settings.h"

namespace tessel {

// Registered in this order; the saved blob lists them in reverse.
cfg_string cfg_com_port{
    {0x3A288ADA, 0x2D70, 0x419F, {0x9A, 0x23, 0x11, 0x75, 0x90, 0xC8, 0x00, 0xA9}}, "COM4"};
cfg_string cfg_music_directory{
    {0x05E9A1C5, 0x7427, 0x4C79, {0xB8, 0x4F, 0xAA, 0x35, 0x8A, 0xC3, 0xDB, 0x6D}}, "H:\\mp3"};
cfg_string cfg_title_format{
    {0x3C5362C6, 0x5B43, 0x4B3F, {0xA7, 0xC0, 0x95, 0x41, 0x4A, 0x4F, 0x63, 0xC0}},
    "$if2(%artist% - %title%, %_filename_ext%)"};
cfg_int_t<int> cfg_auto_connect{
    {0xD785C63A, 0x0D05, 0x4DBD, {0xB0, 0x86, 0x46, 0xF2, 0xD9, 0x52, 0x68, 0x40}}, 0};
cfg_int_t<int> cfg_shuffle_next_random{
    {0xE95D2165, 0x51F3, 0x4AD0, {0x97, 0x2A, 0x32, 0xD7, 0xE1, 0x04, 0x32, 0x92}}, 0};
cfg_int_t<int> cfg_use_specific_playlist{
    {0x9295BB38, 0xC155, 0x4498, {0x82, 0x69, 0x2A, 0x6A, 0x0E, 0xA8, 0x10, 0x9B}}, 0};
cfg_int_t<int> cfg_specific_playlist{
    {0xA571FDAC, 0xB494, 0x4D31, {0xBF, 0xA7, 0x1D, 0x94, 0x4F, 0xCE, 0x3A, 0x4B}}, 0};

namespace {

service_factory_single_t<initquit_bluetooth> initquit_factory;
service_factory_single_t<remote_config_page> preferences_page_factory;
componentversion_impl_simple_factory version_factory{
    "Ambrel", TESSEL_VERSION,
    "Remote control of the player from a phone over a Bluetooth serial link."};

component_entry_impl entry_object;

}  // namespace

corvina::component_entry& component_entry_object() {
    return entry_object;
}

module_paths& component_paths() {
    static module_paths paths;
    return paths;
}

}  // namespace tessel
