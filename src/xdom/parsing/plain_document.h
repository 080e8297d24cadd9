// Whether a document can be scanned without a grammar: Xerces' well-formedness
// scanner reads content as its general scanner does (the same reader, the same
// checks) in about two thirds of the time, but it skips a document type
// declaration whole, so its entities, default attributes and ID types would be
// lost, and it checks a start tag's attributes for duplicates pair by pair, which
// is quadratic in their number where the general scanner hashes them past 100. It
// serves only a document that certainly has no document type and no start tag of
// more than 100 attributes.
#pragma once

#include <cstddef>

#include <xercesc/util/XercesDefs.hpp>

namespace qv {

// True when the bytes, read as an ASCII-compatible encoding (which the XML
// declaration, if any, must name), reach the document element through nothing
// but whitespace, an XML declaration, processing instructions and comments. Any
// doubt (another encoding, a byte order mark other than UTF-8's, "<!" that is no
// comment, text cut short) answers false.
bool hasPlainProlog(const XMLByte* bytes, std::size_t size);

// True when no start tag of the bytes (read as above) can hold more than `most`
// attributes.
bool fewAttributesPerTag(const XMLByte* bytes, std::size_t size, std::size_t most);

// Both, with the general scanner's threshold.
bool isPlainDocument(const XMLByte* bytes, std::size_t size);

}  // namespace qv
