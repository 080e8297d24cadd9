// The record queue of a table class map.
#pragma once

namespace qv {

struct RecordQueue {
    // Filled in by the reading and writing layers.
};

}  // namespace qv
