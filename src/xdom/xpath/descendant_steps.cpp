#include "xdom/xpath/descendant_steps.h"

#include <unordered_set>
#include <vector>

#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathExpression.hpp>
#include <xalanc/XPath/XPathFunctionTable.hpp>
#include <xalanc/XSLT/ElemTemplate.hpp>
#include <xalanc/XSLT/ElemTemplateElement.hpp>
#include <xalanc/XSLT/StylesheetRoot.hpp>

#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {

using Op = xalanc::XPathExpression;

// The functions whose value is never a number: a predicate made of one of
// them selects by value, not by position. Looked up by name each time, since
// the transformer installs its functions (key, document, ...) when it starts.
std::unordered_set<int> nonNumericFunctions() {
    static const char* const kNames[] = {
        "boolean", "not", "true", "false", "lang", "contains", "starts-with", "string",
        "concat", "substring", "substring-before", "substring-after", "normalize-space",
        "translate", "name", "local-name", "namespace-uri", "id", "key", "generate-id",
        "current", "document", "format-number", "unparsed-entity-uri",
        "element-available", "function-available"};
    std::unordered_set<int> ids;
    const xalanc::XPathFunctionTable& table = xalanc::XPath::getFunctionTable();
    for (const char* name : kNames) {
        const int id = table.nameToID(xalanc::XalanDOMString(name, xalanMemory()));
        if (id >= 0) ids.insert(id);
    }
    return ids;
}

bool isStep(int op) {
    return (op >= Op::eFROM_ANCESTORS && op <= Op::eFROM_ROOT) ||
           (op >= Op::eMATCH_ATTRIBUTE && op <= Op::eMATCH_ANY_ANCESTOR_WITH_FUNCTION_CALL);
}

// Walks a compiled op map (the layouts of xalanc/XPath/XPathExpression.hpp):
// every operation starts with its code and its length, steps carry a second
// length (the step without its predicates), and node tests have none.
class Rewriter {
public:
    explicit Rewriter(Op& expression) : map_(expression), size_(expression.opCodeMapLength()) {}

    int run() {
        if (size_ < 2) return 0;
        if (at(0) == Op::eOP_MATCHPATTERN) {
            children(0, 2);
        } else {
            expression(0);
        }
        return rewritten_;
    }

private:
    // The slot at `position`; an end marker outside the map.
    int at(int position) const {
        return position >= 0 && position < size_ ? map_.getOpCodeMapValue(position) : Op::eENDOP;
    }
    // The length of the operation at `position`; 0 when it does not fit the map.
    int lengthAt(int position) const {
        const int length = at(position + 1);
        return length >= 2 && position + length <= size_ ? length : 0;
    }

    // The expressions that follow `header` slots of the operation at `position`,
    // up to its end or an end marker.
    void children(int position, int header) {
        const int end = position + lengthAt(position);
        for (int child = position + header; child < end && at(child) != Op::eENDOP;) {
            const int length = lengthAt(child);
            if (length == 0) return;
            expression(child);
            child += length;
        }
    }

    void expression(int position) {
        const int op = at(position);
        if (lengthAt(position) == 0) return;
        switch (op) {
        case Op::eOP_LOCATIONPATH:
        case Op::eOP_LOCATIONPATHPATTERN:
            path(position);
            break;
        case Op::eOP_FUNCTION:
        case Op::eOP_EXTFUNCTION:
            children(position, 4);  // function id (or names) and argument count
            break;
        case Op::eOP_LITERAL:
        case Op::eOP_VARIABLE:
        case Op::eOP_NUMBERLIT:
            break;
        default:
            if (op == Op::eOP_XPATH || op == Op::eOP_MATCHPATTERN ||
                (op >= Op::eOP_OR && op <= Op::eOP_ARGUMENT) || op == Op::eOP_PREDICATE ||
                op == Op::eOP_PREDICATE_WITH_POSITION ||
                (op >= Op::eOP_FUNCTION_POSITION && op < Op::eOpCodeNextAvailable))
                children(position, 2);
            break;
        }
    }

    // A location path or pattern: steps, or a first expression (variable,
    // function call, group), each followed by its predicates.
    void path(int position) {
        const int end = position + lengthAt(position);
        for (int item = position + 2; item < end && at(item) != Op::eENDOP;) {
            const int length = lengthAt(item);
            if (length == 0) return;
            if (isStep(at(item))) {
                const int stepLength = at(item + 2);
                if (stepLength < 3 || stepLength > length) return;
                for (int predicate = item + stepLength; predicate < item + length;) {
                    const int predicateLength = lengthAt(predicate);
                    if (predicateLength == 0) return;
                    expression(predicate);
                    predicate += predicateLength;
                }
                const int next = item + length;
                if (next < end && descendantPair(item, next)) {
                    map_.setOpCodeMapValue(item, Op::eFROM_SELF);
                    map_.setOpCodeMapValue(next, Op::eFROM_DESCENDANTS);
                    ++rewritten_;
                }
            } else {
                expression(item);
            }
            item += length;
        }
    }

