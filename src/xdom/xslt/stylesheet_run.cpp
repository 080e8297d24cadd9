#include "xdom/xslt/stylesheet_run.h"

#include <cstddef>
#include <cstdlib>
#include <deque>
#include <functional>

#include <xalanc/ICUBridge/ICUBridgeCollationCompareFunctor.hpp>
#include <xalanc/ICUBridge/ICUFormatNumberFunctor.hpp>

#include <xalanc/PlatformSupport/DOMStringPrintWriter.hpp>
#include <xalanc/PlatformSupport/XalanMessageLoader.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XMLSupport/XMLParserLiaison.hpp>
#include <xalanc/XPath/XObjectFactoryDefault.hpp>
#include <xalanc/XPath/XPathFactoryBlock.hpp>
#include <xalanc/XSLT/StylesheetExecutionContextDefault.hpp>
#include <xalanc/XSLT/StylesheetExecutionContext.hpp>
#include <xalanc/XSLT/XSLTEngineImpl.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTProcessorEnvSupportDefault.hpp>
#include <xalanc/XSLT/ProblemListener.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanTransformer/XalanCompiledStylesheet.hpp>
#include <xalanc/XalanTransformer/XalanParsedSource.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "frame/limits.h"
#include "frame/transcode.h"
#include "xdom/xpath/xalan_memory.h"
#include "xdom/xpath/xpath_budget.h"
#include "xdom/xslt/counted_output.h"
#include "xdom/xslt/transform_options.h"
#include "xdom/xslt/transform_sources.h"

