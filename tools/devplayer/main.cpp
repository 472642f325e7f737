// Development player: one window filled by the engine's video window.
//   qor_devplayer [--quit-after SECONDS] [--paused] FILE
// Space play/pause, S stop, Left/Right seek 10 s back/forward, Up/Down volume, M mute, Q quit.
// SIGTERM and SIGINT close the window as Q does.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>

#include "core/SystemFolders.h"
#include "core/WideText.h"
#include "engine/ClipInfo.h"
#include "engine/MediaEvents.h"
#include "engine/PlaybackController.h"
#include "platform/QuitSignals.h"

namespace {

constexpr int kInitialWidth = 1280;
constexpr int kInitialHeight = 720;

class CDevPlayerWindow : public QWidget, public CObserver<CDevPlayerWindow> {
public:
    CDevPlayerWindow() {
        resize(kInitialWidth, kInitialHeight);
        setWindowTitle(QStringLiteral("qor development player"));
        setStyleSheet(QStringLiteral("background: black"));
    }

    ~CDevPlayerWindow() override {
        m_controller.Unsubscribe(this);
        m_controller.Shutdown();
    }

    // Plays the file, or shows its first picture and waits there when paused is set.
    bool Open(const std::wstring& path, bool paused) {
        if (m_controller.Initialise(this) == 0) {
            return false;
        }
        m_controller.Subscribe(this, MediaEvents::Completed,
                               RegisterHandler(&CDevPlayerWindow::OnCompleted));
        m_item.path = path;
        if (m_controller.Load(&m_item) == 0) {
            return false;
        }
        FitEngineWindow();
        if (paused) {
            m_controller.GetEngine().Pause();
        } else {
            m_controller.PlayPause();
        }
        return true;
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Space:
            m_controller.PlayPause();
            break;
        case Qt::Key_S:
            m_controller.Stop();
            break;
        case Qt::Key_Left:
            m_controller.SeekBackward();
            break;
        case Qt::Key_Right:
            m_controller.SeekForward();
            break;
        case Qt::Key_Up:
            m_controller.VolumeUp();
            break;
        case Qt::Key_Down:
            m_controller.VolumeDown();
            break;
        case Qt::Key_M:
            m_controller.SetMute(m_controller.GetMute() != 0 ? 0 : 1);
            break;
        case Qt::Key_Q:
            close();
            break;
        default:
            QWidget::keyPressEvent(event);
        }
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        FitEngineWindow();
    }

private:
    void FitEngineWindow() {
        if (m_item.noVideo == 0 && m_controller.IsLoaded() != 0) {
            m_controller.GetEngine().setGeometry(rect());
        }
    }

    void OnCompleted(ISubject*, EventArg, EventArg) { close(); }

    CPlaybackController m_controller;
    CClipInfo m_item;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    double quitAfter = 0.0;
    bool paused = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--quit-after" && i + 1 < argc) {
            quitAfter = std::atof(argv[++i]);
        } else if (argument == "--paused") {
            paused = true;
        } else {
            file = argument;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: qor_devplayer [--quit-after SECONDS] [--paused] FILE\n");
        return 2;
    }
    CDevPlayerWindow window;
    // Closing the window is the exit path; installed before the engine starts the sound.
    const CQuitSignals quitSignals([&window] { window.close(); });
    window.show();
    // The argument's bytes name the file, whatever they hold; relative to where we started.
    if (!window.Open(AbsolutePath(PathFromBytes(file)), paused)) {
        std::fprintf(stderr, "qor_devplayer: cannot play %s\n", file.c_str());
        return 1;
    }
    if (quitAfter > 0.0) {
        QTimer::singleShot(static_cast<int>(quitAfter * 1000), &window, &QWidget::close);
    }
    return application.exec();
}
