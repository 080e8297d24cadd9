#include "xdom/xpath/view_parts.h"

#include "xdom/xpath/xalan_memory.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include <xercesc/util/XMLString.hpp>

namespace qv {
namespace {

const XMLCh kEmpty[] = {0};
const XMLCh kCdata[] = u"CDATA";
const XMLCh kId[] = u"ID";

const XMLCh* orEmpty(const XMLCh* s) { return s ? s : kEmpty; }

bool isNamespaceDeclaration(const XMLCh* qname) {
    return xercesc::XMLString::equals(qname, u"xmlns") ||
           xercesc::XMLString::startsWith(qname, u"xmlns:");
}

}  // namespace

ViewAttributes::ViewAttributes(const std::vector<ScannedAttribute>& attributes)
    : attributes_(attributes) {
    order_.reserve(attributes.size());
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < attributes.size(); ++i)
            if (isNamespaceDeclaration(attributes[i].qname) == (pass == 0)) order_.push_back(i);
}

const XMLCh* ViewAttributes::getURI(const XMLSize_t i) const { return orEmpty(at(i).uri); }

const XMLCh* ViewAttributes::getLocalName(const XMLSize_t i) const {
    return at(i).local ? at(i).local : at(i).qname;
}

const XMLCh* ViewAttributes::getType(const XMLSize_t i) const { return at(i).id ? kId : kCdata; }

const XMLCh* ViewAttributes::getValue(const XMLSize_t i) const { return orEmpty(at(i).value); }

bool ViewAttributes::getIndex(const XMLCh* const uri, const XMLCh* const local,
                              XMLSize_t& index) const {
    for (index = 0; index < order_.size(); ++index)
        if (xercesc::XMLString::equals(getURI(index), orEmpty(uri)) &&
            xercesc::XMLString::equals(getLocalName(index), local))
            return true;
    return false;
}

int ViewAttributes::getIndex(const XMLCh* const uri, const XMLCh* const local) const {
    XMLSize_t index;
    return getIndex(uri, local, index) ? static_cast<int>(index) : -1;
}

bool ViewAttributes::getIndex(const XMLCh* const qname, XMLSize_t& index) const {
    for (index = 0; index < order_.size(); ++index)
        if (xercesc::XMLString::equals(getQName(index), qname)) return true;
    return false;
}

int ViewAttributes::getIndex(const XMLCh* const qname) const {
    XMLSize_t index;
    return getIndex(qname, index) ? static_cast<int>(index) : -1;
}

const XMLCh* ViewAttributes::getType(const XMLCh* const uri, const XMLCh* const local) const {
    XMLSize_t index;
    return getIndex(uri, local, index) ? getType(index) : nullptr;
}

const XMLCh* ViewAttributes::getType(const XMLCh* const qname) const {
    XMLSize_t index;
    return getIndex(qname, index) ? getType(index) : nullptr;
}

const XMLCh* ViewAttributes::getValue(const XMLCh* const uri, const XMLCh* const local) const {
    XMLSize_t index;
    return getIndex(uri, local, index) ? getValue(index) : nullptr;
}

const XMLCh* ViewAttributes::getValue(const XMLCh* const qname) const {
    XMLSize_t index;
    return getIndex(qname, index) ? getValue(index) : nullptr;
}

namespace {

constexpr std::size_t kAlign = alignof(std::max_align_t);
constexpr std::size_t kBlock = std::size_t{4} << 20;

}  // namespace

ViewMemory::ViewMemory() = default;

ViewMemory::~ViewMemory() {
    for (const Block& b : blocks_) std::free(b.begin);
}

void* ViewMemory::allocate(XMLSize_t size) {
    if (sealed_) return xalanMemory().allocate(size);
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (size > static_cast<std::size_t>(limit_ - next_)) {
        const std::size_t length = std::max(kBlock, size);
        char* block = static_cast<char*>(std::malloc(length));
        if (!block) throw std::bad_alloc();
        blocks_.push_back({block, block + length});
        held_ += length;
        next_ = block;
        limit_ = block + length;
    }
    void* p = next_;
    next_ += size;
    return p;
}

bool ViewMemory::ours(const void* p) const {
    const char* c = static_cast<const char*>(p);
    auto after = std::upper_bound(blocks_.begin(), blocks_.end(), c,
                                  [](const char* x, const Block& b) { return x < b.begin; });
    return after != blocks_.begin() && c < std::prev(after)->end;
}

void ViewMemory::deallocate(void* p) {
    if (!p || !sealed_) return;  // while building, everything is ours
    if (!ours(p)) xalanMemory().deallocate(p);
}

void ViewMemory::seal() {
    std::sort(blocks_.begin(), blocks_.end(),
              [](const Block& a, const Block& b) { return a.begin < b.begin; });
    next_ = limit_ = nullptr;
    sealed_ = true;
}

xercesc::MemoryManager* ViewMemory::getExceptionMemoryManager() {
    return xalanMemory().getExceptionMemoryManager();
}

std::size_t bucketsFor(std::size_t n) {
    for (std::size_t prime : {101UL, 997UL, 10007UL, 100003UL})
        if (prime >= n) return prime;
    return 1000003UL;
}

}  // namespace qv
