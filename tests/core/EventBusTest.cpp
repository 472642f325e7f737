#include "core/EventBus.h"
#include "core/EventRelay.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Records every call as "<probe>.<handler>(<arg1>,<arg2>)" in a log shared by all probes.
class CProbe : public CObserver<CProbe> {
public:
    CProbe(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}

    void OnFirst(ISubject* sender, EventArg arg1, EventArg arg2) {
        Record("first", sender, arg1, arg2);
    }
    void OnSecond(ISubject* sender, EventArg arg1, EventArg arg2) {
        Record("second", sender, arg1, arg2);
    }

    ISubject* lastSender = nullptr;
    std::function<void()> during; // run inside the next OnFirst call, then cleared

private:
    void Record(const char* handler, ISubject* sender, EventArg arg1, EventArg arg2) {
        lastSender = sender;
        m_log.push_back(m_name + "." + handler + "(" + std::to_string(arg1) + "," +
                        std::to_string(arg2) + ")");
        if (handler == std::string("first") && during) {
            auto action = std::move(during);
            during = nullptr;
            action();
        }
    }

    std::string m_name;
    std::vector<std::string>& m_log;
};

class EventBus : public ::testing::Test {
protected:
    std::vector<std::string> log;
    ISubject subject;
    CProbe a{"a", log};
    CProbe b{"b", log};
    CProbe c{"c", log};
    const int first = CProbe::RegisterHandler(&CProbe::OnFirst);
    const int second = CProbe::RegisterHandler(&CProbe::OnSecond);
};

using Log = std::vector<std::string>;

TEST_F(EventBus, DeliversMatchingNamesInSubscriptionOrderWithSenderAndArguments) {
    subject.Subscribe(&b, L"Played", first);
    subject.Subscribe(&a, L"Stopped", first);
    subject.Subscribe(&a, L"Played", second);
    subject.Subscribe(&c, L"played", first); // names are case-sensitive
    subject.Raise(L"Played", 7, -3);
    EXPECT_EQ(log, (Log{"b.first(7,-3)", "a.second(7,-3)"}));
    EXPECT_EQ(a.lastSender, &subject);

    log.clear();
    subject.Raise(L"Nobody", 1, 2);
    EXPECT_TRUE(log.empty());
}

TEST_F(EventBus, DuplicateSubscriptionDeliversTwiceAndNoHandlerDeliversNothing) {
    subject.Subscribe(&a, L"Tick", first);
    subject.Subscribe(&b, L"Tick", -1);
    subject.Subscribe(&a, L"Tick", first);
    subject.Raise(L"Tick", 1, 0);
    EXPECT_EQ(log, (Log{"a.first(1,0)", "a.first(1,0)"}));
}

TEST_F(EventBus, NestedRaiseIsDeliveredCompletelyBeforeTheOuterRaiseGoesOn) {
    subject.Subscribe(&a, L"Outer", first);
    subject.Subscribe(&b, L"Outer", second);
    subject.Subscribe(&b, L"Inner", first);
    subject.Subscribe(&c, L"Inner", second);
    a.during = [&] { subject.Raise(L"Inner", 2, 0); };
    subject.Raise(L"Outer", 1, 0);
    EXPECT_EQ(log, (Log{"a.first(1,0)", "b.first(2,0)", "c.second(2,0)", "b.second(1,0)"}));
}

TEST_F(EventBus, SubscriptionMadeDuringRaiseIsCalledInTheSamePassWhenItsNameMatches) {
    subject.Subscribe(&a, L"Loaded", first);
    a.during = [&] {
        subject.Subscribe(&b, L"Other", second);
        subject.Subscribe(&c, L"Loaded", second);
    };
    subject.Raise(L"Loaded", 5, 6);
    EXPECT_EQ(log, (Log{"a.first(5,6)", "c.second(5,6)"}));
}

