// The processing instruction the XPath view sets aside. When the view of a document
// is first built, the document's first document-level processing instruction is
// taken out of the tree (queries do not see it), and held with the view. Writing
// and copying the whole document put it back in its place for their length.
#pragma once

#include <vector>

#include <xercesc/util/XercesDefs.hpp>

struct QvHandle_;

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

struct SetAsidePI {
    XERCES_CPP_NAMESPACE::DOMNode* pi = nullptr;  // owned by the document
    // Its neighbours at the document level when it was set aside, nearest first:
    // it goes back before the first later one still there, else after the first
    // earlier one still there, so that removing a neighbour does not move it.
    std::vector<XERCES_CPP_NAMESPACE::DOMNode*> later;
    std::vector<XERCES_CPP_NAMESPACE::DOMNode*> earlier;
    // The view was first made while the document had no DOM yet: the instruction is
    // set aside when the DOM is built (takeAsideFromDom).
    bool pending = false;
};

// Sets aside the first document-level processing instruction of the document
// handle `doc`: what making its XPath view does first, once per document. For a
// document in its compact form this is left pending until its DOM is built.
void setAsideFirstPI(QvHandle_* doc);

// Carries out a pending set-aside on the DOM just built for `doc`.
void takeAsideFromDom(QvHandle_* doc);

// What is held aside for the document handle `doc` (null: none).
SetAsidePI* setAsidePI(QvHandle_* doc);

// Puts the instruction held aside for the document handle `doc` (null: none) back
// in its place for as long as it lives (among the neighbours still there; where it
// stood when none is: first, or last). Does nothing unless `written` is the
// document node and the instruction is out of the tree.
class ReattachedPI {
public:
    ReattachedPI(QvHandle_* doc, XERCES_CPP_NAMESPACE::DOMNode* written);
    ~ReattachedPI();
    ReattachedPI(const ReattachedPI&) = delete;
    ReattachedPI& operator=(const ReattachedPI&) = delete;

private:
    XERCES_CPP_NAMESPACE::DOMNode* parent_ = nullptr;
    XERCES_CPP_NAMESPACE::DOMNode* pi_ = nullptr;
};

}  // namespace qv
