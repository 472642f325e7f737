#include "platform/graph/SoundRing.h"

#include <algorithm>
#include <cstring>

void CSoundRing::Reset(std::size_t capacity) {
    m_data.assign(capacity, 0);
    Clear();
}

std::size_t CSoundRing::Write(const std::uint8_t* data, std::size_t bytes) {
    const std::size_t total = std::min(bytes, Free());
    std::size_t done = 0;
    while (done < total) {
        const std::size_t tail = (m_head + m_size) % m_data.size();
        const std::size_t run = std::min(total - done, m_data.size() - tail);
        std::memcpy(m_data.data() + tail, data + done, run);
        m_size += run;
        done += run;
    }
    return total;
}

std::size_t CSoundRing::Read(std::uint8_t* out, std::size_t bytes) {
    const std::size_t total = std::min(bytes, m_size);
    std::size_t done = 0;
    while (done < total) {
        const std::size_t run = std::min(total - done, m_data.size() - m_head);
        std::memcpy(out + done, m_data.data() + m_head, run);
        m_head = (m_head + run) % m_data.size();
        m_size -= run;
        done += run;
    }
    if (m_size == 0) {
        m_head = 0;
    }
    return total;
}
