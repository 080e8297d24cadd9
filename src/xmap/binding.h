// Binding table class maps to the host's dictionaries (host callbacks 1 to 3):
// field numbers, multivalued flags, conversion codes and the field-order chain.
#pragma once

#include "xmap/model.h"

namespace qv {

// Binds every map of the tree, depth first; stops at the first failure (3043 to
// 3051), after closing the dictionary it opened. `mode` is the dataset's mode:
// XML_CREATE allows a map without a record ID column, QV_XMAP_EXTRACTION makes a
// virtual field its own error (3044).
bool bindTree(MappingModel& model, int mode);

// Binds one map (same rules).
bool bindMap(TableClassMap& map, int mode);

// Without a dictionary: fields 0, 1, 2 ... in declaration order.
void numberByPosition(TableClassMap& map);

}  // namespace qv
