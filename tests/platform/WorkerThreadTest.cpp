#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/graph/WorkerThread.h"

namespace {

// Answers each command with command * 10 + 1 until CMD_EXIT.
class CEchoWorker : public CWorkerThread {
public:
    ~CEchoWorker() override {
        CallWorker(CMD_EXIT);
        Close();
    }
    std::atomic<int> served{0};

protected:
    void ThreadProc() override {
        for (;;) {
            int command = GetRequest();
            ++served;
            Reply(command * 10 + 1);
            if (command == CMD_EXIT) {
                return;
            }
        }
    }
};

// Leaves its first command unanswered and ends.
class CQuitter : public CWorkerThread {
protected:
    void ThreadProc() override { GetRequest(); }
};

// Looks at the pending command twice without answering, then answers it.
class CPeeker : public CWorkerThread {
public:
    int first = -1, second = -1;
    bool sawNothingAfterReply = false;

protected:
    void ThreadProc() override {
        GetRequest();
        CheckRequest(&first);
        CheckRequest(&second);
        Reply(S_OK);
        sawNothingAfterReply = !CheckRequest(nullptr);
    }
};

} // namespace

TEST(WorkerThread, EachCallerGetsTheReplyToItsOwnCommand) {
    CEchoWorker worker;
    ASSERT_TRUE(worker.Create());
    EXPECT_FALSE(worker.Create()) << "a second thread must not start";

    constexpr int kCallers = 8;
    constexpr int kCalls = 200;
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int i = 0; i < kCalls; ++i) {
                int command = 100 + c * kCalls + i;
                if (worker.CallWorker(command) != command * 10 + 1) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& t : callers) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(worker.served.load(), kCallers * kCalls);
}

TEST(WorkerThread, CallsWithoutAnAnsweringThreadDoNotHang) {
    CEchoWorker idle;
    EXPECT_EQ(idle.CallWorker(CMD_RUN), E_FAIL) << "no thread was created";

    CQuitter quitter;
    ASSERT_TRUE(quitter.Create());
    EXPECT_EQ(quitter.CallWorker(CMD_RUN), E_UNEXPECTED) << "thread ended without replying";
    EXPECT_EQ(quitter.CallWorker(CMD_RUN), E_FAIL) << "thread is gone";
    quitter.Close();
}

TEST(WorkerThread, CommandStaysPendingUntilReplied) {
    CPeeker peeker;
    ASSERT_TRUE(peeker.Create());
    EXPECT_EQ(peeker.CallWorker(CMD_STOP), S_OK);
    peeker.Close();
    EXPECT_EQ(peeker.first, CMD_STOP);
    EXPECT_EQ(peeker.second, CMD_STOP);
    EXPECT_TRUE(peeker.sawNothingAfterReply);
}
