#include "core/SubjectAdapter.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

struct CCall {
    int receiver;
    std::wstring name;
    int value;
    bool operator==(const CCall&) const = default;
};

class CReceiver : public IBroadcastReceiver {
public:
    void OnBroadcast(CSubjectAdapter* sender, const std::wstring& eventName, int value) override {
        lastSender = sender;
        calls->push_back({index, eventName, value});
        if (during) {
            during();
        }
    }

    int index = 0;
    std::vector<CCall>* calls = nullptr;
    CSubjectAdapter* lastSender = nullptr;
    std::function<void()> during;
};

// Receivers in one array, so their addresses ascend with their index.
class SubjectAdapter : public ::testing::Test {
protected:
    SubjectAdapter() {
        for (int i = 0; i < static_cast<int>(receivers.size()); ++i) {
            receivers[i].index = i;
            receivers[i].calls = &calls;
        }
    }

    std::vector<CCall> calls;
    std::array<CReceiver, 4> receivers;
    CSubjectAdapter subject;
};

TEST_F(SubjectAdapter, BroadcastCallsEachReceiverOnceInPointerOrder) {
    subject.AddObserver(&receivers[2]);
    subject.AddObserver(&receivers[0]);
    subject.AddObserver(&receivers[2]);
    subject.AddObserver(&receivers[1]);
    subject.RemoveObserver(&receivers[1]);
    subject.RemoveObserver(&receivers[3]); // not a member: no effect
    subject.Broadcast(L"TICK", 12);
    EXPECT_EQ(calls, (std::vector<CCall>{{0, L"TICK", 12}, {2, L"TICK", 12}}));
    EXPECT_EQ(receivers[2].lastSender, &subject);
}

TEST_F(SubjectAdapter, ReceiversMayChangeTheSetDuringBroadcast) {
    for (auto& receiver : receivers) {
        subject.AddObserver(&receiver);
    }
    // 0 removes itself and 1; 2 removes 3 and adds 1 back, which is behind the position reached.
    receivers[0].during = [&] {
        subject.RemoveObserver(&receivers[0]);
        subject.RemoveObserver(&receivers[1]);
    };
    receivers[2].during = [&] {
        subject.RemoveObserver(&receivers[3]);
        subject.AddObserver(&receivers[1]);
    };
    subject.Broadcast(L"TICK", 1);
    EXPECT_EQ(calls, (std::vector<CCall>{{0, L"TICK", 1}, {2, L"TICK", 1}}));

    calls.clear();
    receivers[0].during = receivers[2].during = nullptr;
    subject.Broadcast(L"TICK", 2);
    EXPECT_EQ(calls, (std::vector<CCall>{{1, L"TICK", 2}, {2, L"TICK", 2}}));
}

} // namespace
