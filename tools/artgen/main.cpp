// Draws the skin bitmaps: <id>.png at their size and <id>@2x.png drawn at twice the size.
//   qor_artgen OUTPUT_FOLDER [--sheet SHEET.png]
// --sheet also writes a contact sheet for looking at them: every bitmap at 1x enlarged four
// times, and beside it the 2x image enlarged twice, pixels kept square, on a dark background.
//   qor_artgen --icons OUTPUT_FOLDER
// draws the program's icon instead, as qor-<n>.png in each size of the desktop's icon theme.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>

#include "AppIcon.h"
#include "SkinArt.h"

namespace {

constexpr int kSheetWidth = 1500;
constexpr int kSheetGap = 16;
constexpr int kSheetLabelHeight = 18;
constexpr int kSheetLabelWidth = 100;
const QColor kSheetBackground(20, 20, 24);

QImage Enlarged(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

bool WriteSheet(const QString& path) {
    struct Tile {
        QString label;
        QImage one;
        QImage two;
        QPoint at;
    };
    std::vector<Tile> tiles;
    QPoint cursor(kSheetGap, kSheetGap);
    int rowHeight = 0;
    for (const ArtBitmap& bitmap : SkinArt()) {
        Tile tile{QStringLiteral("%1  %2 x %3")
                      .arg(bitmap.id)
                      .arg(bitmap.size.width())
                      .arg(bitmap.size.height()),
                  Enlarged(RenderArt(bitmap, 1), 4),
                  Enlarged(RenderArt(bitmap, 2), 2),
                  {}};
        const QSize extent(std::max(tile.one.width(), kSheetLabelWidth),
                           kSheetLabelHeight + 2 * tile.one.height() + 4);
        if (cursor.x() + extent.width() > kSheetWidth && cursor.x() > kSheetGap) {
            cursor = QPoint(kSheetGap, cursor.y() + rowHeight + kSheetGap);
            rowHeight = 0;
        }
        tile.at = cursor;
        cursor.rx() += extent.width() + kSheetGap;
        rowHeight = std::max(rowHeight, extent.height());
        tiles.push_back(tile);
    }
    QImage sheet(kSheetWidth, cursor.y() + rowHeight + kSheetGap, QImage::Format_RGB32);
    sheet.fill(kSheetBackground);
    QPainter painter(&sheet);
    painter.setPen(Qt::white);
    for (const Tile& tile : tiles) {
        painter.drawText(tile.at + QPoint(0, kSheetLabelHeight - 5), tile.label);
        painter.drawImage(tile.at + QPoint(0, kSheetLabelHeight), tile.one);
        painter.drawImage(tile.at + QPoint(0, kSheetLabelHeight + tile.one.height() + 4), tile.two);
    }
    return sheet.save(path);
}

bool WriteIcons(const QDir& output) {
    for (const int size : kAppIconSizes) {
        const QString path = output.filePath(QStringLiteral("qor-%1.png").arg(size));
        if (!RenderAppIcon(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // no screen needed to draw into images
    }
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 3 && arguments[1] == "--icons") {
        const QDir output(arguments[2]);
        return output.mkpath(".") && WriteIcons(output) ? 0 : 1;
    }
    if (arguments.size() != 2 && !(arguments.size() == 4 && arguments[2] == "--sheet")) {
        std::fprintf(stderr, "usage: qor_artgen OUTPUT_FOLDER [--sheet SHEET.png]\n"
                             "       qor_artgen --icons OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(arguments[1]);
    if (!output.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(arguments[1]));
        return 1;
    }
    for (const ArtBitmap& bitmap : SkinArt()) {
        for (const int scale : {1, 2}) {
            const QString name = QStringLiteral("%1%2.png")
                                     .arg(bitmap.id)
                                     .arg(scale == 1 ? QString() : QStringLiteral("@2x"));
            if (!RenderArt(bitmap, scale).save(output.filePath(name))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(output.filePath(name)));
                return 1;
            }
        }
    }
    if (arguments.size() == 4 && !WriteSheet(arguments[3])) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments[3]));
        return 1;
    }
    return 0;
}
