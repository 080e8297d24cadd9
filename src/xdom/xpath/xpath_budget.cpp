#include "xdom/xpath/xpath_budget.h"

#include <algorithm>
#include <exception>
#include <unordered_set>
#include <vector>

#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XPath/FunctionConcat.hpp>
#include <xalanc/XPath/FunctionContains.hpp>
#include <xalanc/XPath/FunctionID.hpp>
#include <xalanc/XPath/FunctionSubstringAfter.hpp>
#include <xalanc/XPath/FunctionSubstringBefore.hpp>
#include <xalanc/XPath/FunctionTranslate.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XalanXPathException.hpp>

#include "xdom/replaced/string_value.h"

namespace qv {
namespace {

xercesc::MemoryManager& memory() { return xalanc::XalanMemMgrs::getDefaultXercesMemMgr(); }

WorkMeter* g_active = nullptr;

// A string value taken anywhere in Xalan, charged to the evaluation under way.
// Not while an exception unwinds: the evaluation is stopping already.
void stringValueTaken(std::size_t characters) {
    if (g_active && std::uncaught_exceptions() == 0) g_active->chargeStringValue(characters);
}

WorkMeter* meterOf(xalanc::XPathExecutionContext& context) {
    if (auto* meter = dynamic_cast<WorkMeter*>(&context)) return meter;
    return g_active;
}

// Tells the meter of a result of `result` characters about to be made (what a
// transformation holds is checked first), then charges the characters a string
// function touches.
void touched(xalanc::XPathExecutionContext& context, std::size_t characters,
             std::size_t result = 0) {
    if (WorkMeter* meter = meterOf(context)) {
        if (result) meter->growing(result);
        meter->chargeCharacters(characters);
    }
}

using Text = xalanc::XalanDOMString;
constexpr Text::size_type kNotFound = static_cast<Text::size_type>(-1);

// Where `needle` first occurs in `hay` (Knuth-Morris-Pratt: linear in both, where
// Xalan's search takes their product).
Text::size_type find(const Text& hayText, const Text& needleText) {
    const XMLCh* hay = hayText.c_str();
    const XMLCh* needle = needleText.c_str();
    const Text::size_type n = hayText.length(), m = needleText.length();
    if (m == 0) return 0;
    if (m > n) return kNotFound;
    std::vector<Text::size_type> border(m, 0);
    for (Text::size_type i = 1, k = 0; i < m; ++i) {
        while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
        if (needle[i] == needle[k]) ++k;
        border[i] = k;
    }
    for (Text::size_type i = 0, k = 0; i < n; ++i) {
        while (k > 0 && hay[i] != needle[k]) k = border[k - 1];
        if (hay[i] == needle[k]) ++k;
        if (k == m) return i + 1 - m;
    }
    return kNotFound;
}

xalanc::XObjectPtr stringResult(xalanc::XPathExecutionContext& context, const XMLCh* begin,
                                Text::size_type length) {
    xalanc::XPathExecutionContext::GetCachedString result(context);
    result.get().assign(begin, length);
    return context.getXObjectFactory().createString(result);
}

class MeteredContains : public xalanc::FunctionContains {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::Locator*) const override {
        const Text& hay = arg1->str(context);
        const Text& needle = arg2->str(context);
        touched(context, hay.length() + needle.length());
        return context.getXObjectFactory().createBoolean(find(hay, needle) != kNotFound);
    }
    using FunctionContains::execute;
    MeteredContains* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }
};

class MeteredSubstringBefore : public xalanc::FunctionSubstringBefore {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::Locator*) const override {
        const Text& hay = arg1->str(context);
        const Text& needle = arg2->str(context);
        touched(context, hay.length() + needle.length());
        const Text::size_type at = find(hay, needle);
        if (at == kNotFound) return stringResult(context, hay.c_str(), 0);
        touched(context, 0, at);
        return stringResult(context, hay.c_str(), at);
    }
    using FunctionSubstringBefore::execute;
    MeteredSubstringBefore* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }
};

class MeteredSubstringAfter : public xalanc::FunctionSubstringAfter {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::Locator*) const override {
        const Text& hay = arg1->str(context);
        const Text& needle = arg2->str(context);
        touched(context, hay.length() + needle.length());
        const Text::size_type at = find(hay, needle);
        if (at == kNotFound) return stringResult(context, hay.c_str(), 0);
        const Text::size_type from = at + needle.length();
        touched(context, 0, hay.length() - from);
        return stringResult(context, hay.c_str() + from, hay.length() - from);
    }
    using FunctionSubstringAfter::execute;
    MeteredSubstringAfter* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }
};

