#pragma once
// A byte ring between the sound renderer's Receive and the output's pull. Not locked itself: the
// renderer's queue lock guards it.
#include <cstddef>
#include <cstdint>
#include <vector>

class CSoundRing {
public:
    explicit CSoundRing(std::size_t capacity = 0) { Reset(capacity); }

    // Empties the ring and gives it room for `capacity` bytes.
    void Reset(std::size_t capacity);
    void Clear() { m_head = m_size = 0; }

    // Copies as much as fits; returns the bytes taken.
    std::size_t Write(const std::uint8_t* data, std::size_t bytes);
    // Copies up to `bytes` out; returns the bytes given.
    std::size_t Read(std::uint8_t* out, std::size_t bytes);

    std::size_t Size() const { return m_size; }
    std::size_t Free() const { return m_data.size() - m_size; }
    std::size_t Capacity() const { return m_data.size(); }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_head = 0; // first byte to read
    std::size_t m_size = 0; // bytes held
};
