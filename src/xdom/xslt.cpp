// XSLT transformation of a document handle's whole document: QV_XDOMTransform.
#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/Writer.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XSLT/StylesheetExecutionContext.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanTransformer/XalanCompiledStylesheet.hpp>
#include <xalanc/XalanTransformer/XalanParsedSource.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xalanc/XercesParserLiaison/FormatterToXercesDOM.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "frame/limits.h"
#include "xdom/dom/tree_depth.h"
#include "xdom/xpath/descendant_steps.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "xdom/xpath/extension_functions.h"
#include "xdom/xslt/stylesheet_run.h"
#include "xdom/xslt/transform_options.h"
#include "xdom/xslt/transform_sources.h"
#include "xdom/parsing/resource_policy.h"
#include "xdom/xpath/xpath_context.h"
#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {


// The source of a transformation: the document handle's own view, so that a
// transformation costs no second view of the tree. The helper (DOM support and
// parser liaison for documents the stylesheet loads) is made per transformation,
// so what it loads goes with it, and it loads them through the guarded parser.
class ViewParsedSource : public xalanc::XalanParsedSource {
public:
    ViewParsedSource(xalanc::XalanDocument* document, const xalanc::XalanSourceTreeDOMSupport& support,
                     TransformSources& sources, const std::string& uri)
        : document_(document), support_(support), sources_(sources),
          uri_(uri.c_str(), xalanMemory()) {}

    xalanc::XalanDocument* getDocument() const override { return document_; }
    xalanc::XalanParsedSourceHelper* createHelper(xercesc::MemoryManager& manager) const override {
        return sources_.createHelper(support_, manager);
    }
    const xalanc::XalanDOMString& getURI() const override { return uri_; }

private:
    xalanc::XalanDocument* document_;
    const xalanc::XalanSourceTreeDOMSupport& support_;
    TransformSources& sources_;
    xalanc::XalanDOMString uri_;
};

// The file URI of the source's file ("" when it is not known): what document()
// resolves names found in the source against.
std::string sourceUri(const std::string& file) {
    if (file.empty()) return "";
    const std::string folder = folderOf(file);
    if (folder.empty()) return "";
    const std::size_t slash = file.rfind('/');
    const std::string path =
        (folder == "/" ? "" : folder) + "/" + (slash == std::string::npos ? file : file.substr(slash + 1));
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// The parser of the stylesheet (and of documents it loads) prints its errors to
// std::cerr unless given a handler: this one throws them to the transformer, which
// turns them into its last error message.
class ThrowingErrorHandler : public xercesc::ErrorHandler {
public:
    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException& e) override { throw e; }
    void fatalError(const xercesc::SAXParseException& e) override { throw e; }
    void resetErrors() override {}
};

// Collects the serialized result. Xalan's own string writer grows its buffer by
// what each write adds, which turns a large result quadratic.
class TextCollector : public xalanc::Writer {
public:
    std::u16string text;

    void close() override {}
    void flush() override {}
    void write(const char* s, size_t offset, size_t length) override {
        if (length == npos) length = std::char_traits<char>::length(s + offset);
        text.append(s + offset, s + offset + length);
    }
    void write(const XMLCh* s, xalanc::XalanDOMString::size_type offset,
               xalanc::XalanDOMString::size_type length) override {
        if (length == xalanc::XalanDOMString::npos) length = xmlLength(s + offset);
        text.append(s + offset, length);
    }
    void write(XMLCh c) override { text.push_back(c); }
    void write(const xalanc::XalanDOMString& s, xalanc::XalanDOMString::size_type offset,
               xalanc::XalanDOMString::size_type length) override {
        if (length == xalanc::XalanDOMString::npos) length = s.length() - offset;
        text.append(s.c_str() + offset, length);
    }
};

// The document's view, the transformation's source. A view that cannot be built
// fails as a start-up does (17), not as a transformation.
XPathContext* sourceView(QvHandle_* h) {
    try {
        return &h->xpathView();
    } catch (...) {
        reportDom(Error::RuntimeStartFailed);
        return nullptr;
    }
}

