// The mapping description that QV_XMAPGetInfo hands the host: one field per table
// class map in depth-first order, written with the record marks, telling the host
// which files are involved, how they nest, which fields hold keys of what kind and
// which columns are replaced or appended.
#pragma once

#include <string>

#include "xmap/model.h"
#include "xmap/record.h"

namespace qv {

// Appends the description of every map of the model to `out`.
void describeMapping(const MappingModel& model, const RecordMarks& marks, std::string& out);

}  // namespace qv
