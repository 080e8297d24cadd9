#include "frame/transcode.h"

#include <cctype>

#include <cstring>
#include <strings.h>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/host.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr XMLSize_t kBlockSize = 32768;

// Copies a string made by XMLString::transcode into our own allocation.
XmlText adoptXml(XMLCh* fromXerces) {
    XmlText out = copyXml(fromXerces);
    XMLString::release(&fromXerces);
    return out;
}

HostText adoptHost(char* fromXerces) {
    if (!fromXerces) return nullptr;
    size_t n = std::strlen(fromXerces);
    HostText out(new char[n + 1]);
    std::memcpy(out.get(), fromXerces, n + 1);
    XMLString::release(&fromXerces);
    return out;
}

XmlText emptyXml() {
    XmlText out(new XMLCh[1]);
    out[0] = 0;
    return out;
}

}  // namespace

size_t xmlLength(const XMLCh* text) { return text ? XMLString::stringLen(text) : 0; }

XmlText copyXml(const XMLCh* text) {
    if (!text) return nullptr;
    const size_t n = XMLString::stringLen(text);
    XmlText out(new XMLCh[n + 1]);
    std::memcpy(out.get(), text, (n + 1) * sizeof(XMLCh));
    return out;
}

HostTranscoder::HostTranscoder(const char* encodingName) { make(encodingName); }

HostTranscoder::~HostTranscoder() = default;

void HostTranscoder::make(const char* encodingName) {
    transcoder_.reset();
    name_.clear();
    asciiAsIs_ = false;
    if (!encodingName) return;
    XMLTransService::Codes result = XMLTransService::Ok;
    XMLTranscoder* made = XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
        encodingName, result, kBlockSize, XMLPlatformUtils::fgMemoryManager);
    if (result != XMLTransService::Ok || !made) {
        delete made;
        return;
    }
    transcoder_.reset(made);
    name_ = encodingName;
    // Whether the encoding writes each ASCII character as that one byte (UTF-8, the
    // ISO-8859 and Windows code pages do; UTF-16 and EBCDIC do not): then ASCII text
    // is copied without the transcoder. Encodings that shift between character sets
    // (ISO-2022, UTF-7, HZ) are left to the transcoder: their bytes depend on state.
    std::string upper(encodingName);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find("2022") != std::string::npos || upper.find("UTF-7") != std::string::npos ||
        upper.find("UTF7") != std::string::npos || upper.find("HZ") != std::string::npos)
        return;
    XMLCh probe[127];
    for (int c = 1; c < 128; ++c) probe[c - 1] = static_cast<XMLCh>(c);
    XMLByte bytes[4 * 127 + 8];
    XMLSize_t eaten = 0;
    try {
        const XMLSize_t n = transcoder_->transcodeTo(probe, 127, bytes, sizeof bytes, eaten,
                                                     XMLTranscoder::UnRep_RepChar);
        asciiAsIs_ = n == 127 && eaten == 127;
        for (int c = 1; asciiAsIs_ && c < 128; ++c) asciiAsIs_ = bytes[c - 1] == c;
    } catch (...) {
        asciiAsIs_ = false;
    }
}

void HostTranscoder::retarget(const char* encodingName) {
    if (!encodingName && name_.empty()) return;
    // Encoding names are ASCII: one transcoder serves every spelling of a name.
    if (transcoder_ && encodingName && strcasecmp(encodingName, name_.c_str()) == 0) return;
    make(encodingName);
}

XmlText HostTranscoder::toXml(const char* text) const {
    return toXml(text, text ? std::strlen(text) : 0);
}

XmlText HostTranscoder::toXml(const char* text, size_t length) const {
    if (!text) return nullptr;
    if (length == 0) return emptyXml();
    if (!transcoder_) {
        if (text[length] == '\0') return adoptXml(XMLString::transcode(text));
        std::string copy(text, length);
        return adoptXml(XMLString::transcode(copy.c_str()));
    }
    // One UTF-16 unit per byte is enough for every byte encoding; grow if a
    // transcoder ever stops short of the end with room exhausted.
    size_t capacity = length + 1;
    XmlText out(new XMLCh[capacity]);
    std::vector<unsigned char> sizes(length + 1);
    size_t done = 0, produced = 0;
    while (done < length) {
        if (capacity - produced < 2) {
            size_t grown = capacity * 2;
            XmlText bigger(new XMLCh[grown]);
            std::memcpy(bigger.get(), out.get(), produced * sizeof(XMLCh));
            out.swap(bigger);
            capacity = grown;
        }
        XMLSize_t eaten = 0;
        XMLSize_t chunk = length - done;
        XMLSize_t made = transcoder_->transcodeFrom(
            reinterpret_cast<const XMLByte*>(text) + done, chunk, out.get() + produced,
            capacity - produced - 1, eaten, sizes.data());
        produced += made;
        done += eaten;
        if (eaten == 0) break;  // an incomplete sequence at the end: keep what was converted
    }
    out[produced] = 0;
    return out;
}