namespace qv {
namespace {

// Thrown from inside the transformation when it goes over a budget; the
// transformer catches it like its own errors and unwinds.
class BudgetExceeded : public xalanc::XSLException {
public:
    explicit BudgetExceeded(const std::string& message)
        : XSLException(xalanc::XalanDOMString(message.c_str(), xalanMemory()), xalanMemory()) {}
    const XMLCh* getType() const override { return u"BudgetExceeded"; }
};

// The execution context of a run: its XPath work and the strings its functions
// make go to the transformation's budget.
class BudgetedStylesheetContext
    : public WorkBudgeted<xalanc::StylesheetExecutionContextDefault> {
public:
    BudgetedStylesheetContext(TransformBudget& budget, unsigned long xpathBudget,
                              xercesc::MemoryManager& memory, xalanc::XSLTEngineImpl& processor,
                              xalanc::XPathEnvSupport& envSupport,
                              xalanc::DOMSupport& domSupport, xalanc::XObjectFactory& factory)
        : WorkBudgeted(xpathBudget, memory, processor, envSupport, domSupport, factory),
          budget_(budget),
          xmlNamespace_(u"http://www.w3.org/XML/1998/namespace", memory),
          xmlPrefix_(u"xml", memory) {}

    void growing(std::size_t characters) override {
        budget_.growing(characters * sizeof(XMLCh));
    }

    // Every instruction asks, as it starts, whether anyone traces it: the budget
    // counts it there, and the answer is no one, so that Xalan builds no trace,
    // selection or generate events (for those, an xsl:value-of evaluates its
    // select twice, and every piece of the result is copied: together half of a
    // shredding transformation).
    tl_size_type getTraceListeners() const override {
        budget_.instruction(WorkBudgeted::getCurrentStackFrameIndex());
        return 0;
    }

    // The result's formatter, given by the caller or made for the output method,
    // and the HTML writer Xalan switches to on its own: each is counted.
    void setFormatterListener(xalanc::FormatterListener* formatter) override {
        WorkBudgeted::setFormatterListener(formatter ? counted(*formatter) : nullptr);
    }
    xalanc::FormatterListener* createFormatterToHTML(
        xalanc::Writer& writer, const xalanc::XalanDOMString& encoding,
        const xalanc::XalanDOMString& mediaType, const xalanc::XalanDOMString& doctypeSystem,
        const xalanc::XalanDOMString& doctypePublic, bool doIndent, int indent, bool escapeURLs,
        bool omitMetaTag) override {
        return counted(*WorkBudgeted::createFormatterToHTML(writer, encoding, mediaType,
                                                            doctypeSystem, doctypePublic,
                                                            doIndent, indent, escapeURLs,
                                                            omitMetaTag));
    }

    // The XML namespace always has the prefix xml and is never declared: asked for
    // the prefix of a result attribute in it, Xalan would otherwise make one up
    // (ns0) and declare it, which no namespace-aware parser accepts.
    const xalanc::XalanDOMString* getResultPrefixForNamespace(
        const xalanc::XalanDOMString& theNamespace) const override {
        if (theNamespace == xmlNamespace_) return &xmlPrefix_;
        return WorkBudgeted::getResultPrefixForNamespace(theNamespace);
    }

    // A top-level variable is evaluated with the root as the only node of the
    // context node list, where Xalan has no list at all (position() and last()
    // would be 0). A list that is there is never empty while it is evaluated in.
    xalanc::XalanSize_t getContextNodeListLength() const override {
        const xalanc::XalanSize_t length = WorkBudgeted::getContextNodeListLength();
        return length == 0 ? 1 : length;
    }
    xalanc::XalanSize_t getContextNodeListPosition(
        const xalanc::XalanNode& contextNode) const override {
        if (WorkBudgeted::getContextNodeListLength() == 0) return 1;
        return WorkBudgeted::getContextNodeListPosition(contextNode);
    }

protected:
    [[noreturn]] void exceeded(unsigned long budget) override {
        budget_.stop(workExceeded(budget));
    }

private:
    // The counting wrapper of `formatter`, made once; a wrapper is its own.
    CountedOutput* counted(xalanc::FormatterListener& formatter) {
        for (CountedOutput& output : outputs_)
            if (&output == &formatter || &output.inner() == &formatter) return &output;
        return &outputs_.emplace_back(formatter, budget_);
    }

    TransformBudget& budget_;
    std::deque<CountedOutput> outputs_;
    const xalanc::XalanDOMString xmlNamespace_;
    const xalanc::XalanDOMString xmlPrefix_;
};

// Where Xalan's problems go: errors into the message of the failure, as its
// transformer's own listener writes them; xsl:message texts and warnings to the
// caller's reader, one line each. A reference to a variable that is not declared
// is an error to XSLT 1.0; Xalan only warns and reads its own message as the
// value, so that warning fails the transformation.
class ProblemSorter : public xalanc::ProblemListener {
public:
    ProblemSorter(xalanc::XalanDOMString& errors, xercesc::MemoryManager& memory,
                  const std::function<void(const std::u16string&)>& notice)
        : errors_(errors), memory_(memory), notice_(notice) {
        // The message with a marker where the name goes, split around it.
        xalanc::XalanDOMString message(memory);
        xalanc::XalanMessageLoader::getMessage(
            message, xalanc::XalanMessages::VariableIsNotDefined_1Param, u"\u0001");
        const std::u16string text(message.c_str(), message.length());
        const std::size_t marker = text.find(u'\u0001');
        if (marker != std::u16string::npos) {
            undefined_ = text.substr(0, marker);
            undefinedSuffix_ = text.substr(marker + 1);
        }
    }

    // An error reached the listener without ending the transformation.
    bool failed() const { return failed_; }

