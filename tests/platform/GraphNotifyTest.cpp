#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/graph/FilterGraph.h"
#include "support/GraphTestFilters.h"

namespace {

constexpr int kGraphMessage = 0x800A;

// Records the graph notifications it is sent and ends the loop at the first.
class CNotifyTarget : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != CGraphNotifyEvent::TypeOf(kGraphMessage)) {
            return QObject::event(e);
        }
        const auto* notify = static_cast<CGraphNotifyEvent*>(e);
        messages.push_back(notify->Message());
        params.push_back(notify->Param());
        onUiThread = onUiThread && QThread::currentThread() == thread();
        if (loop) {
            loop->quit();
        }
        return true;
    }
    std::vector<int> messages;
    std::vector<std::intptr_t> params;
    bool onUiThread = true;
    QEventLoop* loop = nullptr;
};

TEST(GraphNotifyTest, CompletionFromRendererThreadsIsPostedToTheWindowOnItsOwnThread) {
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    CStateLog log;
    auto source = std::make_shared<CFakeSource>(&log);
    auto video = std::make_shared<CFakeRenderer>("Video", &log);
    auto sound = std::make_shared<CFakeRenderer>("Audio", &log);
    auto graph = CreateFilterGraph();
    auto events = QueryInterface<IMediaEventEx>(graph);
    auto control = QueryInterface<IMediaControl>(graph);
    ASSERT_EQ(graph->AddFilter(source, L""), S_OK);
    ASSERT_EQ(graph->AddFilter(video, L"Video Renderer"), S_OK);
    ASSERT_EQ(graph->AddFilter(sound, L"Audio Renderer"), S_OK);
    ASSERT_EQ(graph->Connect(source->Pins[0], video->InputPin(0)), S_OK);

    CNotifyTarget target;
    EXPECT_EQ(events->SetNotifyWindow(&target, 0x10, 0), E_INVALIDARG);
    ASSERT_EQ(events->SetNotifyWindow(&target, kGraphMessage, 7), S_OK);
    ASSERT_EQ(control->Run(), S_OK);

    QEventLoop loop;
    target.loop = &loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    std::thread first([&] { video->SignalEnd(); });
    std::thread second([&] { sound->SignalEnd(); });
    loop.exec();
    first.join();
    second.join();

    ASSERT_EQ(target.messages, std::vector<int>{kGraphMessage});
    EXPECT_EQ(target.params, std::vector<std::intptr_t>{7});
    EXPECT_TRUE(target.onUiThread);
    EXPECT_EQ(static_cast<int>(CGraphNotifyEvent::TypeOf(kGraphMessage)), QEvent::User + 10);
    long code = 0;
    std::intptr_t p1 = 0, p2 = 0;
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);

    // Without a window the events are still queued, but nothing is posted any more.
    ASSERT_EQ(events->SetNotifyWindow(nullptr, 0, 0), S_OK);
    source->NotifyEvent(EC_USERABORT, 0, 0);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(target.messages.size(), 1u);
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_USERABORT);
    control->Stop();
}

} // namespace
