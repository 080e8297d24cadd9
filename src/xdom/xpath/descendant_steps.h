// `//X` as one descendant step in a compiled XPath.
//
// Xalan compiles `//X` as descendant-or-self::node()/child::X and evaluates it
// as written: the children of every node of the tree, merged into one set in
// document order. A parent's children come before its descendants' children in
// that merge, so most of them are inserted into the middle of a large set:
// //* over 225,000 nodes takes seconds. Where the child step has no predicate
// that depends on the position, the pair selects exactly descendant::X, which
// Xalan walks in document order with plain appends. The rewrite keeps the op
// map's layout: the descendant-or-self::node() step becomes self::node() (a
// step that hands on its context node) and child::X becomes descendant::X.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>

namespace XALAN_CPP_NAMESPACE {
class StylesheetRoot;
class XPath;
}

namespace qv {

// Rewrites every descendant-or-self::node()/child::X pair of a compiled
// expression or match pattern whose child step has only predicates that cannot
// be numbers (nor use position() or last()), at any depth: in paths, in
// predicates, in function arguments. Returns the number of pairs rewritten.
// Parts of the op map it does not recognise are left as they are.
int rewriteDescendantSteps(xalanc::XPath& xpath);

// The same for the expressions of a compiled stylesheet that the stylesheet's
// templates reach: match patterns and every instruction's select, test and
// other expressions. Xalan keeps no public way to the top-level variables and
// keys or to the templates of imported stylesheets: those keep their
// evaluation as compiled.
int rewriteDescendantSteps(const xalanc::StylesheetRoot& stylesheet);

}  // namespace qv
