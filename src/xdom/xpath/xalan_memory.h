// The memory manager every Xalan-C++ object of the library is made on.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xercesc/framework/MemoryManager.hpp>

namespace qv {

inline xercesc::MemoryManager& xalanMemory() {
    return xalanc::XalanMemMgrs::getDefaultXercesMemMgr();
}

}  // namespace qv
