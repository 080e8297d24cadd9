// Orders-shaped documents of any size for the benchmarks, with the mapping and the
// host dictionaries that read them.
//
// Each order has attributes (id, customer, status), a date read through a date
// conversion, a multivalued column (the ids of its lines) and a nested table of
// lines (id, sku, quantity, price read through a decimal conversion). With
// `namespaces`, every element is in a default namespace that the mapping names by
// a prefix.
#pragma once

#include <cstddef>
#include <string>

namespace qvhost {
class ReferenceHost;
}

namespace bench {

struct OrdersShape {
    std::size_t records = 10000;  // orders plus lines
    int linesPerOrder = 3;
    bool namespaces = false;
};

// Orders in a document of `shape.records` records (rounded down to whole orders).
std::size_t ordersFor(const OrdersShape& shape);

// Writes the document to `path`; returns its size in bytes, 0 when it cannot be written.
std::size_t writeOrdersDocument(const std::string& path, const OrdersShape& shape);

// The same document as a string (small sizes: tests and examples).
std::string ordersDocument(const OrdersShape& shape);

// The mapping that reads it: tables ORDERS and ORDER_LINES.
std::string ordersMapping(bool namespaces);

// Declares the ORDERS and ORDER_LINES dictionaries on a reference host.
void addOrdersDictionaries(qvhost::ReferenceHost& host);

// Writes what the qvxml tool imports orders with into `dir`: ORDERS.dict,
// ORDER_LINES.dict and map.xml (the mapping without namespaces).
void writeOrdersImportFiles(const std::string& dir);

}  // namespace bench
