// Writing a node as XML text with the Xerces-C++ LS serializer.
#include "xdom/writing/serialize.h"

#include <cstring>
#include <memory>
#include <new>

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationLS.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "frame/errors.h"
#include "frame/limits.h"
#include "frame/boundary.h"
#include "frame/xerces_ptr.h"
#include "xdom/writing/cdata_split.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "xdom/dom/tree_depth.h"

using namespace xercesc;

namespace qv {
namespace {

// Problems the writer signals through its error handler (an unrepresentable
// character, say) never stop a write and never reach the error state.
// The writer gives up only on a fatal error (an encoding it cannot convert to, for
// one): its message is kept so that the failure can be told.
class WriterErrorHandler : public DOMErrorHandler {
public:
    bool handleError(const DOMError& error) override {
        if (error.getSeverity() == DOMError::DOM_SEVERITY_FATAL_ERROR)
            lastFatal_ = localText(error.getMessage());
        return true;
    }
    const std::string& lastFatal() const { return lastFatal_; }

private:
    std::string lastFatal_;
};

// The tree is nested too deep to be written (tree_depth.h).
struct TooDeep {};

// A write the writer abandoned without throwing.
struct WriterGaveUp {
    std::string message;
};

// Collects the written bytes straight into a string: no second buffer to copy.
class StringFormatTarget : public XMLFormatTarget {
public:
    explicit StringFormatTarget(std::string& out) : out_(out) {}
    void writeChars(const XMLByte* const bytes, const XMLSize_t count, XMLFormatter* const) override {
        out_.append(reinterpret_cast<const char*>(bytes), count);
    }

private:
    std::string& out_;
};

struct Feature {
    const XMLCh* name;
    size_t offset;  // flag byte in the settings record
};

const Feature kFlagFeatures[] = {
    {XMLUni::fgDOMXMLDeclaration, offsetof(QvDocSettings, xmlDeclaration)},
    {XMLUni::fgDOMWRTFormatPrettyPrint, offsetof(QvDocSettings, prettyPrint)},
    {XMLUni::fgDOMWRTNormalizeCharacters, offsetof(QvDocSettings, normalizeChars)},
    {XMLUni::fgDOMWRTSplitCdataSections, offsetof(QvDocSettings, splitCdata)},
    {XMLUni::fgDOMWRTValidation, offsetof(QvDocSettings, validation)},
    {XMLUni::fgDOMWRTEntities, offsetof(QvDocSettings, entities)},
    {XMLUni::fgDOMWRTWhitespaceInElementContent, offsetof(QvDocSettings, whitespaceInContent)},
    {XMLUni::fgDOMWRTDiscardDefaultContent, offsetof(QvDocSettings, discardDefault)},
    {XMLUni::fgDOMWRTCanonicalForm, offsetof(QvDocSettings, canonicalForm)},
    {XMLUni::fgDOMWRTBOM, offsetof(QvDocSettings, byteOrderMark)},
};

struct DefaultFeature {
    const XMLCh* name;
    bool value;
};

const DefaultFeature kDefaultFeatures[] = {
    {XMLUni::fgDOMWRTSplitCdataSections, true},
    {XMLUni::fgDOMWRTDiscardDefaultContent, true},
    {XMLUni::fgDOMWRTFormatPrettyPrint, true},
    {XMLUni::fgDOMWRTBOM, false},
};

// A value the writer refuses is skipped: setting it would throw.
void setFeature(DOMConfiguration* config, const XMLCh* name, bool value) {
    if (config->canSetParameter(name, value)) config->setParameter(name, value);
}

const XMLCh* lineEndSequence(const char* name) {
    static const XMLCh kCrLf[] = {chCR, chLF, chNull};
    static const XMLCh kCr[] = {chCR, chNull};
    static const XMLCh kLf[] = {chLF, chNull};
    if (std::strcmp(name, "CR-LF") == 0) return kCrLf;
    if (std::strcmp(name, "CR") == 0) return kCr;
    if (std::strcmp(name, "LF") == 0) return kLf;
    return nullptr;
}

bool flag(const QvDocSettings* settings, size_t offset) {
    return reinterpret_cast<const char*>(settings)[offset] != 0;
}

// The body of a write; throws what Xerces-C++ throws.
void write(DOMNode* node, const XMLCh* encoding,
           const QvDocSettings* settings, const char* fileName, std::string* text) {
    // Sections holding "]]>" are split by us, and only when the writer would split
    // them too; otherwise the writer refuses them with a DOM exception. The same walk
    // checks the depth, before a file is opened.
    const bool splitCdata = !settings || settings->splitCdata != 0;
    CdataSplit split(node, splitCdata, limits::kMaxElementDepth + 1);
    if (split.tooDeep()) throw TooDeep{};

    static const XMLCh kLS[] = {chLatin_L, chLatin_S, chNull};
    auto* impl = static_cast<DOMImplementationLS*>(
        DOMImplementationRegistry::getDOMImplementation(kLS));
    XercesPtr<DOMLSSerializer> writer(impl->createLSSerializer(XMLPlatformUtils::fgMemoryManager));
    XercesPtr<DOMLSOutput> output(impl->createLSOutput(XMLPlatformUtils::fgMemoryManager));
    WriterErrorHandler errorHandler;
    DOMConfiguration* config = writer->getDomConfig();
    config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&errorHandler));

