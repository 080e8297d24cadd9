# The library defines some members of Xalan-C++ itself (cmake/dependency_overrides.txt).
# They take effect only when Xalan's own calls bind to the same mangled names, so a
# Xalan-C++ whose namespace or member signatures differ must stop the configure instead
# of linking definitions nothing calls.
include(CheckCXXSourceCompiles)

set(CMAKE_REQUIRED_INCLUDES ${XalanC_INCLUDE_DIRS} ${XercesC_INCLUDE_DIRS})
set(CMAKE_REQUIRED_QUIET ON)
# Declarations are what matter here: compile only, link nothing.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
check_cxx_source_compiles([[
#include <cstddef>
#include <xalanc/Include/XalanVector.hpp>
#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/XPath/MutableNodeRefList.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
namespace x = xalanc_1_12;
using Nodes = x::XalanVector<x::XalanNode*, x::MemoryManagedConstructionTraits<x::XalanNode*>>;
void (Nodes::*insert)(x::XalanNode**, std::size_t, x::XalanNode* const&) = &Nodes::insert;
x::XalanDOMString& (*toString)(double, x::XalanDOMString&) = &x::NumberToDOMString;
void (*toCharacters)(double, x::FormatterListener&, x::DOMStringHelper::MemberFunctionPtr) =
    &x::DOMStringHelper::NumberToCharacters;
void (*nodeData)(const x::XalanNode&, x::XalanDOMString&) = &x::DOMServices::getNodeData;
void (*nodeDataTo)(const x::XalanNode&, x::FormatterListener&,
                   x::DOMServices::MemberFunctionPtr) = &x::DOMServices::getNodeData;
struct Root : x::XPath {
    using Find = OpCodeMapPositionType (x::XPath::*)(x::XPathExecutionContext&, x::XalanNode*,
                                                     OpCodeMapPositionType, OpCodeMapValueType,
                                                     x::MutableNodeRefList&) const;
    static Find find() { return &Root::findRoot; }
};
bool bound() { return insert && toString && toCharacters && nodeData && nodeDataTo && Root::find(); }
]] QVXML_XALAN_OVERRIDES_MATCH)
unset(CMAKE_REQUIRED_INCLUDES)
unset(CMAKE_REQUIRED_QUIET)
unset(CMAKE_TRY_COMPILE_TARGET_TYPE)

if(NOT QVXML_XALAN_OVERRIDES_MATCH)
  message(FATAL_ERROR
    "Xalan-C++ ${XalanC_VERSION} does not declare the members the library replaces "
    "(cmake/dependency_overrides.txt) with the signatures it assumes (namespace xalanc_1_12); "
    "the replacements would not take effect. Build against Xalan-C++ 1.12.")
endif()
