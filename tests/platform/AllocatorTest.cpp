#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "platform/graph/MediaSample.h"

using namespace std::chrono_literals;

namespace {
CAllocatorProperties Request(long buffers, long size) {
    CAllocatorProperties request;
    request.buffers = buffers;
    request.bufferSize = size;
    return request;
}
} // namespace

TEST(Allocator, GrantsOneBufferAndRefusesChangesWhileCommitted) {
    CMemAllocator allocator;
    CAllocatorProperties actual;
    CSamplePtr sample;
    EXPECT_EQ(allocator.Commit(), E_UNEXPECTED) << "no size yet";
    EXPECT_EQ(allocator.SetProperties(Request(3, 0), &actual), E_INVALIDARG);
    ASSERT_EQ(allocator.SetProperties(Request(3, 4096), &actual), S_OK);
    EXPECT_EQ(actual.buffers, 1);
    EXPECT_EQ(actual.bufferSize, 4096);
    EXPECT_EQ(actual.align, 1);
    EXPECT_EQ(allocator.GetBuffer(&sample), E_UNEXPECTED) << "not committed";
    ASSERT_EQ(allocator.Commit(), S_OK);
    EXPECT_EQ(allocator.SetProperties(Request(1, 8192), &actual), E_UNEXPECTED);
    ASSERT_EQ(allocator.GetBuffer(&sample), S_OK);
    EXPECT_EQ(sample->GetSize(), 4096);
    EXPECT_EQ(sample->SetActualDataLength(4097), E_INVALIDARG);
}

TEST(Allocator, SecondTakerWaitsForTheReleaseAndDecommitWakesIt) {
    CMemAllocator allocator;
    CAllocatorProperties actual;
    ASSERT_EQ(allocator.SetProperties(Request(1, 64), &actual), S_OK);
    ASSERT_EQ(allocator.Commit(), S_OK);

    CSamplePtr first;
    ASSERT_EQ(allocator.GetBuffer(&first), S_OK);
    REFERENCE_TIME start = 5, stop = 9;
    first->SetTime(&start, &stop);
    first->SetDiscontinuity(true);
    first->SetActualDataLength(10);

    auto second = std::async(std::launch::async, [&] {
        CSamplePtr sample;
        HRESULT hr = allocator.GetBuffer(&sample);
        bool clean = hr == S_OK && !sample->GetTime(nullptr, nullptr) &&
                     !sample->IsDiscontinuity() && sample->GetActualDataLength() == 64;
        return std::make_pair(hr, clean);
    });
    EXPECT_EQ(second.wait_for(100ms), std::future_status::timeout) << "buffer is still out";
    first.reset();
    ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
    auto [hr, clean] = second.get();
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(clean) << "a handed-out sample starts without times, flags or short length";

    ASSERT_EQ(allocator.GetBuffer(&first), S_OK);
    auto blocked = std::async(std::launch::async, [&] {
        CSamplePtr sample;
        return allocator.GetBuffer(&sample);
    });
    EXPECT_EQ(blocked.wait_for(100ms), std::future_status::timeout);
    allocator.Decommit();
    ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), E_UNEXPECTED);
    first.reset();

    ASSERT_EQ(allocator.Commit(), S_OK);
    EXPECT_EQ(allocator.GetBuffer(&first), S_OK) << "usable again after a new commit";
}

// The buffer's pages are left unwritten until a pin writes them, yet a pin that needs bytes gets
// a zeroed buffer of the granted size, also after the size changed between commits.
TEST(Allocator, GivesAZeroedWritableBufferOfTheGrantedSize) {
    CMemAllocator allocator;
    CAllocatorProperties actual;
    for (const long size : {4L << 20, 4096L}) {
        ASSERT_EQ(allocator.SetProperties(Request(1, size), &actual), S_OK);
        ASSERT_EQ(allocator.Commit(), S_OK);
        CSamplePtr sample;
        ASSERT_EQ(allocator.GetBuffer(&sample), S_OK);
        ASSERT_EQ(sample->GetSize(), size);
        std::uint8_t* bytes = sample->GetPointer();
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::count(bytes, bytes + size, 0), size) << size;
        std::fill(bytes, bytes + size, 0xAB);
        EXPECT_EQ(bytes[size - 1], 0xAB);
        sample.reset();
        allocator.Decommit();
    }
}