    XmlText outEncoding;
    if (!settings) {
        if (encoding && *encoding) output->setEncoding(encoding);
        for (const DefaultFeature& f : kDefaultFeatures) setFeature(config, f.name, f.value);
    } else {
        // The record's texts are fixed-size fields: never read past one.
        char outName[sizeof settings->outEncoding + 1] = {};
        std::memcpy(outName, settings->outEncoding, sizeof settings->outEncoding);
        if (outName[0]) {
            outEncoding = fromLocalText(outName);
            output->setEncoding(outEncoding.get());
        } else if (encoding && *encoding) {
            output->setEncoding(encoding);
        }
        char lineEnd[sizeof settings->lineEnd + 1] = {};
        std::memcpy(lineEnd, settings->lineEnd, sizeof settings->lineEnd);
        if (const XMLCh* sequence = lineEndSequence(lineEnd)) writer->setNewLine(sequence);
        for (const Feature& f : kFlagFeatures) setFeature(config, f.name, flag(settings, f.offset));
    }
    // With entities off the writer looks each entity reference up in the document
    // type, which a document may not have; then no entity is declared and every
    // reference is written as itself either way.
    const DOMDocument* owner = node->getNodeType() == DOMNode::DOCUMENT_NODE
                                   ? static_cast<const DOMDocument*>(node)
                                   : node->getOwnerDocument();
    if (!owner || !owner->getDoctype()) setFeature(config, XMLUni::fgDOMWRTEntities, true);

    std::unique_ptr<XMLFormatTarget> target;
    if (fileName)
        target = std::make_unique<LocalFileFormatTarget>(fileName);
    else
        target = std::make_unique<StringFormatTarget>(*text);
    output->setByteStream(target.get());
    for (DOMNode* n : split.nodesToWrite())
        if (!writer->write(n, output.get())) throw WriterGaveUp{errorHandler.lastFatal()};
    target->flush();
}

}  // namespace

bool serializeNode(DOMNode* node, const XMLCh* encoding, const QvDocSettings* settings,
                   const char* fileName, std::string* text) {
    std::string scratch;
    if (!fileName && !text) text = &scratch;
    if (text) text->clear();
    try {
        write(node, encoding, settings, fileName, text);
        return true;
    } catch (const TooDeep&) {
        report(Error::Failure, tooDeepMessage("XDOMWrite"));
    } catch (const WriterGaveUp& e) {
        report(Error::Failure, ("XDOMWrite: the XML text could not be written" +
                      (e.message.empty() ? std::string() : ": " + e.message))
                         .c_str());
    } catch (const OutOfMemoryException&) {
        report(Error::Failure, "OutOfMemoryException: not enough memory to write the XML text");
    } catch (const std::bad_alloc&) {
        report(Error::Failure, "OutOfMemoryException: not enough memory to write the XML text");
    } catch (...) {
        reportCaught(kWriteOptions);
    }
    if (text) {
        text->clear();
        text->shrink_to_fit();
    }
    return false;
}

}  // namespace qv
