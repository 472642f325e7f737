// The text label moved between two screens of different pixel ratios: its buffer must follow the
// screen, as the rest of the window does, without the label being resized. Two offscreen screens
// side by side, the right one at twice the ratio of the left.
#include <QtTest>

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>

#include "skin/controls/SkinString.h"

namespace {

constexpr char kScreens[] = R"({"screens": [
    {"name": "left", "x": 0, "y": 0, "width": 800, "height": 600,
     "logicalDpi": 96, "logicalBaseDpi": 96},
    {"name": "right", "x": 800, "y": 0, "width": 800, "height": 600,
     "logicalDpi": 192, "logicalBaseDpi": 96}]})";

QScreen* ScreenNamed(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == name) {
            return screen;
        }
    }
    return nullptr;
}

// A window holding one label with the given text, shown on the screen.
struct CLabelWindow {
    CLabelWindow(QScreen* screen, const std::wstring& text) {
        window.setScreen(screen);
        window.setGeometry(QRect(screen->geometry().topLeft() + QPoint(50, 50), QSize(300, 60)));
        label.Create(&window, 10, 20, 250, 19, -1, 12);
        label.SetText(text);
        window.show();
    }
    QImage Shown() { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QWidget window;
    CSkinString label;
};

} // namespace

class SkinStringScreenQTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bufferFollowsThePixelRatioOfTheScreen() {
        QScreen* left = ScreenNamed("left");
        QScreen* right = ScreenNamed("right");
        QVERIFY(left != nullptr && right != nullptr);
        const std::wstring text = L"A clip title, sharp on both screens";

        CLabelWindow onRight(right, text);
        QVERIFY(QTest::qWaitForWindowExposed(&onRight.window));
        QCOMPARE(onRight.label.devicePixelRatioF(), 2.0);

        CLabelWindow moved(left, text);
        QVERIFY(QTest::qWaitForWindowExposed(&moved.window));
        QCOMPARE(moved.label.devicePixelRatioF(), 1.0);
        const QSize size = moved.label.size();
        moved.window.setScreen(right);
        moved.window.move(onRight.window.pos() + QPoint(0, 100));
        QTRY_COMPARE(moved.label.devicePixelRatioF(), 2.0);
        QCOMPARE(moved.label.size(), size);
        QCOMPARE(moved.Shown(), onRight.Shown());

        // And back: drawn at the left screen's ratio again.
        CLabelWindow onLeft(left, text);
        QVERIFY(QTest::qWaitForWindowExposed(&onLeft.window));
        moved.window.setScreen(left);
        moved.window.move(onLeft.window.pos() + QPoint(0, 100));
        QTRY_COMPARE(moved.label.devicePixelRatioF(), 1.0);
        QCOMPARE(moved.Shown(), onLeft.Shown());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString config = folder.filePath("screens.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(kScreens) < 0) {
        return 1;
    }
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    QApplication application(argc, argv);
    SkinStringScreenQTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SkinStringScreenQTest.moc"
