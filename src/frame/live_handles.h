// The handles and datasets the library has made and not yet freed. A host that
// passes a pointer twice to a close, keeps using a handle after closing it, or
// mixes up the kinds would otherwise make the library read freed or foreign memory:
// every export looks its handle arguments up here first (one hash lookup each),
// and answers misuse with its failure value and an error line, as a database
// engine's own interfaces answer misuse.
#pragma once

#include <cstdint>

namespace qv {

enum class LiveKind : std::uint8_t { Handle, Dataset };

// Records an object at `object` from now on; returns the serial number that tells
// it from an earlier object at the same address. Throws std::bad_alloc.
std::uint64_t addLive(const void* object, LiveKind kind);
// Forgets it (its destructor runs).
void removeLive(const void* object) noexcept;
// Whether `object` is live and of that kind; `serial` (may be null) gets its serial.
bool isLive(const void* object, LiveKind kind, std::uint64_t* serial = nullptr) noexcept;

// A member that keeps its object on the list from construction to destruction.
class LiveEntry {
public:
    LiveEntry(const void* object, LiveKind kind) : object_(object), serial_(addLive(object, kind)) {}
    ~LiveEntry() { removeLive(object_); }
    LiveEntry(const LiveEntry&) = delete;
    LiveEntry& operator=(const LiveEntry&) = delete;
    std::uint64_t serial() const { return serial_; }

private:
    const void* object_;
    std::uint64_t serial_;
};

}  // namespace qv
