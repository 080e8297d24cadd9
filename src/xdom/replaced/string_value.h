// The string value of a node, computed without recursion (string_value.cpp).
#pragma once

#include <cstddef>

namespace qv {

// Called with the length of every string value taken, when set: the XPath work
// budget counts them (a comparison of two node-sets takes one per pair).
extern void (*g_stringValueTaken)(std::size_t characters);

}  // namespace qv
