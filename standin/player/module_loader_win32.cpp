#include <windows.h>

#include <stdexcept>
#include <string>

#include "standin/player/media_files.h"
#include "standin/player/module_loader.h"

namespace standin {
namespace {

std::string system_message(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = "error " + std::to_string(code);
    if (length != 0 && text != nullptr) {
        message = path_to_utf8(std::filesystem::path(std::wstring(text, length)));
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
            message.pop_back();
        }
    }
    LocalFree(text);
    return message;
}

}  // namespace

loaded_module::loaded_module(const std::string& path) {
    const std::wstring wide = path_from_utf8(path).wstring();
    HMODULE module = LoadLibraryW(wide.c_str());
    if (module == nullptr) {
        throw std::runtime_error("cannot load the component " + path + ": " +
                                 system_message(GetLastError()));
    }
    handle_ = module;
}

loaded_module::~loaded_module() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

void* loaded_module::find_symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string default_component_path() {
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    const std::filesystem::path exe(buffer);
    return path_to_utf8(exe.parent_path() / L"tessel_link.dll");
}

}  // namespace standin
