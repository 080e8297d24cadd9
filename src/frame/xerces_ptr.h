// The one owner of Xerces-C++ objects that are given back through release()
// (documents, serializers, outputs, fragments): never `delete`d, since they live on
// Xerces' own memory managers.
#pragma once

#include <memory>

namespace qv {

template <class T>
struct XercesRelease {
    void operator()(T* object) const { object->release(); }
};

template <class T>
using XercesPtr = std::unique_ptr<T, XercesRelease<T>>;

}  // namespace qv
