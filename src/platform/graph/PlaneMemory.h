#pragma once
// Memory for picture planes that libswscale reads or writes: taken with av_malloc, so that it is
// aligned for libswscale's vector code, and kept for the next picture while it is large enough.
// Rows laid into it start on a kRowAlign boundary (AlignedRow), so that vector code reads and
// writes them whole.
//
// Threads: none of its own; used by one thread at a time (a renderer's delivery thread).
#include <cstddef>
#include <cstdint>
#include <memory>

class CPlaneMemory {
public:
    static constexpr int kRowAlign = 64;

    // `bytes` rounded up to the row boundary.
    static int AlignedRow(int bytes) { return (bytes + kRowAlign - 1) / kRowAlign * kRowAlign; }

    // Room for at least `bytes`, keeping the memory it has when that is enough; false when out
    // of memory, which leaves none.
    bool Reserve(std::size_t bytes);
    std::uint8_t* Data() const { return m_memory.get(); }

private:
    struct CFree {
        void operator()(std::uint8_t* memory) const;
    };
    std::unique_ptr<std::uint8_t, CFree> m_memory;
    std::size_t m_capacity = 0;
};
