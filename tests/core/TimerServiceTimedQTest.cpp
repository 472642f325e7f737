#include "core/TimerService.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace {

// Wide windows: the tests run beside other builds under the sanitizers on two cores, where an
// expiry may come a few hundred milliseconds late. Coarse timers may also fire 5 % early.
constexpr int kLateMs = 600;
constexpr double kEarlyFactor = 0.9;

class CRecorder : public ITimerClient {
public:
    explicit CRecorder(const QElapsedTimer& clock) : m_clock(clock) {}

    void OnTimer(int timerId) override {
        ids.push_back(timerId);
        times.push_back(m_clock.elapsed());
        if (during) {
            during(timerId);
        }
    }

    std::vector<int> ids;
    std::vector<qint64> times; // ms on the test's clock
    std::function<void(int)> during;

private:
    const QElapsedTimer& m_clock;
};

} // namespace

class TimerServiceQTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_clock.start(); }

    void cleanup() {
        for (int id : {0, 5, 6, 10}) {
            StopTimer(id);
        }
    }

    void secondStartWithinThePeriodLeavesOneTimerCountingFromIt_data() {
        QTest::addColumn<bool>("stopBetween");
        QTest::newRow("stopped between") << true;
        QTest::newRow("restarted in place") << false;
    }

    void secondStartWithinThePeriodLeavesOneTimerCountingFromIt() {
        QFETCH(bool, stopBetween);
        // The first period is long, so the first timer cannot fire however slow the wait is, and
        // a period that was not replaced shows as a call far beyond the second one.
        constexpr int firstPeriodMs = 2000;
        constexpr int periodMs = 500;
        CRecorder first(m_clock);
        CRecorder second(m_clock);
        QCOMPARE(StartTimer(0, firstPeriodMs, &first), 0);
        QTest::qWait(200);
        if (stopBetween) {
            QCOMPARE(StopTimer(0), 0);
        }
        const qint64 secondStart = m_clock.elapsed();
        QCOMPARE(StartTimer(0, periodMs, &second), 0);

        QTRY_VERIFY_WITH_TIMEOUT(!second.times.empty(), periodMs + kLateMs);
        const qint64 firstCall = second.times.front();
        QVERIFY2(firstCall - secondStart >= periodMs * kEarlyFactor,
                 qPrintable(
                     QString("called %1 ms after the second start").arg(firstCall - secondStart)));
        // A second timer left running beside the first would call again right away.
        QTest::qWait(periodMs / 2);
        const auto soon = std::count_if(second.times.begin(), second.times.end(),
                                        [&](qint64 t) { return t < firstCall + periodMs / 2; });
        QCOMPARE(soon, 1);
        QVERIFY(first.ids.empty());
        QCOMPARE(second.ids.front(), 0);
    }

    void stopOfAnIdThatIsNotRunningFails() {
        CRecorder client(m_clock);
        QCOMPARE(StopTimer(10), -1);
        QCOMPARE(StartTimer(10, 250, &client), 10);
        QCOMPARE(StopTimer(10), 0);
        QCOMPARE(StopTimer(10), -1);
    }

    void callsOffTheUserInterfaceThreadAreRefused() {
        CRecorder client(m_clock);
        QCOMPARE(StartTimer(10, 250, &client), 10);
        int started = 0;
        int stopped = 0;
        std::thread([&] {
            started = StartTimer(5, 250, &client);
            stopped = StopTimer(10);
        }).join();
        QCOMPARE(started, -1);
        QCOMPARE(stopped, -1);
        QCOMPARE(StopTimer(5), -1);
        QCOMPARE(StopTimer(10), 0);
    }

    void noCallFollowsStop_data() {
        QTest::addColumn<bool>("fromCallback");
        QTest::newRow("stopped by the test") << false;
        QTest::newRow("stopped inside its own call") << true;
    }

    void noCallFollowsStop() {
        QFETCH(bool, fromCallback);
        constexpr int periodMs = 100;
        CRecorder client(m_clock);
        if (fromCallback) {
            client.during = [](int id) { QCOMPARE(StopTimer(id), 0); };
        }
        StartTimer(10, periodMs, &client);
        QTRY_VERIFY_WITH_TIMEOUT(!client.ids.empty(), periodMs + kLateMs);
        if (!fromCallback) {
            QCOMPARE(StopTimer(10), 0);
        }
        const auto callsAtStop = client.ids.size();
        QTest::qWait(5 * periodMs);
        QCOMPARE(client.ids.size(), callsAtStop);
    }

    void timerStoppedByAnotherClientIsNotCalledAgain() {
        // Equal periods started together: both are usually due in the same pass of the loop.
        constexpr int periodMs = 100;
        CRecorder stopper(m_clock);
        CRecorder victim(m_clock);
        std::size_t victimCallsAtStop = 0;
        stopper.during = [&](int) {
            QCOMPARE(StopTimer(6), 0);
            QCOMPARE(StopTimer(5), 0);
            victimCallsAtStop = victim.ids.size();
        };
        StartTimer(5, periodMs, &stopper);
        StartTimer(6, periodMs, &victim);
        QTRY_VERIFY_WITH_TIMEOUT(!stopper.ids.empty(), periodMs + kLateMs);
        QTest::qWait(5 * periodMs);
        QCOMPARE(stopper.ids.size(), std::size_t{1});
        QCOMPARE(victim.ids.size(), victimCallsAtStop);
    }

    void restartFromInsideItsOwnCallKeepsItRunning_data() {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("stop then start") << true;
        QTest::newRow("start again") << false;
    }

    void restartFromInsideItsOwnCallKeepsItRunning() {
        QFETCH(bool, stopFirst);
        constexpr int periodMs = 100;
        CRecorder client(m_clock);
        client.during = [&](int id) {
            if (stopFirst) {
                QCOMPARE(StopTimer(id), 0);
            }
            QCOMPARE(StartTimer(id, periodMs, &client), id);
        };
        StartTimer(10, periodMs, &client);
        QTRY_VERIFY_WITH_TIMEOUT(client.ids.size() >= 3, 3 * (periodMs + kLateMs));
        QCOMPARE(StopTimer(10), 0);
        // Let the event loop delete whatever timers the restarts left behind.
        QTest::qWait(2 * periodMs);
        const auto callsAtStop = client.ids.size();
        QTest::qWait(3 * periodMs);
        QCOMPARE(client.ids.size(), callsAtStop);
    }

private:
    QElapsedTimer m_clock;
};

QTEST_GUILESS_MAIN(TimerServiceQTest)
#include "TimerServiceTimedQTest.moc"
