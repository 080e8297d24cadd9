// A parsed tree written back as markup that leaves a second parser nothing to
// resolve or expand: no document type, no entity references (the tree holds their
// text already), UTF-8. Stylesheets and the documents they load are read once by
// the guarded parser and handed to Xalan-C++ in this form, so its own parser never
// sees an entity or a DTD.
#pragma once

#include <string>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

// The markup of a document node's children: elements with their attributes (namespace
// declarations included), text (CDATA sections as escaped text), comments and
// processing instructions. Walks without recursion, so depth costs no stack.
std::string plainMarkup(const XERCES_CPP_NAMESPACE::DOMNode* document);

}  // namespace qv