    void setPrintWriter(xalanc::PrintWriter*) override {}
    void problem(eSource source, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xercesc::Locator* locator, const xalanc::XalanNode* node) override {
        if (classification == eMESSAGE) return say(msg);
        if (classification == eWARNING && undefinedVariable(msg)) {
            classification = eERROR;
            failed_ = true;
        }
        xalanc::XalanDOMString line(memory_);
        xalanc::DOMStringPrintWriter writer(line);
        defaultFormat(writer, source, classification, msg, locator, node);
        keep(classification, line);
    }
    void problem(eSource source, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xalanc::XalanNode* node) override {
        if (classification == eMESSAGE) return say(msg);
        if (classification == eWARNING && undefinedVariable(msg)) {
            classification = eERROR;
            failed_ = true;
        }
        xalanc::XalanDOMString line(memory_);
        xalanc::DOMStringPrintWriter writer(line);
        defaultFormat(writer, source, classification, msg, node);
        keep(classification, line);
    }
    void problem(eSource source, eClassification classification, const xalanc::XalanNode* node,
                 const xalanc::ElemTemplateElement*, const xalanc::XalanDOMString& msg,
                 const XMLCh*, xalanc::XalanFileLoc, xalanc::XalanFileLoc) override {
        problem(source, classification, msg, node);
    }

private:
    bool undefinedVariable(const xalanc::XalanDOMString& msg) const {
        const std::u16string text(msg.c_str(), msg.length());
        return !undefined_.empty() && text.size() > undefined_.length() + undefinedSuffix_.size() &&
               text.compare(0, undefined_.length(), undefined_) == 0 &&
               text.compare(text.size() - undefinedSuffix_.size(), std::u16string::npos,
                            undefinedSuffix_) == 0;
    }
    void say(const xalanc::XalanDOMString& text) {
        if (notice_) notice_(std::u16string(text.c_str(), text.length()));
    }
    void keep(eClassification classification, xalanc::XalanDOMString& line) {
        // The formatted text ends with a line break; the lines are ours to end.
        while (!line.empty() && (line[line.length() - 1] == u'\n' || line[line.length() - 1] == u'\r'))
            line.erase(line.length() - 1);
        // Xalan reports some problems twice in a row: each is said once.
        const std::u16string text(line.c_str(), line.length());
        if (text == lastLine_) return;
        lastLine_ = text;
        if (classification == eERROR) {
            if (!errors_.empty()) errors_.append(u"\n");
            errors_.append(line);
        } else {
            say(line);
        }
    }

