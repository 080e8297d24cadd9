// Everything a transformation reads besides its source document: the stylesheet,
// the stylesheets it includes and imports, and the documents document() loads.
//
// Each is read once by the guarded parser (entity limits, depth, no external
// general entities, the resource rule for its DTD and entities), stylesheets are
// held to the stylesheet check, and Xalan-C++ gets each as plain markup
// (plain_markup.h): its own parser never expands an entity or reads a DTD.
// Included and imported stylesheets are read before Xalan compiles, relative to the
// stylesheet that names them and under the resource rule; while Xalan compiles, the
// entity resolver hands it those and refuses anything else. While it transforms, the
// parser liaison of the helper reads document() targets the same way, confined to
// the stylesheet's folder (the current folder for stylesheet text) and the folders
// the host allows.
#pragma once

#include <map>
#include <memory>
#include <sstream>
#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XalanTransformer/XalanParsedSource.hpp>
#include <xercesc/sax/EntityResolver.hpp>

namespace XALAN_CPP_NAMESPACE {
class XalanSourceTreeDOMSupport;
}

namespace qv {

class TransformSources : public xercesc::EntityResolver {
public:
    TransformSources();
    ~TransformSources() override;

    // Reads the stylesheet (its text, or a file name or URI the host gave, read as
    // given) and every stylesheet it includes or imports. Returns "" when all can be
    // handed to Xalan, else why not.
    std::string load(const char* stylesheet, bool isText);
    // The stylesheet as Xalan compiles it (after a successful load).
    xalanc::XSLTInputSource& stylesheet() { return *main_; }

    // Lets document() read inside the folder of the source document's file too.
    void allowSourceFolder(const std::string& sourceFile);

    // From here on documents are loaded by document(), through the helper.
    void beginTransform() { transforming_ = true; }
    // The helper of the transformation: its parser liaison reads what document()
    // asks for through read().
    xalanc::XalanParsedSourceHelper* createHelper(const xalanc::XalanSourceTreeDOMSupport& source,
                                                 xercesc::MemoryManager& manager);

    // The first refusal or failed read met while Xalan ran ("" when none); Xalan
    // reports a failed document() only as a warning.
    const std::string& problem() const { return problem_; }

    // While Xalan compiles: the included and imported stylesheets read by load().
    xercesc::InputSource* resolveEntity(const XMLCh* publicId, const XMLCh* systemId) override;

    // The plain markup of a document Xalan would read by its system id (an absolute
    // URI), read by the guarded parser. Throws after noting a refusal or a failure;
    // throws without noting one for a missing file.
    std::string read(const xercesc::InputSource& request);

private:
    struct Stylesheet;
    std::string loadIncluded(const std::string& href, const std::string& namingId,
                             unsigned long& modules);
    [[noreturn]] void fail(const std::string& why);

    std::map<std::string, Stylesheet> stylesheets_;  // by real path
    std::string rootFolder_;  // confines document(): the stylesheet's folder
    std::string sourceFolder_;  // and the source's, when its file is known
    std::string mainMarkup_;
    std::istringstream mainStream_;
    std::unique_ptr<xalanc::XSLTInputSource> main_;
    std::string problem_;
    bool transforming_ = false;
};

}  // namespace qv
