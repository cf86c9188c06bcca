// DEV_ on the simulated machine. Device sets list devices in the order
// Windows gives them: the Enum registry key walked level by level
// (enumerator, device, instance), each level sorted as the registry sorts
// key names, case folded to upper, a name before its extensions. (Wine folds
// to lower, so names holding "_", "^" or another character between "Z" and
// "a" can come in another order there.)
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dev.h"
#include "platform/sim/machine.h"

namespace {

constexpr const char* MOUSE_CLASS_GUID = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";
constexpr uint32_t ERR_INVALID_DATA = 13;

struct DeviceSet {
    std::vector<sim::Device> devices;
};

std::string lower(const std::string& text)
{
    std::string result = text;
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

unsigned char folded(char c)
{
    return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
}

// Instance IDs compared component by component: "ACPI\A\0" comes before
// "ACPI\A&1\0" because "A" is a prefix of "A&1", although "&" sorts before
// "\" in a plain text comparison.
bool listed_before(const sim::Device& a, const sim::Device& b)
{
    const std::string& x = a.instance_id;
    const std::string& y = b.instance_id;
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        const bool x_ends = i == x.size() || x[i] == '\\';
        const bool y_ends = j == y.size() || y[j] == '\\';
        if (x_ends || y_ends) {
            if (!(x_ends && y_ends)) return x_ends;  // the shorter component leads
            if (i == x.size() || j == y.size()) return i == x.size() && j != y.size();
            ++i;
            ++j;
            continue;
        }
        if (folded(x[i]) != folded(y[j])) return folded(x[i]) < folded(y[j]);
        ++i;
        ++j;
    }
}

DEV_List make_set(bool (*wanted)(const sim::Device&))
{
    auto* set = new DeviceSet;
    for (const sim::Device& device : sim::current().devices) {
        if (wanted(device)) set->devices.push_back(device);
    }
    std::stable_sort(set->devices.begin(), set->devices.end(), listed_before);
    return set;
}

const sim::Device* member(DEV_List list, const DEV_Device* device)
{
    const auto* set = static_cast<const DeviceSet*>(list);
    uint32_t index = 0;
    std::memcpy(&index, device->opaque, sizeof index);
    if (set == nullptr || index >= set->devices.size()) return nullptr;
    return &set->devices[index];
}

}  // namespace

DEV_List DEV_GetAllClasses()
{
    sim::Machine& machine = sim::current();
    if (machine.device_enumeration_fails) {
        machine.last_error = ERR_INVALID_PARAMETER;
        return nullptr;
    }
    ++machine.device_enumerations;
    return make_set([](const sim::Device&) { return true; });
}

DEV_List DEV_GetPresentMouseDevices()
{
    sim::Machine& machine = sim::current();
    if (machine.device_enumeration_fails) {
        machine.last_error = ERR_INVALID_PARAMETER;
        return nullptr;
    }
    return make_set([](const sim::Device& device) {
        return device.present && lower(device.class_guid) == lower(MOUSE_CLASS_GUID);
    });
}

bool DEV_Enum(DEV_List list, uint32_t index, DEV_Device* device)
{
    const auto* set = static_cast<const DeviceSet*>(list);
    if (set == nullptr || index >= set->devices.size()) {
        sim::current().last_error = ERR_NO_MORE_ITEMS;
        return false;
    }
    std::memset(device->opaque, 0, sizeof device->opaque);
    std::memcpy(device->opaque, &index, sizeof index);
    return true;
}

bool DEV_GetInstanceId(DEV_List list, DEV_Device* device, char* buffer, uint32_t capacity)
{
    const sim::Device* found = member(list, device);
    if (found == nullptr) {
        sim::current().last_error = ERR_INVALID_PARAMETER;
        return false;
    }
    if (found->instance_id.size() + 1 > capacity) {
        sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
        return false;
    }
    std::memcpy(buffer, found->instance_id.c_str(), found->instance_id.size() + 1);
    return true;
}

bool DEV_GetHardwareIds(DEV_List list, DEV_Device* device, uint8_t* buffer, uint32_t capacity,
                        uint32_t* required_size)
{
    const sim::Device* found = member(list, device);
    if (found == nullptr) {
        sim::current().last_error = ERR_INVALID_PARAMETER;
        return false;
    }
    if (found->hardware_ids.empty()) {
        sim::current().last_error = ERR_INVALID_DATA;
        return false;
    }
    std::string bytes;
    for (const std::string& id : found->hardware_ids) {
        bytes += id;
        bytes.push_back('\0');
    }
    bytes.push_back('\0');
    if (required_size != nullptr) *required_size = static_cast<uint32_t>(bytes.size());
    if (buffer == nullptr || bytes.size() > capacity) {
        sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
        return false;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    return true;
}

void DEV_Destroy(DEV_List list)
{
    delete static_cast<DeviceSet*>(list);
}