    xalanc::XalanDOMString& errors_;
    xercesc::MemoryManager& memory_;
    const std::function<void(const std::u16string&)>& notice_;
    std::u16string undefined_;        // the undeclared-variable warning up to the name
    std::u16string undefinedSuffix_;  // and after it
    std::u16string lastLine_;
    bool failed_ = false;
};

// Formats numbers by the pattern and decimal format of format-number() and
// compares strings by xsl:sort's lang and case-order, as Xalan's transformer has
// them installed; without them Xalan ignores both and only warns.
class InstalledFunctors {
public:
    InstalledFunctors(xalanc::StylesheetExecutionContextDefault& context,
                      xercesc::MemoryManager& memory)
        : context_(context), numbers_(memory), collation_(memory, true) {
        context_.installFormatNumberFunctor(&numbers_);
        context_.installCollationCompareFunctor(&collation_);
    }
    ~InstalledFunctors() {
        context_.uninstallFormatNumberFunctor();
        context_.uninstallCollationCompareFunctor();
    }
    InstalledFunctors(const InstalledFunctors&) = delete;
    InstalledFunctors& operator=(const InstalledFunctors&) = delete;

private:
    xalanc::StylesheetExecutionContextDefault& context_;
    xalanc::ICUFormatNumberFunctor numbers_;
    xalanc::ICUBridgeCollationCompareFunctor collation_;
};

void setParameters(xalanc::XSLTEngineImpl& processor, xalanc::XObjectFactory& factory,
                   const std::vector<TransformParameter>& parameters,
                   xercesc::MemoryManager& memory) {
    for (const TransformParameter& parameter : parameters) {
        const XmlText name = toXmlText(parameter.name.c_str());
        const XmlText value = toXmlText(parameter.value.c_str());
        const xalanc::XalanDOMString key(name.get(), memory);
        if (parameter.isText)
            processor.setStylesheetParam(
                key, factory.createString(xalanc::XalanDOMString(value.get(), memory)));
        else
            processor.setStylesheetParam(key, xalanc::XalanDOMString(value.get(), memory));
    }
}

constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

xercesc::MemoryManager* TransformMemory::getExceptionMemoryManager() { return &xalanMemory(); }

void* TransformMemory::allocate(XMLSize_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw xercesc::OutOfMemoryException();
    *static_cast<std::size_t*>(block) = size;
    held_ += size;
    return static_cast<char*>(block) + kHeader;
}

void TransformMemory::deallocate(void* p) {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    held_ -= *static_cast<std::size_t*>(block);
    std::free(block);
}

void TransformBudget::instruction(int frames) {
    if (++steps_ > limits::kMaxTransformSteps)
        stop("more than " + std::to_string(limits::kMaxTransformSteps.value()) + " steps");
    growing(0);
    // Every template call, parameter and variable takes a frame entry that is
    // kept until the call returns: the index measures the recursion.
    if (frames > limits::kMaxTransformDepth)
        stop("its templates nest deeper than " + std::to_string(limits::kMaxTransformDepth) +
             " calls, parameters and variables (endless recursion?)");
}

void TransformBudget::emitted(std::size_t characters) {
    output_ += characters;
    if (output_ > limits::kMaxTransformOutput)
        stop("the result is longer than " + std::to_string(limits::kMaxTransformOutput.value()) +
             " characters");
}

void TransformBudget::growing(std::size_t bytes) {
    if (memory_.held() + bytes > limits::kMaxTransformMemory)
        stop("it holds more than " + std::to_string(limits::kMaxTransformMemory >> 20) + " MiB");
}

void TransformBudget::stop(const std::string& what) {
    exceeded_ = "transformation stopped: " + what;
    throw BudgetExceeded(exceeded_);
}

const char* transformFailure(const TransformBudget& budget, const TransformSources& sources,
                             const char* error) {
    if (!budget.exceeded().empty()) return budget.exceeded().c_str();
    if (!sources.problem().empty()) return sources.problem().c_str();
    return error && *error ? error : "no detailed message";
}

bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error) {
    xercesc::MemoryManager& memory = *run.memory;
    // What the problem listener writes: the message of a failure.
    xalanc::XalanDOMString problems(memory);
    try {
        xalanc::XalanMemMgrAutoPtr<xalanc::XalanParsedSourceHelper> helper(
            memory, source.createHelper(memory));
        xalanc::DOMSupport& domSupport = helper->getDOMSupport();
        xalanc::XMLParserLiaison& liaison = helper->getParserLiaison();
        xalanc::XSLTProcessorEnvSupportDefault envSupport(memory);
        xalanc::XObjectFactoryDefault factory(memory);
        // The string parameters' values: the processor holds them past the reset
        // of `factory`, which the context makes when it ends.
        xalanc::XObjectFactoryDefault parameterFactory(memory);
        xalanc::XPathFactoryBlock xpathFactory(memory);
        xalanc::XSLTEngineImpl processor(memory, liaison, envSupport, domSupport, factory,
                                         xpathFactory);
        envSupport.setProcessor(&processor);
        // Names in the source resolve against its file, when known.
        if (!source.getURI().empty())
            envSupport.setSourceDocument(source.getURI(), source.getDocument());
        BudgetedStylesheetContext context(*run.budget, run.xpathBudget, memory, processor,
                                          envSupport, domSupport, factory);
        InstalledFunctors functors(context, memory);
        liaison.setExecutionContext(context);
        liaison.setErrorHandler(run.parseErrors);
        liaison.setEntityResolver(run.entities);

        ProblemSorter listener(problems, memory, run.notice);
        processor.setProblemListener(&listener);
        if (run.parameters) setParameters(processor, parameterFactory, *run.parameters, memory);

        xalanc::XSLTInputSource input(source.getDocument(), memory);
        input.setSystemId(source.getURI().c_str());
        context.setStylesheetRoot(compiled.getStylesheetRoot());
        processor.process(input, target, context);
        if (!listener.failed()) return true;
    } catch (const xalanc::XSLException& e) {
        if (problems.empty()) e.defaultFormat(problems);
    } catch (const xercesc::SAXParseException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xercesc::SAXException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xercesc::XMLException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xalanc::XalanDOMException&) {
        if (problems.empty()) problems.append(u"XalanDOMException");
    }
    error = localText(problems.c_str());
    return false;
}

}  // namespace qv