void HostTranscoder::appendHost(std::string& out, const XMLCh* text, size_t count) const {
    if (!text || count == 0) return;
    if (!transcoder_) {
        std::vector<XMLCh> copy(text, text + count);
        copy.push_back(0);
        char* local = XMLString::transcode(copy.data());
        if (local) {
            out.append(local);
            XMLString::release(&local);
        }
        return;
    }
    if (asciiAsIs_) {
        // Most text is ASCII: copied as it is, the transcoder only for the rest.
        char chunk[256];
        while (count > 0 && *text < 0x80) {
            size_t n = 0;
            for (; n < count && n < sizeof chunk && text[n] < 0x80; ++n)
                chunk[n] = static_cast<char>(text[n]);
            out.append(chunk, n);
            text += n;
            count -= n;
        }
        if (count == 0) return;
    }
    size_t start = out.size();
    size_t room = 3 * count + 1;
    size_t done = 0, produced = 0;
    out.resize(start + room);
    while (done < count) {
        if (room - produced < 8) {
            room *= 2;
            out.resize(start + room);
        }
        XMLSize_t eaten = 0;
        XMLSize_t made = transcoder_->transcodeTo(
            text + done, count - done, reinterpret_cast<XMLByte*>(&out[start + produced]),
            room - produced - 1, eaten, XMLTranscoder::UnRep_RepChar);
        produced += made;
        done += eaten;
        if (eaten == 0 && made == 0) {
            // Not enough room for the next character: grow and try again.
            room *= 2;
            out.resize(start + room);
        }
    }
    out.resize(start + produced);
}

HostText HostTranscoder::toHost(const XMLCh* text) const {
    if (!text) return nullptr;
    size_t n = XMLString::stringLen(text);
    if (n == 0 || !transcoder_) {
        if (n == 0) {
            HostText out(new char[1]);
            out[0] = '\0';
            return out;
        }
        return adoptHost(XMLString::transcode(text));
    }
    std::string bytes;
    appendHost(bytes, text, n);
    HostText out(new char[bytes.size() + 1]);
    std::memcpy(out.get(), bytes.data(), bytes.size());
    out[bytes.size()] = '\0';
    return out;
}

namespace {

// The name of one direction: its own field, else the base field; null without a record.
const char* directionName(const QvHostEncoding* record, const char* own, size_t ownSize,
                          std::string& scratch) {
    if (!record) return nullptr;
    const char* field = own[0] ? own : record->base;
    size_t size = own[0] ? ownSize : sizeof record->base;
    scratch.assign(field, strnlen(field, size));
    return scratch.c_str();
}

std::string g_inName, g_outName;
std::unique_ptr<HostTranscoder> g_in, g_out;

}  // namespace

const char* hostInputEncoding(const QvHostEncoding* record) {
    return record ? directionName(record, record->input, sizeof record->input, g_inName) : nullptr;
}

const char* hostOutputEncoding(const QvHostEncoding* record) {
    return record ? directionName(record, record->output, sizeof record->output, g_outName)
                  : nullptr;
}

XmlText toXmlText(const char* text) {
    const char* name = hostInputEncoding(hostEncoding());
    if (!g_in)
        g_in = std::make_unique<HostTranscoder>(name);
    else
        g_in->retarget(name);
    return g_in->toXml(text);
}

HostText toHostText(const XMLCh* text) {
    const char* name = hostOutputEncoding(hostEncoding());
    if (!g_out)
        g_out = std::make_unique<HostTranscoder>(name);
    else
        g_out->retarget(name);
    return g_out->toHost(text);
}

XmlText fromLocalText(const char* text) { return adoptXml(XMLString::transcode(text)); }

std::string localText(const XMLCh* text) {
    if (!text) return std::string();
    char* local = XMLString::transcode(text);
    std::string out = local ? local : "";
    XMLString::release(&local);
    return out;
}

}  // namespace qv
