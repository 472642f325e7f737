// The video window on a real Qt event loop: what the renderer presents reaches the widget,
// converted to the widget's size. The program runs twice: offscreen, where the widget paints
// through Qt, and on a virtual X server, where frames are put into its window directly.
#include <QtTest>

#include <QScreen>
#include <QWidget>
#include <future>

#include "platform/graph/VideoRenderer.h"
#include "support/RenderTestSupport.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 36;

struct Bgr {
    std::uint8_t b, g, r;
};

// Four quadrants, top-left first, in the row order of `height`'s sign.
std::vector<std::uint8_t> Quadrants(const Bgr (&colours)[4], bool topDown) {
    std::vector<std::uint8_t> bytes(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        const int row = topDown ? y : kHeight - 1 - y;
        for (int x = 0; x < kWidth; ++x) {
            const Bgr& c = colours[(y < kHeight / 2 ? 0 : 2) + (x < kWidth / 2 ? 0 : 1)];
            std::uint8_t* p = &bytes[(row * kWidth + x) * 3];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    return bytes;
}

bool Near(QRgb pixel, const Bgr& c) {
    return std::abs(qRed(pixel) - c.r) <= 2 && std::abs(qGreen(pixel) - c.g) <= 2 &&
           std::abs(qBlue(pixel) - c.b) <= 2;
}

// What the widget shows: on X11 read back from its window, where frames reach it without Qt.
QImage Shown(QWidget* widget) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        return widget->screen()->grabWindow(widget->winId()).toImage();
    }
    return widget->grab().toImage();
}

// True when the widget shows the four colours in its four quadrants.
bool ShowsQuadrants(QWidget* widget, const Bgr (&colours)[4]) {
    const QImage image = Shown(widget);
    const int w = image.width(), h = image.height();
    return Near(image.pixel(w / 4, h / 4), colours[0]) &&
           Near(image.pixel(w * 3 / 4, h / 4), colours[1]) &&
           Near(image.pixel(w / 4, h * 3 / 4), colours[2]) &&
           Near(image.pixel(w * 3 / 4, h * 3 / 4), colours[3]);
}

constexpr Bgr kFirst[4] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
constexpr Bgr kSecond[4] = {{255, 255, 255}, {0, 128, 255}, {40, 40, 40}, {0, 0, 255}};

} // namespace

class VideoWidgetQTest : public QObject {
    Q_OBJECT

private:
    // A renderer whose video window fills a 320 x 180 area of a shown owner.
    struct Rig {
        QWidget owner;
        CVideoRenderer renderer;
        CTestSamples samples{kWidth * kHeight * 3};

        explicit Rig(int height) {
            owner.resize(400, 300);
            owner.show();
            renderer.ReceiveConnection(nullptr, RgbType(kWidth, height));
            renderer.put_Owner(&owner);
            renderer.SetWindowPosition(0, 0, 320, 180);
            renderer.put_Visible(true);
        }
        ~Rig() { renderer.Stop(); }
        std::future<HRESULT> Deliver(const std::vector<std::uint8_t>& bytes) {
            return std::async(std::launch::async, [this, bytes] {
                CSamplePtr sample = samples.Make(bytes, 0);
                return renderer.Receive(*sample);
            });
        }
    };

private Q_SLOTS:
    void pausedFrameFillsTheWidgetInItsColours() {
        for (const bool topDown : {true, false}) {
            Rig rig(topDown ? -kHeight : kHeight);
            QVERIFY(rig.renderer.Pause() == S_OK);
            auto held = rig.Deliver(Quadrants(kFirst, topDown));
            QWidget* video = rig.renderer.Widget();
            QTRY_VERIFY_WITH_TIMEOUT(ShowsQuadrants(video, kFirst), 5000);
            QCOMPARE(Shown(video).size(), QSize(320, 180));
            QVERIFY(held.wait_for(std::chrono::milliseconds(0)) == std::future_status::timeout);
            rig.renderer.Stop();
            QCOMPARE(held.get(), E_UNEXPECTED);
        }
    }

    void aResizedWindowGetsFramesOfItsNewSize() {
        Rig rig(-kHeight);
        QVERIFY(rig.renderer.Run(0) == S_OK); // no clock: shown on arrival
        QCOMPARE(rig.Deliver(Quadrants(kFirst, true)).get(), S_OK);
        QWidget* video = rig.renderer.Widget();
        QTRY_VERIFY_WITH_TIMEOUT(ShowsQuadrants(video, kFirst), 5000);

        rig.renderer.SetWindowPosition(10, 20, 160, 90);
        QCOMPARE(video->geometry(), QRect(10, 20, 160, 90));
        QCOMPARE(rig.Deliver(Quadrants(kSecond, true)).get(), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsQuadrants(video, kSecond), 5000);
        QCOMPARE(Shown(video).size(), QSize(160, 90));

        // Handed to another owner, as each clip's load does, the window keeps getting frames.
        QWidget other;
        other.resize(400, 300);
        other.show();
        rig.renderer.put_Owner(&other);
        rig.renderer.SetWindowPosition(0, 0, 200, 100);
        rig.renderer.put_Visible(true);
        QCOMPARE(rig.Deliver(Quadrants(kFirst, true)).get(), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsQuadrants(video, kFirst), 5000);
        rig.renderer.put_Owner(&rig.owner);
    }

    void theWindowNeedsAnOwnerToBeShown() {
        QWidget* ownerAlive = new QWidget;
        {
            CVideoRenderer renderer;
            QCOMPARE(renderer.put_Visible(true), E_UNEXPECTED);
            QVERIFY(renderer.Widget()->isHidden());
            QCOMPARE(renderer.put_Owner(ownerAlive), S_OK);
            ownerAlive->show();
            QCOMPARE(renderer.put_Visible(true), S_OK);
            QVERIFY(renderer.Widget()->isVisible());
            QCOMPARE(renderer.Widget()->parentWidget(), ownerAlive);
            QCOMPARE(renderer.SetWindowPosition(0, 0, -1, 5), E_INVALIDARG);
            QCOMPARE(renderer.put_Owner(nullptr), S_OK);
            QVERIFY(renderer.Widget()->parentWidget() == nullptr);
            QVERIFY(renderer.Widget()->isHidden());
        }
        // The owner may go first: it takes the video window with it, the renderer copes.
        QWidget* owner = new QWidget;
        auto renderer = std::make_unique<CVideoRenderer>();
        renderer->put_Owner(owner);
        delete owner;
        renderer.reset();
        delete ownerAlive;
    }
};

QTEST_MAIN(VideoWidgetQTest)
#include "VideoWidgetQTest.moc"
