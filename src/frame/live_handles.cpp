#include "frame/live_handles.h"

#include <unordered_map>

namespace qv {
namespace {

struct Entry {
    LiveKind kind;
    std::uint64_t serial;
};

// Never destroyed: handles the host still holds at exit may be closed after the
// library's static objects are gone.
std::unordered_map<const void*, Entry>& table() {
    static auto* live = new std::unordered_map<const void*, Entry>();
    return *live;
}

std::uint64_t g_serial = 0;

}  // namespace

std::uint64_t addLive(const void* object, LiveKind kind) {
    const std::uint64_t serial = ++g_serial;
    table()[object] = Entry{kind, serial};
    return serial;
}

void removeLive(const void* object) noexcept { table().erase(object); }

bool isLive(const void* object, LiveKind kind, std::uint64_t* serial) noexcept {
    if (!object) return false;
    const auto found = table().find(object);
    if (found == table().end() || found->second.kind != kind) return false;
    if (serial) *serial = found->second.serial;
    return true;
}

}  // namespace qv
