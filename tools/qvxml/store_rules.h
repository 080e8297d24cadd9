// How a record read from a document joins the record of the same ID already in the
// account, following the column actions that the mapping description lists.
#pragma once

#include <string>

#include "mapping_info.h"

namespace qvcli {

// The record to store for `incoming` when `stored` has its ID.
//   - A table whose description lists no Replace or Append column: the incoming
//     record replaces the stored one whole.
//   - Replace (1000): the field is the incoming field.
//   - Append (1001): the incoming values follow the stored ones (value mark between);
//     into a parent key field only the values not stored yet.
//   - Any other field keeps its stored text, or takes the incoming one where the
//     stored field is empty.
// Empty trailing fields are dropped.
std::string joinRecord(const std::string& stored, const std::string& incoming,
                       const InfoTable* info);

}  // namespace qvcli