    // descendant-or-self::node() without predicates, then child::X whose
    // predicates do not depend on the position.
    bool descendantPair(int first, int second) {
        // The step is its three header slots and the node test, nothing more.
        if (at(first) != Op::eFROM_DESCENDANTS_OR_SELF || at(first + 1) != 4 ||
            at(first + 2) != 4 || at(first + 3) != Op::eNODETYPE_NODE)
            return false;
        if (at(second) != Op::eFROM_CHILDREN) return false;
        const int length = lengthAt(second);
        const int stepLength = at(second + 2);
        if (length == 0 || stepLength < 3 || stepLength > length) return false;
        for (int predicate = second + stepLength; predicate < second + length;) {
            const int predicateLength = lengthAt(predicate);
            if (predicateLength == 0 || at(predicate) != Op::eOP_PREDICATE ||
                !neverNumber(predicate + 2))
                return false;
            predicate += predicateLength;
        }
        return true;
    }

    // Whether the expression's value cannot be a number (a number predicate
    // compares with the position).
    bool neverNumber(int position) {
        const int op = at(position);
        switch (op) {
        case Op::eOP_OR:
        case Op::eOP_AND:
        case Op::eOP_NOTEQUALS:
        case Op::eOP_EQUALS:
        case Op::eOP_LTE:
        case Op::eOP_LT:
        case Op::eOP_GTE:
        case Op::eOP_GT:
        case Op::eOP_BOOL:
        case Op::eOP_UNION:
        case Op::eOP_LITERAL:
        case Op::eOP_LOCATIONPATH:
        case Op::eOP_FUNCTION_NOT:
        case Op::eOP_FUNCTION_TRUE:
        case Op::eOP_FUNCTION_FALSE:
        case Op::eOP_FUNCTION_BOOLEAN:
        case Op::eOP_FUNCTION_NAME_0:
        case Op::eOP_FUNCTION_NAME_1:
        case Op::eOP_FUNCTION_LOCALNAME_0:
        case Op::eOP_FUNCTION_LOCALNAME_1:
        case Op::eOP_FUNCTION_STRING_0:
        case Op::eOP_FUNCTION_STRING_1:
        case Op::eOP_FUNCTION_NAMESPACEURI_0:
        case Op::eOP_FUNCTION_NAMESPACEURI_1:
        case Op::eOP_FUNCTION_CONCAT:
            return true;
        case Op::eOP_GROUP:
            return lengthAt(position) != 0 && neverNumber(position + 2);
        case Op::eOP_FUNCTION:
            if (!functionsKnown_) {
                nonNumeric_ = nonNumericFunctions();
                functionsKnown_ = true;
            }
            return nonNumeric_.count(at(position + 2)) != 0;
        default:  // numbers, arithmetic, variables, extension functions
            return false;
        }
    }

    Op& map_;
    const int size_;
    int rewritten_ = 0;
    bool functionsKnown_ = false;
    std::unordered_set<int> nonNumeric_;
};

}  // namespace

int rewriteDescendantSteps(xalanc::XPath& xpath) {
    return Rewriter(xpath.getExpression()).run();
}

int rewriteDescendantSteps(const xalanc::StylesheetRoot& stylesheet) {
    // No element has more than three expressions (xsl:number: count, from,
    // value); absent ones are null.
    constexpr xalanc::XalanSize_t kMostExpressions = 4;
    int rewritten = 0;
    // The links are not a tree: an xsl:call-template without children keeps the
    // template it calls in its first-child slot, whose siblings lead back to the
    // caller. Each element is visited once, whatever the links.
    std::unordered_set<const xalanc::ElemTemplateElement*> seen;
    std::vector<const xalanc::ElemTemplateElement*> pending;
    const auto push = [&](const xalanc::ElemTemplateElement* element) {
        if (seen.insert(element).second) pending.push_back(element);
    };
    for (const xalanc::ElemTemplateElement* t = stylesheet.getFirstTemplate(); t;
         t = t->getNextSiblingElem()) {
        if (!seen.insert(t).second) break;
        pending.push_back(t);
    }
    while (!pending.empty()) {
        const xalanc::ElemTemplateElement* element = pending.back();
        pending.pop_back();
        for (xalanc::XalanSize_t i = 0; i < kMostExpressions; ++i) {
            // The stylesheet is ours until the transformer releases it; Xalan
            // hands its expressions out read-only because it never edits them.
            if (const xalanc::XPath* xpath = element->getXPath(i))
                rewritten += rewriteDescendantSteps(const_cast<xalanc::XPath&>(*xpath));
        }
        for (const xalanc::ElemTemplateElement* child = element->getFirstChildElem(); child;
             child = child->getNextSiblingElem()) {
            if (seen.count(child)) break;  // the rest of this chain is known too
            push(child);
        }
    }
    return rewritten;
}

}  // namespace qv
