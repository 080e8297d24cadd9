// A setting for callers inside the process (the qvxml tool), not an export: a
// document opened while it is in force is read without validation against its DTD,
// as XSLT processors read their sources (an internal subset that declares only ID
// attributes is the usual case). A host of the binary interface always gets the
// validation the interface describes.
#pragma once

namespace qv {

// While alive, documents parsed on this thread (at open and when their DOM is
// built later) are not validated.
class OpenWithoutValidation {
public:
    OpenWithoutValidation();
    ~OpenWithoutValidation();
    OpenWithoutValidation(const OpenWithoutValidation&) = delete;
    OpenWithoutValidation& operator=(const OpenWithoutValidation&) = delete;

private:
    bool previous_;
};

// Whether documents parsed now are validated (the default).
bool validatesOnOpen();

}  // namespace qv
