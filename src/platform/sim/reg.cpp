// REG_ on the simulated machine.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/reg.h"
#include "platform/sim/machine.h"

namespace {

struct OpenKey {
    std::string path;  // "HKLM\..." as requested
    sim::RegistryView view;
};

bool equal_ignoring_case(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Whether `path` is `prefix` or lies below it.
bool is_at_or_below(const std::string& path, const std::string& prefix)
{
    if (path.size() < prefix.size()) return false;
    if (!equal_ignoring_case(path.substr(0, prefix.size()), prefix)) return false;
    return path.size() == prefix.size() || path[prefix.size()] == '\\';
}

// The view a 32-bit program asks for: on 64-bit Windows the 32-bit one unless
// the 64-bit one is named. 32-bit Windows has only one view.
sim::RegistryView requested_view(uint32_t access)
{
    if (!sim::current().is_64bit) return sim::RegistryView::Both;
    return (access & REG_KEY_WOW64_64KEY) != 0 ? sim::RegistryView::Only64 : sim::RegistryView::Only32;
}

bool visible(const sim::RegistryKey& key, sim::RegistryView view)
{
    return view == sim::RegistryView::Both || key.view == sim::RegistryView::Both || key.view == view;
}

std::string trim_backslashes(const char* subkey)
{
    std::string path = subkey != nullptr ? subkey : "";
    while (!path.empty() && path.front() == '\\') path.erase(path.begin());
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace

uint32_t REG_OpenKey(REG_Root root, const char* subkey, uint32_t access, REG_Key* key)
{
    if (sim::operation_fails(sim::OperationKind::Registry)) return sim::current().last_error;
    const std::string relative = trim_backslashes(subkey);
    std::string path = root == REG_Root::LocalMachine ? "HKLM" : "HKCU";
    if (!relative.empty()) path += "\\" + relative;
    const sim::RegistryView view = requested_view(access);
    for (const sim::RegistryKey& stored : sim::current().registry) {
        if (visible(stored, view) && is_at_or_below(stored.path, path)) {
            *key = new OpenKey{path, view};
            return ERR_SUCCESS;
        }
    }
    return ERR_FILE_NOT_FOUND;
}

uint32_t REG_QueryValue(REG_Key key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size)
{
    const auto* open = static_cast<const OpenKey*>(key);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    if (sim::operation_fails(sim::OperationKind::Registry)) return sim::current().last_error;
    const std::string wanted = name != nullptr ? name : "";
    for (const sim::RegistryKey& stored : sim::current().registry) {
        if (!visible(stored, open->view) || !equal_ignoring_case(stored.path, open->path)) continue;
        for (const auto& [value_name, value] : stored.values) {
            if (!equal_ignoring_case(value_name, wanted)) continue;
            std::string bytes = value.data;
            // String values are stored with their terminator.
            if (value.type == REG_TYPE_SZ || value.type == REG_TYPE_EXPAND_SZ) bytes.push_back('\0');
            if (type != nullptr) *type = value.type;
            const uint32_t needed = static_cast<uint32_t>(bytes.size());
            if (data == nullptr) {
                *size = needed;
                return ERR_SUCCESS;
            }
            if (needed > *size) {
                *size = needed;
                return ERR_MORE_DATA;
            }
            std::memcpy(data, bytes.data(), needed);
            *size = needed;
            return ERR_SUCCESS;
        }
    }
    return ERR_FILE_NOT_FOUND;
}

void REG_CloseKey(REG_Key key)
{
    delete static_cast<OpenKey*>(key);
}
