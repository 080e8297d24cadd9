// The compact form written as the DOM writer writes its DOM. The rules below follow
// the Xerces-C++ 3.2 LS serializer step by step (where it breaks lines and indents,
// when it declares a namespace, which characters it escapes or writes as references
// and with which formatter settings), because the output must be the same bytes;
// the differential test (tests/compact_write_test.cpp) holds them to it.
#include "xdom/writing/compact_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMDocumentType.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/parsers/AbstractDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "frame/transcode.h"
#include "xdom/compact/compact_document.h"
#include "xdom/compact/tree_walk.h"
#include "xdom/handle.h"
#include "xdom/parsing/content_sink.h"
#include "xdom/writing/cdata_split.h"

using namespace xercesc;

namespace qv {
namespace {

class StringTarget : public XMLFormatTarget {
public:
    explicit StringTarget(std::string& out) : out_(out) {}
    void writeChars(const XMLByte* const bytes, const XMLSize_t count, XMLFormatter* const) override {
        out_.append(reinterpret_cast<const char*>(bytes), count);
    }

private:
    std::string& out_;
};

// A file opened (and emptied) by the first bytes written to it: a scan that fails
// before any output leaves the file as it was, as the DOM writer's road does.
class FileTarget : public XMLFormatTarget {
public:
    explicit FileTarget(const char* name) : name_(name) {}
    void writeChars(const XMLByte* const bytes, const XMLSize_t count, XMLFormatter* const f) override {
        if (!file_) file_ = std::make_unique<LocalFileFormatTarget>(name_);
        file_->writeChars(bytes, count, f);
    }
    void flush() override {
        if (!file_) file_ = std::make_unique<LocalFileFormatTarget>(name_);
        file_->flush();
    }

private:
    const char* name_;
    std::unique_ptr<LocalFileFormatTarget> file_;
};

// What the DOM writer does under the settings record (see serialize.cpp): the
// features it cannot set keep their defaults, so only these matter.
struct Options {
    bool declaration = true;
    bool pretty = true;
    bool splitCdata = true;
    bool discardDefaults = true;
    bool byteOrderMark = false;
    const XMLCh* newLine = u"\n";
};

Options optionsFor(const QvDocSettings* s) {
    Options o;
    if (!s) return o;
    o.declaration = s->xmlDeclaration != 0;
    o.pretty = s->prettyPrint != 0;
    o.splitCdata = s->splitCdata != 0;
    o.discardDefaults = s->discardDefault != 0;
    o.byteOrderMark = s->byteOrderMark != 0;
    char lineEnd[sizeof s->lineEnd + 1] = {};
    std::memcpy(lineEnd, s->lineEnd, sizeof s->lineEnd);
    if (std::strcmp(lineEnd, "CR-LF") == 0) o.newLine = u"\r\n";
    if (std::strcmp(lineEnd, "CR") == 0) o.newLine = u"\r";
    return o;
}

bool sameText(const XMLCh* a, const XMLCh* b) {
    // A null text and an empty one are the same, as the writer compares them.
    return XMLString::equals(a, b);
}

// The writer gives up where the DOM writer fails or might differ; the caller
// then lets the DOM writer do the whole write.
struct GiveUp {};

// Output through the Xerces-C++ formatter, as the DOM writer's: any encoding, any
// handling of characters the encoding cannot hold.
class FormatterOut {
public:
    explicit FormatterOut(XMLFormatter& f) : f_(f) {}
    FormatterOut& operator<<(XMLFormatter::EscapeFlags e) {
        f_ << e;
        return *this;
    }
    FormatterOut& operator<<(const XMLCh* s) {
        f_ << s;
        return *this;
    }
    FormatterOut& operator<<(XMLCh c) {
        f_ << c;
        return *this;
    }
    void formatBuf(const XMLCh* s, XMLSize_t n, XMLFormatter::EscapeFlags e,
                   XMLFormatter::UnRepFlags u = XMLFormatter::DefaultUnRep) {
        f_.formatBuf(s, n, e, u);
    }
    void setEscapeFlags(XMLFormatter::EscapeFlags e) { f_.setEscapeFlags(e); }
    void setUnRepFlags(XMLFormatter::UnRepFlags u) { f_.setUnRepFlags(u); }
    void writeBOM(const XMLByte* b, XMLSize_t n) { f_.writeBOM(b, n); }
    bool canTranscodeTo(XMLCh c) { return f_.getTranscoder()->canTranscodeTo(c); }
    void flush() {}

private:
    XMLFormatter& f_;
};

// Output in UTF-8, which holds every character: the formatter's escapes done
// directly into a buffer handed to the target in large pieces. The escapes are
// the formatter's (XMLFormatter.cpp of Xerces-C++ 3.2): in attribute values & < "
// and tab, line feed and carriage return as references; in text & < > and
// carriage return.
class Utf8Out {
public:
    explicit Utf8Out(XMLFormatTarget& target) : target_(target), buffer_(new char[kSize]) {}
    Utf8Out& operator<<(XMLFormatter::EscapeFlags e) {
        escapes_ = e;
        return *this;
    }
    Utf8Out& operator<<(const XMLCh* s) {
        formatBuf(s, XMLString::stringLen(s), escapes_);
        return *this;
    }
    Utf8Out& operator<<(XMLCh c) {
        formatBuf(&c, 1, escapes_);
        return *this;
    }
    void formatBuf(const XMLCh* s, XMLSize_t n, XMLFormatter::EscapeFlags e,
                   XMLFormatter::UnRepFlags = XMLFormatter::DefaultUnRep) {
        if (e == XMLFormatter::DefaultEscape) e = escapes_;
        const char* const* refs = e == XMLFormatter::AttrEscapes   ? attrRefs()
                                  : e == XMLFormatter::CharEscapes ? charRefs()
                                  : e == XMLFormatter::StdEscapes  ? stdRefs()
                                                                   : nullptr;
        const XMLCh* end = s + n;
        char* p = buffer_.get() + used_;
        char* const limit = buffer_.get() + kSize - 8;  // room for the longest piece
        while (s < end) {
            if (p >= limit) {
                used_ = p - buffer_.get();
                flush();
                p = buffer_.get();
            }
            const XMLCh c = *s++;
            if (c < 0x80) {
                const char* ref = refs ? refs[c] : nullptr;
                if (!ref) {
                    *p++ = static_cast<char>(c);
                } else {
                    while (*ref) *p++ = *ref++;
                }
            } else if (c < 0x800) {
                *p++ = static_cast<char>(0xC0 | (c >> 6));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else if (c >= 0xD800 && c < 0xE000) {
                // A pair makes one character; a surrogate alone is the formatter's.
                if (c >= 0xDC00 || s == end || *s < 0xDC00 || *s >= 0xE000) throw GiveUp{};
                const unsigned v = 0x10000 + ((c - 0xD800u) << 10) + (*s++ - 0xDC00u);
                *p++ = static_cast<char>(0xF0 | (v >> 18));
                *p++ = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
                *p++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (v & 0x3F));
            } else {
                *p++ = static_cast<char>(0xE0 | (c >> 12));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        used_ = p - buffer_.get();
    }
    void setEscapeFlags(XMLFormatter::EscapeFlags e) { escapes_ = e; }
    void setUnRepFlags(XMLFormatter::UnRepFlags) {}
    void writeBOM(const XMLByte* b, XMLSize_t n) {
        for (XMLSize_t i = 0; i < n; ++i) buffer_[used_++] = static_cast<char>(b[i]);
    }
    bool canTranscodeTo(XMLCh) { return true; }  // a lone surrogate stops formatBuf
    void flush() {
        if (used_ == 0) return;
        target_.writeChars(reinterpret_cast<const XMLByte*>(buffer_.get()), used_, nullptr);
        used_ = 0;
    }

private:
    static constexpr std::size_t kSize = 1 << 16;
    using Refs = std::array<const char*, 128>;

    static const char* const* stdRefs() {
        static const Refs refs = [] {
            Refs r{};
            r['&'] = "&amp;", r['>'] = "&gt;", r['"'] = "&quot;", r['<'] = "&lt;", r['\''] = "&apos;";
            return r;
        }();
        return refs.data();
    }
    static const char* const* attrRefs() {
        static const Refs refs = [] {
            Refs r{};
            r['&'] = "&amp;", r['<'] = "&lt;", r['"'] = "&quot;";
            r['\n'] = "&#xA;", r['\r'] = "&#xD;", r['\t'] = "&#x9;";
            return r;
        }();
        return refs.data();
    }
    static const char* const* charRefs() {
        static const Refs refs = [] {
            Refs r{};
            r['&'] = "&amp;", r['<'] = "&lt;", r['>'] = "&gt;", r['\r'] = "&#xD;";
            return r;
        }();
        return refs.data();
    }

    XMLFormatTarget& target_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    XMLFormatter::EscapeFlags escapes_ = XMLFormatter::NoEscapes;
};

template <class Out>
class Writer : public ContentSink {
public:
    Writer(Out& out, const Options& options, const XMLCh* encoding,
           const CompactTree& tree)
        : out_(out), o_(options), encoding_(encoding), tree_(tree) {}

    bool gaveUp() const { return gaveUp_; }

    void startElement(const XMLCh* uri, const XMLCh*, const XMLCh* qname,
                      const std::vector<ScannedAttribute>& attributes, const void*) override {
        guarded([&] {
            // The compact tree numbers elements in document order, the document first.
            const CompactTree::Index element = ++elementsSeen_;
            if (element >= tree_.elementCount()) throw GiveUp{};
            const std::u16string& held = tree_.name(tree_.element(element).name).qname;
            if (held.compare(reinterpret_cast<const char16_t*>(qname)) != 0) throw GiveUp{};
            openElement(element, uri, attributes);
        });
    }
    void endElement() override {
        guarded([&] { closeElement(); });
    }
    void characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override {
        guarded([&] {
            if (!cdataSection) {
                text_.append(chars, length);
                return;
            }
            beforeChild();
            cdataSectionNode(std::basic_string<XMLCh>(chars, length));
        });
    }
    void comment(const XMLCh* text) override {
        guarded([&] {
            beforeChild();
            commentNode(text);
        });
    }
    void processingInstruction(const XMLCh* target, const XMLCh* data) override {
        guarded([&] {
            beforeChild();
            piNode(target, data);
        });
    }

    // After the scan (its parser is gone): the end of the document node.
    void finish() {
        guarded([&] {
            if (!started_ || !open_.empty()) throw GiveUp{};
            newLine();
        });
    }

    // The whole document from the tree alone, without a scan: elements in document
    // order, each child other than an element from the pieces (which follow the same
    // order), the declaration and document type from the prolog. Only for a tree whose
    // pieces are complete and whose prolog is known.
    void writeTree() {
        guarded([&] { walkTree(); });
    }

private:
    struct Open {
        const XMLCh* qname;    // the tree's
        CompactTree::Index element;
        unsigned line;         // the output line its start tag began on
        bool startTagOpen;     // no child written yet
        bool declares;         // pushed a level of namespace bindings
    };
    // One prefix bound at a level. A binding without a URI (an element in no
    // namespace) is held but binds nothing, as the DOM writer's table holds it.
    struct Binding {
        std::basic_string<XMLCh> prefix;
        bool hasUri;
        std::basic_string<XMLCh> uri;
    };

    template <class F>
    void guarded(F&& step) {
        if (gaveUp_) return;
        try {
            step();
        } catch (...) {
            gaveUp_ = true;
        }
    }

    unsigned level() const { return static_cast<unsigned>(open_.size()); }

    // Whatever comes next is a child of the innermost open element or of the document.
    void beforeChild() {
        if (!started_) startDocument();
        if (open_.empty()) {
            doctypeIfRead();
            ++documentChildren_;
            return;
        }
        Open& parent = open_.back();
        if (parent.startTagOpen) {
            out_ << XMLFormatter::NoEscapes << chCloseAngle;
            parent.startTagOpen = false;
        }
        if (!text_.empty()) {
            textNode(text_.data(), text_.size());
            text_.clear();
        }
    }

    void startDocument() {
        started_ = true;
        bool standalone = false;
        if (fromTree_) {
            if (!tree_.prolog().version10) throw GiveUp{};
            standalone = tree_.prolog().standalone;
        } else {
            DOMDocument* facts = this->scanner ? this->scanner->getDocument() : nullptr;
            if (!facts) throw GiveUp{};
            const XMLCh* version = facts->getXmlVersion();
            if (version && *version && !XMLString::equals(version, XMLUni::fgVersion1_0))
                throw GiveUp{};
            standalone = facts->getXmlStandalone();
        }
        byteOrderMark();
        charRefs();
        if (o_.declaration) {
            out_ << u"<?xml version=\"" << XMLUni::fgVersion1_0 << u"\" ";
            out_ << u"encoding=\"" << encoding_ << u"\" ";
            out_ << u"standalone=\"" << (standalone ? XMLUni::fgYesString : XMLUni::fgNoString)
                 << u"\" ";
            out_ << u"?>";
        }
    }

    void byteOrderMark() {
        if (!o_.byteOrderMark) return;
        auto is = [&](std::initializer_list<const XMLCh*> names) {
            for (const XMLCh* n : names)
                if (XMLString::compareIStringASCII(encoding_, n) == 0) return true;
            return false;
        };
        static const XMLByte kUtf8[] = {0xEF, 0xBB, 0xBF};
        static const XMLByte kUtf16be[] = {0xFE, 0xFF};
        static const XMLByte kUtf16le[] = {0xFF, 0xFE};
        static const XMLByte kUcs4be[] = {0x00, 0x00, 0xFE, 0xFF};
        static const XMLByte kUcs4le[] = {0xFF, 0xFE, 0x00, 0x00};
        const bool big = XMLPlatformUtils::fgXMLChBigEndian;
        if (is({XMLUni::fgUTF8EncodingString, XMLUni::fgUTF8EncodingString2}))
            out_.writeBOM(kUtf8, 3);
        else if (is({XMLUni::fgUTF16LEncodingString, XMLUni::fgUTF16LEncodingString2}))
            out_.writeBOM(kUtf16le, 2);
        else if (is({XMLUni::fgUTF16BEncodingString, XMLUni::fgUTF16BEncodingString2}))
            out_.writeBOM(kUtf16be, 2);
        else if (is({XMLUni::fgUTF16EncodingString, XMLUni::fgUTF16EncodingString2,
                     XMLUni::fgUTF16EncodingString3, XMLUni::fgUTF16EncodingString4,
                     XMLUni::fgUTF16EncodingString5, XMLUni::fgUTF16EncodingString6,
                     XMLUni::fgUTF16EncodingString7}))
            out_.writeBOM(big ? kUtf16be : kUtf16le, 2);
        else if (is({XMLUni::fgUCS4LEncodingString, XMLUni::fgUCS4LEncodingString2}))
            out_.writeBOM(kUcs4le, 4);
        else if (is({XMLUni::fgUCS4BEncodingString, XMLUni::fgUCS4BEncodingString2}))
            out_.writeBOM(kUcs4be, 4);
        else if (is({XMLUni::fgUCS4EncodingString, XMLUni::fgUCS4EncodingString2,
                     XMLUni::fgUCS4EncodingString3, XMLUni::fgUCS4EncodingString4,
                     XMLUni::fgUCS4EncodingString5}))
            out_.writeBOM(big ? kUcs4be : kUcs4le, 4);
    }

    // The document type is complete once anything after it arrives; its node sits
    // where it was declared, before that.
    void doctypeIfRead() {
        if (doctypeWritten_) return;
        if (fromTree_) {
            const CompactTree::Prolog& prolog = tree_.prolog();
            if (!prolog.doctype || documentChildren_ < prolog.doctypeBefore) return;
            doctype(prolog.doctypeName.c_str(), prolog.publicId.c_str(), prolog.systemId.c_str(),
                    prolog.internalSubset.c_str());
            return;
        }
        const DOMDocumentType* doctype = this->scanner->getDocument()->getDoctype();
        if (!doctype) return;
        this->doctype(doctype->getNodeName(), doctype->getPublicId(), doctype->getSystemId(),
                      doctype->getInternalSubset());
    }

    void doctype(const XMLCh* name, const XMLCh* publicId, const XMLCh* systemId,
                 const XMLCh* internalSubset) {
        doctypeWritten_ = true;
        out_.setEscapeFlags(XMLFormatter::NoEscapes);
        newLine();
        indent(0);
        failOnUnrepresentable();
        out_ << u"<!DOCTYPE " << name;
        if (publicId && *publicId) {
            out_ << chSpace << u"PUBLIC \"" << publicId << chDoubleQuote;
            if (!systemId || !*systemId) throw GiveUp{};  // the DOM writer refuses it
            out_ << chSpace << chDoubleQuote << systemId << chDoubleQuote;
        } else if (systemId && *systemId) {
            out_ << chSpace << u"SYSTEM \"" << systemId << chDoubleQuote;
        }
        if (internalSubset && *internalSubset)
            out_ << chSpace << chOpenSquare << internalSubset << chCloseSquare;
        out_ << chCloseAngle;
    }

    // The tree's nodes as the walk meets them; the writer keeps the open elements.
    struct TreeVisitor {
        struct Parent {};
        Writer& writer;

        Parent open(CompactTree::Index e, Parent) {
            writer.attributes_.clear();
            const CompactTree& tree = writer.tree_;
            for (CompactTree::Index a = tree.attributesBegin(e); a < tree.attributesEnd(e); ++a) {
                const CompactTree::Attribute& at = tree.attribute(a);
                const CompactTree::Name& an = tree.name(at.name);
                writer.attributes_.push_back({an.qname.c_str(),
                                              an.uri.empty() ? nullptr : an.uri.c_str(),
                                              an.local.c_str(), tree.text(at.value.begin), an.id});
            }
            const CompactTree::Name& name = tree.name(tree.element(e).name);
            writer.openElement(e, name.uri.empty() ? nullptr : name.uri.c_str(),
                               writer.attributes_);
            return {};
        }
        void close(Parent) { writer.closeElement(); }
        void text(Parent, const XMLCh* chars, CompactTree::Index length, bool cdata) {
            writer.beforeChild();
            if (cdata)
                writer.cdataSectionNode(std::basic_string<XMLCh>(chars, length));
            else
                writer.textNode(chars, length);
        }
        void comment(Parent, const XMLCh* data) {
            writer.beforeChild();
            writer.commentNode(data);
        }
        void instruction(Parent, const XMLCh* target, const XMLCh* data) {
            writer.beforeChild();
            writer.piNode(target, data);
        }
    };

    void walkTree() {
        fromTree_ = true;
        if (!started_) startDocument();
        TreeVisitor visitor{*this};
        if (!qv::walkTree(tree_, visitor, typename TreeVisitor::Parent{}) || !open_.empty())
            throw GiveUp{};
        newLine();
    }

    void openElement(CompactTree::Index element, const XMLCh* uri,
                     const std::vector<ScannedAttribute>& attributes) {
        beforeChild();
        const XMLCh* qname =
            reinterpret_cast<const XMLCh*>(tree_.name(tree_.element(element).name).qname.c_str());
        const unsigned lvl = level();
        if (!lineFeedInText_) {
            if (lvl == 1) newLine();
            newLine();
        } else {
            lineFeedInText_ = false;
        }
        indent(lvl);
        open_.push_back({qname, element, line_, true, false});
        Open& self = open_.back();
        failOnUnrepresentable();
        out_ << XMLFormatter::NoEscapes << chOpenAngle << qname;
        charRefs();

        if (uri && !*uri) uri = nullptr;
        std::basic_string<XMLCh> prefix = prefixOf(qname);
        if (uri || (prefix.empty() && defaultNamespaceDeclared())) {
            if (!bindingActive(prefix, uri)) {
                bind(self, prefix, uri);
                out_ << XMLFormatter::NoEscapes << chSpace << XMLUni::fgXMLNSString;
                if (!prefix.empty()) out_ << chColon << prefix.c_str();
                out_ << chEqual << chDoubleQuote << XMLFormatter::AttrEscapes << uri
                     << XMLFormatter::NoEscapes << chDoubleQuote;
            }
        }
        for (const ScannedAttribute& a : attributes) {
            if (o_.discardDefaults && !a.specified) continue;
            if (a.uri) {
                if (XMLString::equals(a.uri, XMLUni::fgXMLNSURIName)) {
                    const XMLCh* nsPrefix = a.local;
                    if (XMLString::equals(a.qname, XMLUni::fgXMLNSString)) nsPrefix = u"";
                    if (boundHere(self, nsPrefix)) continue;
                    // Held under the local name: "xmlns" for a default declaration.
                    bind(self, a.local, a.value);
                } else if (!XMLString::equals(a.uri, XMLUni::fgXMLURIName)) {
                    std::basic_string<XMLCh> attrPrefix = prefixOf(a.qname);
                    if (!attrPrefix.empty() && !bindingActive(attrPrefix, a.uri)) {
                        bind(self, attrPrefix, a.uri);
                        out_ << XMLFormatter::NoEscapes << chSpace << XMLUni::fgXMLNSString
                             << chColon << attrPrefix.c_str() << chEqual << chDoubleQuote
                             << XMLFormatter::AttrEscapes << a.uri << XMLFormatter::NoEscapes
                             << chDoubleQuote;
                    }
                }
            }
            out_ << XMLFormatter::NoEscapes << chSpace << a.qname << chEqual << chDoubleQuote
                 << XMLFormatter::AttrEscapes << a.value << XMLFormatter::NoEscapes
                 << chDoubleQuote;
        }
    }

    void closeElement() {
        if (open_.empty()) throw GiveUp{};
        if (!text_.empty()) beforeChild();
        Open& self = open_.back();
        const unsigned lvl = level() - 1;
        if (self.startTagOpen) {
            failOnUnrepresentable();
            out_ << XMLFormatter::NoEscapes << chForwardSlash << chCloseAngle;
        } else {
            if (self.line != line_) {
                if (!lineFeedInText_)
                    newLine();
                else
                    lineFeedInText_ = false;
                if (self.line != line_ && lvl == 0) newLine();
                indent(lvl);
            }
            failOnUnrepresentable();
            out_ << XMLFormatter::NoEscapes << u"</" << self.qname << chCloseAngle;
        }
        if (self.declares) bindings_.pop_back();
        open_.pop_back();
    }

    void textNode(const XMLCh* value, std::size_t size) {
        if (o_.pretty) {
            lineFeedInText_ = false;
            lastWhiteSpace_ = 0;
            if (XMLChar1_0::isAllSpaces(value, size)) {
                const std::basic_string_view<XMLCh> text(value, size);
                std::size_t pos = text.rfind(chLF);
                if (pos == text.npos) pos = text.rfind(chCR);
                if (pos != text.npos) {
                    lineFeedInText_ = true;
                    lastWhiteSpace_ = static_cast<unsigned>(size - pos);
                }
            }
        }
        charRefs();
        out_.formatBuf(value, size, XMLFormatter::CharEscapes);
    }

    void piNode(const XMLCh* target, const XMLCh* data) {
        const unsigned lvl = level();
        if (lvl == 1) newLine();
        newLine();
        indent(lvl);
        failOnUnrepresentable();
        out_ << XMLFormatter::NoEscapes << u"<?" << target;
        if (data && *data) out_ << chSpace << data;
        out_ << u"?>";
    }

    void commentNode(const XMLCh* text) {
        const unsigned lvl = level();
        // Inside an element a comment moves to a line of its own only beside an
        // element sibling, before or after it.
        const bool own = lvl == 0 || tree_.element(open_.back().element).firstChild != CompactTree::kNone;
        if (own) {
            if (lvl == 1) newLine();
            newLine();
            indent(lvl);
        }
        failOnUnrepresentable();
        out_ << XMLFormatter::NoEscapes << u"<!--" << text << u"-->";
    }

    void cdataSectionNode(const std::basic_string<XMLCh>& value) {
        if (!o_.splitCdata) {
            if (value.find(u"]]>") != std::basic_string<XMLCh>::npos) throw GiveUp{};
            failOnUnrepresentable();
            out_ << XMLFormatter::NoEscapes << u"<![CDATA[" << value.c_str() << u"]]>";
            return;
        }
        // Sections holding "]]>" are cut as the DOM write cuts them (cdata_split.h).
        for (const auto& piece : splitAtCdataEnds(value.c_str())) cdataPiece(piece);
    }

    // One section the writer splits itself: at each "]]>" (none is left after the
    // cut above but the terminator it appends) and around unrepresentable characters.
    void cdataPiece(const std::basic_string<XMLCh>& value) {
        std::basic_string<XMLCh> rest = value + u"]]>";
        const XMLCh* cur = rest.c_str();
        bool found = true;
        while (found) {
            const XMLCh* end = findCdataEnd(cur);
            found = end != nullptr;
            if (end == cur) {
                failOnUnrepresentable();
                out_ << XMLFormatter::NoEscapes << u"<![CDATA[" << u"]]>";
            } else {
                unrepresentableInCdata(cur, found ? end : cur + std::char_traits<XMLCh>::length(cur));
            }
            if (found) cur = end + 3;
        }
    }

    static const XMLCh* findCdataEnd(const XMLCh* s) {
        for (; *s; ++s)
            if (s[0] == u']' && s[1] == u']' && s[2] == u'>') return s;
        return nullptr;
    }

    // [src, end) is followed by a character: the terminator or a ']' of "]]>".
    void unrepresentableInCdata(const XMLCh* src, const XMLCh* end) {
        XMLCh ref[32] = {chAmpersand, chPound, chLatin_x};
        while (src < end) {
            const XMLCh* p = src;
            while (p < end && out_.canTranscodeTo(*p)) ++p;
            if (p > src) {
                failOnUnrepresentable();
                out_ << XMLFormatter::NoEscapes << u"<![CDATA[";
                out_.formatBuf(src, p - src, XMLFormatter::NoEscapes, XMLFormatter::UnRep_Fail);
                failOnUnrepresentable();
                out_ << XMLFormatter::NoEscapes << u"]]>";
                src = p;
            } else {
                while (src < end) {
                    XMLString::binToText(*src, &ref[3], 8, 16);
                    const XMLSize_t n = XMLString::stringLen(ref);
                    ref[n] = chSemiColon;
                    ref[n + 1] = chNull;
                    out_.formatBuf(ref, n + 1, XMLFormatter::NoEscapes, XMLFormatter::UnRep_Fail);
                    ++src;
                    // The character after the range is checked too, as the writer does.
                    if (out_.canTranscodeTo(*src)) break;
                }
            }
        }
    }

    void newLine() {
        if (!o_.pretty) return;
        ++line_;
        out_ << o_.newLine;
    }

    void indent(unsigned lvl) {
        if (!o_.pretty) return;
        if (lastWhiteSpace_) {
            // Two spaces of the text just written count as one level.
            const unsigned written = lastWhiteSpace_ / 2;
            lastWhiteSpace_ = 0;
            lvl = written < lvl ? lvl - written : 0;
        }
        // Two spaces a level, in pieces of up to 32 levels (no escape touches a space).
        static const std::basic_string<XMLCh> kSpaces(64, chSpace);
        for (std::size_t left = 2 * std::size_t(lvl); left > 0;) {
            const std::size_t n = std::min(left, kSpaces.size());
            out_.formatBuf(kSpaces.data(), n, XMLFormatter::DefaultEscape);
            left -= n;
        }
    }

    void charRefs() { out_.setUnRepFlags(XMLFormatter::UnRep_CharRef); }
    void failOnUnrepresentable() { out_.setUnRepFlags(XMLFormatter::UnRep_Fail); }

    static std::basic_string<XMLCh> prefixOf(const XMLCh* qname) {
        const int colon = XMLString::indexOf(qname, chColon);
        return colon < 0 ? std::basic_string<XMLCh>() : std::basic_string<XMLCh>(qname, colon);
    }

    // The namespace bindings of the open elements: a level per element that binds.
    void bind(Open& self, const std::basic_string<XMLCh>& prefix, const XMLCh* uri) {
        if (!self.declares) {
            bindings_.emplace_back();
            self.declares = true;
        }
        auto& here = bindings_.back();
        for (Binding& b : here)
            if (b.prefix == prefix) {
                b.hasUri = uri != nullptr;
                b.uri = uri ? uri : u"";
                return;
            }
        here.push_back({prefix, uri != nullptr, uri ? uri : u""});
    }
    bool boundHere(const Open& self, const XMLCh* prefix) const {
        if (!self.declares) return false;
        for (const Binding& b : bindings_.back())
            if (b.prefix == prefix) return true;
        return false;
    }
    const Binding* innermost(const std::basic_string<XMLCh>& prefix) const {
        for (auto level = bindings_.rbegin(); level != bindings_.rend(); ++level)
            for (const Binding& b : *level)
                if (b.hasUri && b.prefix == prefix) return &b;
        return nullptr;
    }
    bool bindingActive(const std::basic_string<XMLCh>& prefix, const XMLCh* uri) const {
        const Binding* b = innermost(prefix);
        return b && sameText(b->uri.c_str(), uri);
    }
    bool defaultNamespaceDeclared() const { return innermost(std::basic_string<XMLCh>()) != nullptr; }

    Out& out_;
    const Options o_;
    const XMLCh* encoding_;
    const CompactTree& tree_;
    bool gaveUp_ = false;
    bool started_ = false;
    bool doctypeWritten_ = false;
    bool fromTree_ = false;
    CompactTree::Index documentChildren_ = 0;  // children of the document begun
    std::vector<ScannedAttribute> attributes_;  // of the element written from the tree
    std::vector<Open> open_;
    std::vector<std::vector<Binding>> bindings_;
    std::basic_string<XMLCh> text_;  // adjacent text, one node in the DOM
    CompactTree::Index elementsSeen_ = 0;
    unsigned line_ = 0;
    bool lineFeedInText_ = false;
    unsigned lastWhiteSpace_ = 0;
};

}  // namespace

bool writeCompact(QvHandle_* doc, const XMLCh* encoding, const QvDocSettings* settings,
                  const char* fileName, std::string* text, CompactRoad road) {
    if (!doc || !doc->compact() || !doc->compact()->tree) return false;
    std::string scratch;
    if (!fileName && !text) text = &scratch;
    if (text) text->clear();
    XmlText outEncoding;
    if (settings) {
        char outName[sizeof settings->outEncoding + 1] = {};
        std::memcpy(outName, settings->outEncoding, sizeof settings->outEncoding);
        if (outName[0]) {
            outEncoding = fromLocalText(outName);
            encoding = outEncoding.get();
        }
    }
    const Options options = optionsFor(settings);

    // An encoding the writer cannot convert to, or a file it cannot open, is the DOM
    // writer's to report.
    std::unique_ptr<XMLFormatTarget> target;
    std::unique_ptr<XMLFormatter> formatter;
    const bool utf8 = XMLString::compareIStringASCII(encoding, XMLUni::fgUTF8EncodingString) == 0 ||
                      XMLString::compareIStringASCII(encoding, XMLUni::fgUTF8EncodingString2) == 0;
    try {
        if (fileName)
            target = std::make_unique<FileTarget>(fileName);
        else
            target = std::make_unique<StringTarget>(*text);
        // Only a document of version 1.0 is written here (see startDocument).
        if (!utf8)
            formatter = std::make_unique<XMLFormatter>(encoding, XMLUni::fgVersion1_0, target.get(),
                                                       XMLFormatter::NoEscapes,
                                                       XMLFormatter::UnRep_CharRef);
    } catch (...) {
        return false;
    }
    // The tree tells everything but which attributes are defaults, and where its
    // pieces or prolog are missing; there the kept bytes are scanned again.
    const CompactTree& tree = *doc->compact()->tree;
    // Room for about the document as read, reserved at once: growing a string of
    // hundreds of megabytes step by step copies it over and over. Pages never
    // written to are never touched.
    if (text) {
        const std::size_t read = doc->compact()->bytes.size();
        text->reserve((utf8 ? read : 2 * read) + read / 4 + 4096);
    }
    const bool fromTree = road == CompactRoad::TreeWherePossible && tree.piecesComplete() &&
                          tree.prolog().known &&
                          !(options.discardDefaults && tree.prolog().defaultedAttributes);
    // A scan that fails has reported why, and throws.
    auto run = [&](auto& out) {
        Writer<std::remove_reference_t<decltype(out)>> writer(out, options, encoding, tree);
        if (fromTree) {
            writer.writeTree();
        } else {
            scanKept(*doc->compact(), writer);
            writer.finish();
        }
        if (writer.gaveUp()) return false;
        try {
            out.flush();
            target->flush();
        } catch (...) {
            return false;
        }
        return true;
    };
    bool written = false;
    if (utf8) {
        Utf8Out out(*target);
        written = run(out);
    } else {
        FormatterOut out(*formatter);
        written = run(out);
    }
    if (!written && text) {
        text->clear();
        text->shrink_to_fit();
    }
    return written;
}

}  // namespace qv
