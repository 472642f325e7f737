#include "playlist/FileDrop.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Qt's drag events ask the window system for their default action, so they need an application.
class FileDropTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "playlist_tests";
            static char* argv[] = {name, nullptr};
            static QGuiApplication application(argc, argv);
        }
    }

    void SetUp() override {
        QList<QUrl> urls;
        for (const QString& path : m_three) {
            urls.append(QUrl::fromLocalFile(path));
            m_expected.push_back(path.toStdWString());
        }
        m_files.setUrls(urls);
        m_text.setText("/home/u/a.avi");
        m_web.setUrls({QUrl("https://example.org/a.avi")});
    }

    const QStringList m_three{"/home/u/a b.avi", "/home/u/Música/ç.mkv", "/home/u/clips"};
    const Qt::DropActions m_all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    std::vector<std::wstring> m_expected;
    QMimeData m_files;
    QMimeData m_text;
    QMimeData m_web;
};

TEST(FileDropRuleTest, CtrlCopiesPlainMovesAndOnlyFilesDrop) {
    EXPECT_EQ(DragEffect(true, true), EDropEffect::Copy);
    EXPECT_EQ(DragEffect(true, false), EDropEffect::Move);
    EXPECT_EQ(DragEffect(false, true), EDropEffect::None);
    EXPECT_EQ(DragEffect(false, false), EDropEffect::None);
    EXPECT_TRUE(AppendOnDrop(EDropEffect::Copy));
    EXPECT_FALSE(AppendOnDrop(EDropEffect::Move));
    EXPECT_FALSE(AppendOnDrop(EDropEffect::None));

    // The source is told copy whatever the playlist does, link when it cannot copy, and never
    // move, which would make it delete the originals.
    EXPECT_EQ(ReportedAction(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction), Qt::CopyAction);
    EXPECT_EQ(ReportedAction(Qt::MoveAction | Qt::LinkAction), Qt::LinkAction);
    EXPECT_EQ(ReportedAction(Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_EQ(ReportedAction({}), Qt::IgnoreAction);
}

TEST(FileDropRuleTest, PathsKeepOrderAndFullLengthAndSkipOtherUrls) {
    const QString longPath = "/data/" + QString(300, QChar('x')) + "/" + QString(200, 'y');
    const QList<QUrl> urls{QUrl::fromLocalFile("/b/ç d.avi"), QUrl("https://example.org/a.avi"),
                           QUrl::fromLocalFile(longPath), QUrl(), QUrl::fromLocalFile("/a")};
    EXPECT_EQ(LocalPaths(urls),
              (std::vector<std::wstring>{L"/b/ç d.avi", longPath.toStdWString(), L"/a"}));
    EXPECT_TRUE(LocalPaths({QUrl("https://example.org/a.avi")}).empty());
    // A name that is not UTF-8 arrives as its bytes, which Qt's own decoding would replace.
    EXPECT_EQ(LocalPaths({QUrl::fromEncoded("file:///b/caf%E9%20%C3%A7.avi"),
                          QUrl::fromEncoded("file://localhost/b/%FF")}),
              (std::vector<std::wstring>{L"/b/caf\xDCE9 \u00E7.avi", L"/b/\xDCFF"}));
}

TEST_F(FileDropTest, EnterOffersNothingYetButLetsMovesFollow) {
    QDragEnterEvent enter(QPoint(5, 5), m_all, &m_files, Qt::LeftButton, Qt::NoModifier);
    OnFileDragEnter(enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::IgnoreAction);

    QDragEnterEvent text(QPoint(5, 5), m_all, &m_text, Qt::LeftButton, Qt::NoModifier);
    text.accept();
    OnFileDragEnter(text);
    EXPECT_FALSE(text.isAccepted());
}

TEST_F(FileDropTest, MovesOverTheWindowOfferCopyWithAndWithoutCtrl) {
    for (const Qt::KeyboardModifier modifier : {Qt::ControlModifier, Qt::ShiftModifier}) {
        QDragMoveEvent move(QPoint(5, 5), m_all, &m_files, Qt::LeftButton, modifier);
        OnFileDragMove(move);
        EXPECT_TRUE(move.isAccepted()) << modifier;
        EXPECT_EQ(move.dropAction(), Qt::CopyAction) << modifier;
    }

    QDragMoveEvent web(QPoint(5, 5), m_all, &m_web, Qt::LeftButton, Qt::ControlModifier);
    web.accept();
    OnFileDragMove(web);
    EXPECT_FALSE(web.isAccepted());

    QDragMoveEvent moveOnly(QPoint(5, 5), Qt::MoveAction, &m_files, Qt::LeftButton, Qt::NoModifier);
    moveOnly.accept();
    OnFileDragMove(moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
}

TEST_F(FileDropTest, DropHandsOverThePathsAndNeverReportsAMove) {
    QDropEvent ctrl(QPointF(5, 5), m_all, &m_files, Qt::LeftButton, Qt::ControlModifier);
    const std::optional<CFileDrop> appended = OnFileDrop(ctrl);
    ASSERT_TRUE(appended.has_value());
    EXPECT_TRUE(appended->append);
    EXPECT_EQ(appended->paths, m_expected);
    EXPECT_TRUE(ctrl.isAccepted());
    EXPECT_EQ(ctrl.dropAction(), Qt::CopyAction);

    QDropEvent plain(QPointF(5, 5), m_all, &m_files, Qt::LeftButton, Qt::NoModifier);
    const std::optional<CFileDrop> replaced = OnFileDrop(plain);
    ASSERT_TRUE(replaced.has_value());
    EXPECT_FALSE(replaced->append);
    EXPECT_EQ(replaced->paths, m_expected);
    // The files stay where they are, so the source must not delete them.
    EXPECT_EQ(plain.dropAction(), Qt::CopyAction);

    QDropEvent moveOnly(QPointF(5, 5), Qt::MoveAction, &m_files, Qt::LeftButton, Qt::NoModifier);
    EXPECT_FALSE(OnFileDrop(moveOnly).has_value());
    EXPECT_FALSE(moveOnly.isAccepted());

    QDropEvent text(QPointF(5, 5), m_all, &m_text, Qt::LeftButton, Qt::NoModifier);
    text.accept();
    EXPECT_FALSE(OnFileDrop(text).has_value());
    EXPECT_FALSE(text.isAccepted());
}

} // namespace
