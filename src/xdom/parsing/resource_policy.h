// Which external resources content may make the library read. Documents and
// stylesheets come from anyone: a DTD, a parameter entity, a schema hint, an included
// stylesheet or a document() target they name must not reach the network or read the
// host's files. The rule, for every resource content names:
//   - only local files: any other scheme is refused before a connection is tried;
//   - inside the folder of the file that names it (the current folder for text held
//     in memory), by a relative path without "..", and without a symbolic link out;
//   - or anywhere inside a folder the host allows in QVXML_ALLOW_PATHS (a
//     colon-separated list of folders, read once), for catalogs of shared DTDs and
//     schemas;
//   - a regular file: FIFOs, devices and folders are refused before they are opened.
// What the host names itself (a document file, a stylesheet file, schema locations
// for validation) is trusted as given and is not decided here.
#pragma once

#include <string>
#include <vector>

#include <xercesc/sax/InputSource.hpp>

namespace qv {

// The environment variable listing the folders the host allows in addition.
constexpr char kAllowPathsVariable[] = "QVXML_ALLOW_PATHS";

struct ResourceDecision {
    std::string path;     // the file to read (real path); empty when refused
    std::string refusal;  // why it is not read; empty when it may be
    bool missing = false; // allowed, but no such file: reading it fails as usual
};

// A resource named by content: `reference` as written (a path or a URI), `base` the
// system id of the file or text that names it (a path, a file URI, or a name of a
// text held in memory).
ResourceDecision decideResource(const std::string& reference, const std::string& base);

// A resource that Xalan-C++ has already made an absolute URI of, so that the name
// content wrote is lost: read only inside `folder` (a real folder, the stylesheet's)
// or the folders the host allows.
ResourceDecision decideWithin(const std::string& uri, const std::string& folder);

// The real folder a system id lies in ("" for a URI that is not a local file).
std::string folderOf(const std::string& systemId);

// The real paths of the folders the host allows, read once from QVXML_ALLOW_PATHS.
const std::vector<std::string>& allowedFolders();

// "external resource '<reference>' is not read: <why>"
std::string refusalMessage(const std::string& reference, const std::string& why);

// Reads a decided file. The file is opened without following a final symbolic link
// and without blocking, and must still be a regular file when it is open; a missing
// or replaced file gives no stream, which the parser reports as a file it cannot open.
class ConfinedFileSource : public XERCES_CPP_NAMESPACE::InputSource {
public:
    // A decision that is not a refusal.
    explicit ConfinedFileSource(const ResourceDecision& decision);
    XERCES_CPP_NAMESPACE::BinInputStream* makeStream() const override;

private:
    std::string path_;
};

}  // namespace qv
