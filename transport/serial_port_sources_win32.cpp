// The serial ports as Windows records them, read without opening any: the present devices of
// the Ports class and of the COM port interface (SetupAPI), then the registry's serial-port
// map for ports no device reports (legacy and virtual drivers). Paired Bluetooth devices come
// from the Bluetooth API's remembered devices, without an inquiry on the air.

#include <windows.h>
//
#include <bluetoothapis.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "transport/serial_port_list.h"

namespace tessel {

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}
constexpr GUID com_port_interface{
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

std::string utf8(const wchar_t* text, int length = -1) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    if (length < 0) {
        out.pop_back();  // the terminating NUL
    }
    return out;
}

class device_set {
  public:
    device_set(const GUID& guid, DWORD flags)
        : set_(SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags | DIGCF_PRESENT)) {}
    ~device_set() {
        if (set_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    device_set(const device_set&) = delete;
    device_set& operator=(const device_set&) = delete;

    HDEVINFO get() const { return set_; }

  private:
    HDEVINFO set_;
};

class registry_key {
  public:
    registry_key() = default;
    ~registry_key() {
        if (key_ != nullptr && key_ != INVALID_HANDLE_VALUE) {
            RegCloseKey(key_);
        }
    }
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;

    void adopt(HKEY key) { key_ = key; }
    bool valid() const { return key_ != nullptr && key_ != INVALID_HANDLE_VALUE; }
    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

// A REG_SZ value, empty when it is missing or of another type.
std::string string_value(HKEY key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD type = 0;
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return utf8(text);
}

bool is_com_name(const std::string& name) {
    return name.size() > 3 && (name[0] | 0x20) == 'c' && (name[1] | 0x20) == 'o' &&
           (name[2] | 0x20) == 'm';
}

// The port a device is known by: its "PortName" (the Ports class also holds printer ports).
std::string port_name(HDEVINFO set, SP_DEVINFO_DATA& device) {
    registry_key key;
    key.adopt(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE));
    if (!key.valid()) {
        return {};
    }
    std::string name = string_value(key.get(), L"PortName");
    return is_com_name(name) ? name : std::string();
}

std::string friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[256] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                           reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        type != REG_SZ) {
        return {};
    }
    return utf8(text);
}

std::string instance_id(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, text, MAX_DEVICE_ID_LEN, nullptr)) {
        return {};
    }
    return utf8(text);
}

void add_devices(const device_set& set, std::vector<port_device>& out) {
    if (set.get() == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        std::string port = port_name(set.get(), device);
        if (!port.empty()) {
            out.push_back({std::move(port), friendly_name(set.get(), device),
                           instance_id(set.get(), device)});
        }
    }
}

// Ports of drivers that report no device: the registry's map holds every COM port's name.
void add_mapped_ports(std::vector<port_device>& out) {
    registry_key map;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      map.out()) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD name_length = 255;
        wchar_t data[64] = {};
        DWORD type = 0;
        DWORD size = sizeof data - sizeof(wchar_t);
        const LSTATUS status = RegEnumValueW(map.get(), index, name, &name_length, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            std::string port = utf8(data);
            if (is_com_name(port)) {
                out.push_back({std::move(port), {}, {}});
            }
        }
    }
}

std::vector<port_device> system_ports() {
    std::vector<port_device> ports;
    add_devices(device_set(GUID_DEVCLASS_PORTS, 0), ports);
    add_devices(device_set(com_port_interface, DIGCF_DEVICEINTERFACE), ports);
    add_mapped_ports(ports);
    return ports;
}

using find_first_device_call =
    HBLUETOOTH_DEVICE_FIND(WINAPI*)(const BLUETOOTH_DEVICE_SEARCH_PARAMS*, BLUETOOTH_DEVICE_INFO*);
using find_next_device_call = BOOL(WINAPI*)(HBLUETOOTH_DEVICE_FIND, BLUETOOTH_DEVICE_INFO*);
using find_device_close_call = BOOL(WINAPI*)(HBLUETOOTH_DEVICE_FIND);

// The Bluetooth API lives in bthprops.cpl, loaded when first needed and kept: a computer
// without Bluetooth never loads it.
struct bluetooth_api {
    find_first_device_call find_first = nullptr;
    find_next_device_call find_next = nullptr;
    find_device_close_call close = nullptr;

    bluetooth_api() {
        const HMODULE module =
            LoadLibraryExW(L"bthprops.cpl", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) {
            return;
        }
        find_first = reinterpret_cast<find_first_device_call>(
            reinterpret_cast<void*>(GetProcAddress(module, "BluetoothFindFirstDevice")));
        find_next = reinterpret_cast<find_next_device_call>(
            reinterpret_cast<void*>(GetProcAddress(module, "BluetoothFindNextDevice")));
        close = reinterpret_cast<find_device_close_call>(
            reinterpret_cast<void*>(GetProcAddress(module, "BluetoothFindDeviceClose")));
    }
    bool usable() const {
        return find_first != nullptr && find_next != nullptr && close != nullptr;
    }
};

// The devices this computer remembers; no inquiry, so nothing goes on the air.
std::vector<paired_device> system_paired_devices() {
    static const bluetooth_api api;
    std::vector<paired_device> devices;
    if (!api.usable()) {
        return devices;
    }
    BLUETOOTH_DEVICE_SEARCH_PARAMS search{};
    search.dwSize = sizeof search;
    search.fReturnAuthenticated = TRUE;
    search.fReturnRemembered = TRUE;
    search.fReturnConnected = TRUE;
    search.fIssueInquiry = FALSE;
    BLUETOOTH_DEVICE_INFO info{};
    info.dwSize = sizeof info;
    const HBLUETOOTH_DEVICE_FIND found = api.find_first(&search, &info);
    if (found == nullptr) {
        return devices;
    }
    do {
        devices.push_back({info.Address.ullLong, utf8(info.szName)});
        info = BLUETOOTH_DEVICE_INFO{};
        info.dwSize = sizeof info;
    } while (api.find_next(found, &info));
    api.close(found);
    return devices;
}

constexpr port_sources system_sources{system_ports, system_paired_devices};

}  // namespace

const port_sources& system_port_sources() {
    return system_sources;
}

}  // namespace tessel
