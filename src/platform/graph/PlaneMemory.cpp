#include "platform/graph/PlaneMemory.h"

extern "C" {
#include <libavutil/mem.h>
}

void CPlaneMemory::CFree::operator()(std::uint8_t* memory) const {
    av_free(memory);
}

bool CPlaneMemory::Reserve(std::size_t bytes) {
    if (m_memory && bytes <= m_capacity) {
        return true;
    }
    m_memory.reset();
    m_capacity = 0;
    // libswscale's vector code may read or write a little past a row's width; the last row of
    // the last plane gets that room as well.
    m_memory.reset(static_cast<std::uint8_t*>(av_malloc(bytes + kRowAlign)));
    if (!m_memory) {
        return false;
    }
    m_capacity = bytes;
    return true;
}