TEST_F(EventBus, UnsubscribeDuringRaiseSkipsTheSubscriptionThatMovesIntoTheGap) {
    subject.Subscribe(&a, L"Closed", first);
    subject.Subscribe(&b, L"Closed", second);
    subject.Subscribe(&c, L"Closed", second);
    a.during = [&] { subject.Unsubscribe(&a); };
    subject.Raise(L"Closed", 0, 0);
    EXPECT_EQ(log, (Log{"a.first(0,0)", "c.second(0,0)"}));

    log.clear();
    subject.Raise(L"Closed", 0, 0);
    EXPECT_EQ(log, (Log{"b.second(0,0)", "c.second(0,0)"}));
}

TEST_F(EventBus, UnsubscribeRemovesEveryNameOfTheObserverAndKeepsTheOthersInOrder) {
    subject.Subscribe(&b, L"X", first);
    subject.Subscribe(&a, L"X", first);
    subject.Subscribe(&c, L"X", first);
    subject.Subscribe(&a, L"Y", second);
    subject.Subscribe(&b, L"X", second);
    subject.Subscribe(&a, L"X", second);
    subject.Subscribe(&c, L"Y", first);
    subject.Unsubscribe(&a);
    subject.Raise(L"X", 0, 0);
    subject.Raise(L"Y", 0, 0);
    EXPECT_EQ(log, (Log{"b.first(0,0)", "c.first(0,0)", "b.second(0,0)", "c.first(0,0)"}));
}

// Each class below has a table of its own, untouched by other tests.
class CIdsProbe : public CObserver<CIdsProbe> {
public:
    void A(ISubject*, EventArg, EventArg) {}
    void B(ISubject*, EventArg, EventArg) {}
};

class COtherIdsProbe : public CObserver<COtherIdsProbe> {
public:
    void C(ISubject*, EventArg, EventArg) {}
};

class CDerivedIdsProbe : public COtherIdsProbe {
public:
    void D(ISubject*, EventArg arg1, EventArg) { received = arg1; }
    EventArg received = 0;
};

TEST(EventBusHandlerIds, AreDensePerClassAndStableForTheSameMemberFunction) {
    EXPECT_EQ(CIdsProbe::RegisterHandler(&CIdsProbe::A), 0);
    EXPECT_EQ(CIdsProbe::RegisterHandler(&CIdsProbe::B), 1);
    EXPECT_EQ(CIdsProbe::RegisterHandler(&CIdsProbe::A), 0);
    EXPECT_EQ(COtherIdsProbe::RegisterHandler(&COtherIdsProbe::C), 0);
}

TEST(EventBusHandlerIds, SubclassHandlersShareTheBaseTableAndReachTheSubclass) {
    const int c = COtherIdsProbe::RegisterHandler(&COtherIdsProbe::C);
    const int d = CDerivedIdsProbe::RegisterHandler(&CDerivedIdsProbe::D);
    EXPECT_NE(c, d);

    CDerivedIdsProbe probe;
    ISubject subject;
    subject.Subscribe(&probe, L"E", d);
    subject.Raise(L"E", 42, 0);
    EXPECT_EQ(probe.received, 42);
}

TEST_F(EventBus, RelayReRaisesItsTableOnTheTargetInOrderUntilItGoes) {
    ISubject target;
    target.Subscribe(&b, L"Relayed", first);
    target.Subscribe(&b, L"Same", second);
    subject.Subscribe(&a, L"Original", first);
    {
        const CEventRelayEntry table[] = {{L"Original", L"Relayed"}, {L"Same", L"Same"}};
        CEventRelay relay;
        relay.Connect(subject, target, table);
        subject.Subscribe(&c, L"Original", first);
        subject.Raise(L"Original", 1, 2);
        subject.Raise(L"Same", 3, 4);
        subject.Raise(L"Unlisted", 5, 6);
        EXPECT_EQ(log, (Log{"a.first(1,2)", "b.first(1,2)", "c.first(1,2)", "b.second(3,4)"}));
        EXPECT_EQ(b.lastSender, &target);
    }
    log.clear();
    subject.Raise(L"Original", 7, 8); // the relay unsubscribed when it went
    EXPECT_EQ(log, (Log{"a.first(7,8)", "c.first(7,8)"}));
}

} // namespace