void* transform(QvHandle_* h, XPathContext& context, const char* stylesheet, bool stylesheetIsText,
                int resultKind, const char* outputFile) {
    TransformSources sources;  // outlives the transformer
    const std::string problem = sources.load(stylesheet, stylesheetIsText);
    if (!problem.empty()) {
        reportDom(Error::TransformFailed, problem.c_str());
        return nullptr;
    }
    const TransformOptions& options = transformOptions();
    if (!options.sourceFile.empty()) sources.allowSourceFolder(options.sourceFile);
    ViewParsedSource source(context.document, *context.support, sources,
                            sourceUri(options.sourceFile));

    TransformMemory transformMemory;  // outlives the transformer
    xalanc::XalanTransformer transformer(transformMemory);
    transformer.setWarningStream(nullptr);
    transformer.setErrorStream(nullptr);
    ThrowingErrorHandler parseErrors;
    transformer.setErrorHandler(&parseErrors);
    TransformBudget budget(transformMemory);
    transformer.setEntityResolver(&sources);

    const xalanc::XalanCompiledStylesheet* compiled = nullptr;
    if (transformer.compileStylesheet(sources.stylesheet(), compiled) != 0) {
        reportDom(Error::TransformFailed, transformFailure(budget, sources, transformer.getLastError()));
        return nullptr;
    }
    rewriteDescendantSteps(*compiled->getStylesheetRoot());

    XercesPtr<xercesc::DOMDocument> resultDocument;
    std::unique_ptr<xalanc::FormatterToXercesDOM> formatter;
    TextCollector text;
    std::unique_ptr<xalanc::XSLTResultTarget> target;
    if (resultKind == QV_RESULT_DOM) {
        resultDocument.reset(xercesc::DOMImplementation::getImplementation()->createDocument(
            xercesc::XMLPlatformUtils::fgMemoryManager));
        formatter = std::make_unique<xalanc::FormatterToXercesDOM>(resultDocument.get(), nullptr,
                                                                   xalanMemory());
        target = std::make_unique<xalanc::XSLTResultTarget>(xalanMemory());
        target->setFormatterListener(formatter.get());
    } else if (resultKind == QV_RESULT_TEXT) {
        target = std::make_unique<xalanc::XSLTResultTarget>(&text, xalanMemory());
        target->setEncoding(xalanc::XalanDOMString("ISO-8859-1", xalanMemory()));
    } else {
        target = std::make_unique<xalanc::XSLTResultTarget>(outputFile, xalanMemory());
    }

    sources.beginTransform();
    StylesheetRun run;
    run.memory = &transformMemory;
    run.budget = &budget;
    run.parseErrors = &parseErrors;
    run.entities = &sources;
    run.xpathBudget = limits::kMaxXPathSteps;
    run.parameters = &options.parameters;
    if (options.notice)
        run.notice = [&options](const std::u16string& line) {
            options.notice(std::string(toHostText(line.c_str()).get()));
        };
    std::string error;
    if (!runStylesheet(source, *compiled, *target, run, error) || !sources.problem().empty()) {
        reportDom(Error::TransformFailed, transformFailure(budget, sources, error.c_str()));
        return nullptr;
    }
    if (resultKind == QV_RESULT_DOM) return makeDocumentHandle(ownedDom(std::move(resultDocument)));
    if (resultKind == QV_RESULT_TEXT)
        return const_cast<char*>(setResultText(h, toHostText(text.text.c_str())));
    return const_cast<char*>(outputFile);
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API void* QV_XDOMTransform(QvHandle h, const char* stylesheet, int stylesheetIsText,
                                 int resultKind, const char* outputFile) {
    const auto options = qv::domExport("XDOMTransform")
                             .starts(qv::Runtime::Xslt)
                             .fallsBackTo(qv::Error::TransformFailed, "no detailed message");
    const bool toFile = resultKind != QV_RESULT_TEXT && resultKind != QV_RESULT_DOM;
    const auto arguments = qv::Arguments()
                               .check(qv::handleProblem(h))
                               .needs(stylesheet, "a null stylesheet")
                               .needs(toFile ? outputFile : "", "a null output file");
    // The result holds no node of the source: a document in its compact form is
    // transformed without building its DOM.
    return qv::callExport<void*>(options, arguments, nullptr, [&]() -> void* {
        // Xalan applies templates recursively, frames per level: a tree built deeper
        // than a parse allows is refused, as writing and copying refuse it.
        const QvHandle_* whole = qv::documentHandleOf(h);
        if (whole && whole->builtDom() && qv::tooDeepToWalk(whole->builtDom())) {
            qv::reportDom(qv::Error::TransformFailed, qv::tooDeepMessage("XDOMTransform"));
            return nullptr;
        }
        qv::restrictExtensionFunctions();
        qv::XPathContext* context = qv::sourceView(h);
        if (!context) return nullptr;
        return qv::transform(h, *context, stylesheet, stylesheetIsText != 0, resultKind,
                             outputFile);
    });
}

}  // extern "C"
