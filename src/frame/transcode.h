// Conversion between host text (bytes in the host's encodings) and UTF-16.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "qvxml.h"

XERCES_CPP_NAMESPACE_BEGIN
class XMLTranscoder;
XERCES_CPP_NAMESPACE_END

namespace qv {

using XMLCh = ::XMLCh;
using XmlText = std::unique_ptr<XMLCh[]>;  // null stands for null input
using HostText = std::unique_ptr<char[]>;

// A converter for one direction, bound to one encoding name. Empty (no transcoder)
// when there is no name or the transcoding service does not know it: it then
// converts with the local code page.
class HostTranscoder {
public:
    explicit HostTranscoder(const char* encodingName = nullptr);
    ~HostTranscoder();
    HostTranscoder(const HostTranscoder&) = delete;
    HostTranscoder& operator=(const HostTranscoder&) = delete;

    // Brings the converter to another encoding name (compared without case).
    void retarget(const char* encodingName);
    bool empty() const { return !transcoder_; }
    const char* encodingName() const { return name_.empty() ? nullptr : name_.c_str(); }

    // Host text to UTF-16; null gives null, "" gives a new empty string.
    XmlText toXml(const char* text) const;
    XmlText toXml(const char* text, size_t length) const;
    // UTF-16 to host text; characters the encoding cannot hold become its replacement.
    HostText toHost(const XMLCh* text) const;
    // Appends the host form of `count` UTF-16 units to out (no terminator needed).
    void appendHost(std::string& out, const XMLCh* text, size_t count) const;

private:
    void make(const char* encodingName);

    std::unique_ptr<XERCES_CPP_NAMESPACE::XMLTranscoder> transcoder_;
    std::string name_;
    bool asciiAsIs_ = false;  // each ASCII character is the same one byte
};

// The host's encoding names (callback 6), null when absent.
const char* hostInputEncoding(const QvHostEncoding* record);
const char* hostOutputEncoding(const QvHostEncoding* record);

// The document interface's conversions: process-wide converters, re-targeted to the
// host's current encoding record at every call.
XmlText toXmlText(const char* text);
HostText toHostText(const XMLCh* text);

// Local code page text, for messages of the error state ("" for null).
std::string localText(const XMLCh* text);
// UTF-16 of local code page text (names in the settings record, our own messages).
XmlText fromLocalText(const char* text);

// Length of a UTF-16 string (0 for null).
size_t xmlLength(const XMLCh* text);

// A copy of a UTF-16 string in our own allocation (null for null).
XmlText copyXml(const XMLCh* text);

}  // namespace qv