class MeteredTranslate : public xalanc::FunctionTranslate {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::XObjectPtr arg3,
                               const xalanc::Locator*) const override {
        const Text& text = arg1->str(context);
        const Text& from = arg2->str(context);
        const Text& to = arg3->str(context);
        touched(context, text.length() + from.length() + to.length(), text.length());
        // The first occurrence of a character in `from` decides: its counterpart in
        // `to`, or nothing past the end of `to`. A table of every UTF-16 unit for a
        // long `from`, a scan of it for a short one.
        constexpr long kKeep = -2, kDrop = -1;
        std::vector<long> table;
        const XMLCh* f = from.c_str();
        const Text::size_type fromLength = from.length();
        if (fromLength > 16) {
            table.assign(0x10000, kKeep);
            for (Text::size_type i = fromLength; i-- > 0;)
                table[f[i]] = i < to.length() ? static_cast<long>(to[i]) : kDrop;
        }
        auto replacement = [&](XMLCh c) -> long {
            if (!table.empty()) return table[c];
            for (Text::size_type i = 0; i < fromLength; ++i)
                if (f[i] == c) return i < to.length() ? static_cast<long>(to[i]) : kDrop;
            return kKeep;
        };
        xalanc::XPathExecutionContext::GetCachedString result(context);
        Text& out = result.get();
        out.reserve(text.length());
        const XMLCh* t = text.c_str();
        for (Text::size_type i = 0; i < text.length(); ++i) {
            const long r = replacement(t[i]);
            if (r == kKeep)
                out.push_back(t[i]);
            else if (r != kDrop)
                out.push_back(static_cast<XMLCh>(r));
        }
        return context.getXObjectFactory().createString(result);
    }
    using FunctionTranslate::execute;
    MeteredTranslate* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }
};

// Sizes the result once: Xalan's grows it by each argument, a copy of all so far.
class MeteredConcat : public xalanc::FunctionConcat {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const XObjectArgVectorType& args,
                               const xalanc::Locator*) const override {
        std::vector<const Text*> parts;
        parts.reserve(args.size());
        for (const xalanc::XObjectPtr& arg : args) parts.push_back(&arg->str(context));
        return join(context, parts);
    }
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::Locator*) const override {
        return join(context, {&arg1->str(context), &arg2->str(context)});
    }
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                               const xalanc::XObjectPtr arg1, const xalanc::XObjectPtr arg2,
                               const xalanc::XObjectPtr arg3,
                               const xalanc::Locator*) const override {
        return join(context, {&arg1->str(context), &arg2->str(context), &arg3->str(context)});
    }
    using FunctionConcat::execute;
    MeteredConcat* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }

private:
    static xalanc::XObjectPtr join(xalanc::XPathExecutionContext& context,
                                   const std::vector<const Text*>& parts) {
        std::size_t length = 0;
        for (const Text* part : parts) length += part->length();
        // Copying costs a quarter of what searching does.
        touched(context, length / 4, length);
        xalanc::XPathExecutionContext::GetCachedString result(context);
        Text& out = result.get();
        out.reserve(static_cast<Text::size_type>(length));
        for (const Text* part : parts) out.append(*part);
        return context.getXObjectFactory().createString(result);
    }
};

