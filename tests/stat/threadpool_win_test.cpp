// What the pool's worker offers its tasks on Windows: COM and OLE.
#include <gtest/gtest.h>

#include <future>
#include <ole2.h>

#include "stat/threadpool.h"

TEST(ThreadPoolWorker, HasComAndOleInitialised) {
    ThreadPoolImpl pool;
    pool.Start();
    std::promise<std::pair<HRESULT, HRESULT>> result;
    pool.AddTask([&result] {
        // Both are already done on this thread: the calls only count up.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const HRESULT ole = ::OleInitialize(nullptr);
        if (SUCCEEDED(ole)) ::OleUninitialize();
        if (SUCCEEDED(com)) ::CoUninitialize();
        result.set_value({com, ole});
    });
    auto future = result.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto [com, ole] = future.get();
    EXPECT_EQ(com, S_FALSE);
    EXPECT_EQ(ole, S_FALSE);
    pool.Stop();
}
