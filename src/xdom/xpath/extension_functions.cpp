#include "xdom/xpath/extension_functions.h"

#include <cmath>
#include <cstdint>
#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/PlatformSupport/DoubleSupport.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XPath/Function.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPathEnvSupportDefault.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XPath/XalanXPathException.hpp>
#include <xalanc/XalanEXSLT/XalanEXSLTStringImpl.hpp>

#include "frame/limits.h"

namespace qv {

const char16_t kXalanExtensionsNamespace[] = u"http://xml.apache.org/xalan";
const char16_t kExsltDynamicNamespace[] = u"http://exslt.org/dynamic";
const char16_t kEvaluateFunction[] = u"evaluate";

namespace {

const char16_t kExsltStringsNamespace[] = u"http://exslt.org/strings";
const char16_t kPaddingFunction[] = u"padding";

xercesc::MemoryManager& memory() { return xalanc::XalanMemMgrs::getDefaultXercesMemMgr(); }

// str:padding(length, text?) as Xalan computes it, for lengths up to the output
// limit; a longer one stops the transformation. A length that is not a positive
// number gives the empty text (Xalan would take a negative one for a huge size).
class BoundedPadding : public xalanc::Function {
public:
    BoundedPadding() : padding_(memory()) {}
    BoundedPadding(const BoundedPadding&) : padding_(memory()) {}

    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                               xalanc::XalanNode* context, const XObjectArgVectorType& args,
                               const xalanc::Locator* locator) const override {
        if (!args.empty() && !args[0].null()) {
            const double length = xalanc::DoubleSupport::round(args[0]->num(executionContext));
            if (std::isnan(length) || length < 1)
                return executionContext.getXObjectFactory().createString(
                    xalanc::XalanDOMString(memory()));
            if (length > static_cast<double>(limits::kMaxTransformOutput)) {
                const std::string text = "str:padding() stopped: a padding longer than " +
                                         std::to_string(limits::kMaxTransformOutput.value()) +
                                         " characters";
                throw xalanc::XalanXPathException(xalanc::XalanDOMString(text.c_str(), memory()),
                                                  memory(), locator);
            }
        }
        return padding_.execute(executionContext, context, args, locator);
    }
    using Function::execute;

    BoundedPadding* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }

protected:
    const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& buffer) const override {
        buffer.assign(u"The padding() function accepts one or two arguments");
        return buffer;
    }

private:
    xalanc::XalanEXSLTFunctionPadding padding_;
};

// generate-id() as XSLT 1.0 wants it: an ASCII letter followed by ASCII letters
// and digits ("N" and the node's address in hexadecimal), the same for a node
// throughout a transformation. Xalan's own gives "N(nil)N0x..." for the root.
class StableGenerateId : public xalanc::Function {
public:
    // Built-in functions are called by their number of arguments.
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                               xalanc::XalanNode* context,
                               const xalanc::Locator*) const override {
        return idOf(executionContext, context);
    }
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                               xalanc::XalanNode*, const xalanc::XObjectPtr arg,
                               const xalanc::Locator*) const override {
        const xalanc::NodeRefListBase& nodes = arg->nodeset();
        return idOf(executionContext, nodes.getLength() == 0 ? nullptr : nodes.item(0));
    }
    using Function::execute;

    StableGenerateId* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }

protected:
    const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& buffer) const override {
        buffer.assign(u"The generate-id() function accepts zero or one argument");
        return buffer;
    }

private:
    static xalanc::XObjectPtr idOf(xalanc::XPathExecutionContext& executionContext,
                                   const xalanc::XalanNode* node) {
        xalanc::XalanDOMString id(memory());
        if (node) {
            static const char16_t kHex[] = u"0123456789abcdef";
            std::uintptr_t address = reinterpret_cast<std::uintptr_t>(node);
            char16_t digits[2 * sizeof address];
            std::size_t count = 0;
            do {
                digits[count++] = kHex[address & 15];
                address >>= 4;
            } while (address != 0);
            id.append(1, u'N');
            while (count > 0) id.append(1, digits[--count]);
        }
        return executionContext.getXObjectFactory().createString(id);
    }
};

// lang() as XSLT 1.0 has it: the xml:lang of the nearest ancestor-or-self that
// has one decides. Xalan's own matches any ancestor's.
class NearestLang : public xalanc::Function {
public:
    xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                               xalanc::XalanNode* context, const xalanc::XObjectPtr arg,
                               const xalanc::Locator*) const override {
        const xalanc::XalanDOMString& wanted = arg->str(executionContext);
        static const xalanc::XalanDOMString kXml(u"http://www.w3.org/XML/1998/namespace", memory());
        static const xalanc::XalanDOMString kLang(u"lang", memory());
        bool matches = false;
        for (const xalanc::XalanNode* node = context; node;
             node = xalanc::DOMServices::getParentOfNode(*node)) {
            if (node->getNodeType() != xalanc::XalanNode::ELEMENT_NODE) continue;
            const xalanc::XalanNamedNodeMap* attributes = node->getAttributes();
            const xalanc::XalanNode* lang = attributes ? attributes->getNamedItemNS(kXml, kLang) : nullptr;
            if (!lang) continue;
            matches = sameOrSublanguage(lang->getNodeValue(), wanted);
            break;
        }
        return executionContext.getXObjectFactory().createBoolean(matches);
    }
    using Function::execute;

    NearestLang* clone(xercesc::MemoryManager& manager) const override {
        return xalanc::XalanCopyConstruct(manager, *this);
    }

protected:
    const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& buffer) const override {
        buffer.assign(u"The lang() function accepts one argument");
        return buffer;
    }

private:
    // `value` equals `wanted` or starts with it and a '-', ignoring ASCII case.
    static bool sameOrSublanguage(const xalanc::XalanDOMString& value,
                                  const xalanc::XalanDOMString& wanted) {
        if (value.length() < wanted.length()) return false;
        for (xalanc::XalanDOMString::size_type i = 0; i < wanted.length(); ++i)
            if (lower(value[i]) != lower(wanted[i])) return false;
        return value.length() == wanted.length() || value[wanted.length()] == u'-';
    }
    static char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }
};

bool g_restricted = false;
bool g_corrected = false;

}  // namespace

void correctCoreFunctions() {
    if (g_corrected) return;
    xalanc::XPath::installFunction(xalanc::XalanDOMString(u"lang", memory()), NearestLang());
    g_corrected = true;
}

void restrictExtensionFunctions() {
    if (g_restricted) return;
    using Env = xalanc::XPathEnvSupportDefault;
    const xalanc::XalanDOMString evaluate(kEvaluateFunction, memory());
    Env::uninstallExternalFunctionGlobal(xalanc::XalanDOMString(kXalanExtensionsNamespace, memory()),
                                         evaluate);
    Env::uninstallExternalFunctionGlobal(xalanc::XalanDOMString(kExsltDynamicNamespace, memory()),
                                         evaluate);
    Env::installExternalFunctionGlobal(xalanc::XalanDOMString(kExsltStringsNamespace, memory()),
                                       xalanc::XalanDOMString(kPaddingFunction, memory()),
                                       BoundedPadding());
    xalanc::XPath::installFunction(xalanc::XalanDOMString(u"generate-id", memory()),
                                   StableGenerateId());
    correctCoreFunctions();
    g_restricted = true;
}

}  // namespace qv