// Finds each ID once and puts the elements in document order with one sort:
// Xalan's id() inserts every element it finds in document order among those found
// so far, which is quadratic in them. Each ID looked up costs a step.
class MeteredId : public xalanc::FunctionID {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode* node,
                               const xalanc::XObjectPtr arg1,
                               const xalanc::Locator*) const override {
        xalanc::XalanDocument* document =
            node->getNodeType() == xalanc::XalanNode::DOCUMENT_NODE
                ? static_cast<xalanc::XalanDocument*>(node)
                : node->getOwnerDocument();
        std::vector<xalanc::XalanNode*> found;
        std::unordered_set<const xalanc::XalanNode*> seen;
        auto lookUp = [&](const Text& ids) {
            const XMLCh* p = ids.c_str();
            const XMLCh* end = p + ids.length();
            Text id(memory());
            while (p < end) {
                while (p < end && isSpace(*p)) ++p;
                const XMLCh* start = p;
                while (p < end && !isSpace(*p)) ++p;
                if (p == start) break;
                touched(context, static_cast<std::size_t>(p - start));
                id.assign(start, static_cast<Text::size_type>(p - start));
                xalanc::XalanNode* element = document ? document->getElementById(id) : nullptr;
                if (element && seen.insert(element).second) found.push_back(element);
            }
        };
        if (arg1->getType() == xalanc::XObject::eTypeNodeSet) {
            const xalanc::NodeRefListBase& nodes = arg1->nodeset();
            Text value(memory());
            for (xalanc::NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i) {
                value.clear();
                xalanc::DOMServices::getNodeData(*nodes.item(i), context, value);
                lookUp(value);
            }
        } else {
            lookUp(arg1->str(context));
        }
        bool indexed = true;
        for (const xalanc::XalanNode* e : found) indexed = indexed && e->isIndexed();
        std::sort(found.begin(), found.end(), [indexed](xalanc::XalanNode* a, xalanc::XalanNode* b) {
            return indexed ? a->getIndex() < b->getIndex() : xalanc::DOMServices::isNodeAfter(*b, *a);
        });
        xalanc::XPathExecutionContext::BorrowReturnMutableNodeRefList result(context);
        for (xalanc::XalanNode* e : found) result->addNode(e);
        result->setDocumentOrder();
        return context.getXObjectFactory().createNodeSet(result);
    }
    using FunctionID::execute;
    MeteredId* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }

private:
    static bool isSpace(XMLCh c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
};

// Puts the metered string functions in Xalan's (process-wide) table of core
// functions, once; outside a budgeted evaluation they only run.
void installMeteredFunctions() {
    static bool installed = false;
    if (installed) return;
    xalanc::XPath::installFunction(u"contains", MeteredContains());
    xalanc::XPath::installFunction(u"substring-before", MeteredSubstringBefore());
    xalanc::XPath::installFunction(u"substring-after", MeteredSubstringAfter());
    xalanc::XPath::installFunction(u"translate", MeteredTranslate());
    xalanc::XPath::installFunction(u"concat", MeteredConcat());
    xalanc::XPath::installFunction(u"id", MeteredId());
    g_stringValueTaken = &stringValueTaken;
    installed = true;
}

}  // namespace

unsigned long listWork(const xalanc::NodeRefListBase& list) {
    const xalanc::NodeRefListBase::size_type length = list.getLength();
    unsigned long work = length;
    for (xalanc::NodeRefListBase::size_type i = 0; i < length; ++i) {
        const xalanc::XalanNode* node = list.item(i);
        if (!node || node->getNodeType() != xalanc::XalanNode::ATTRIBUTE_NODE ||
            !xalanc::DOMServices::isNamespaceDeclaration(static_cast<const xalanc::XalanAttr&>(*node)))
            continue;
        const xalanc::XalanNode* element = xalanc::DOMServices::getParentOfNode(*node);
        if (element && element->getAttributes()) work += element->getAttributes()->getLength();
    }
    return work;
}

WorkMeter::WorkMeter(unsigned long budget) : budget_(budget), previous_(g_active) {
    installMeteredFunctions();
    g_active = this;
}

WorkMeter::~WorkMeter() { g_active = previous_; }

WorkMeter* WorkMeter::active() { return g_active; }

CoreFunctionsOnly::CoreFunctionsOnly() : XPathEnvSupportDefault(memory()) {}

xalanc::XObjectPtr CoreFunctionsOnly::extFunction(xalanc::XPathExecutionContext&,
                                                  const xalanc::XalanDOMString& theNamespace,
                                                  const xalanc::XalanDOMString& functionName,
                                                  xalanc::XalanNode*, const XObjectArgVectorType&,
                                                  const xalanc::Locator* locator) const {
    xalanc::XalanDOMString message(u"The function '{", memory());
    message.append(theNamespace);
    message.append(u"}");
    message.append(functionName);
    message.append(u"' is not available: queries use the XPath 1.0 core functions only.");
    throw xalanc::XalanXPathException(message, memory(), locator);
}

std::string workExceeded(unsigned long budget) {
    return "more than " + std::to_string(budget) + " node steps";
}

void BudgetedExecutionContext::exceeded(unsigned long budget) {
    const std::string text = "XPath evaluation stopped: " + workExceeded(budget);
    throw xalanc::XalanXPathException(xalanc::XalanDOMString(text.c_str(), memory()), memory());
}

}  // namespace qv
