#include "ui/preview/TexturePicture.h"

#include "ui/app/LocalPath.h"

#include <QPainter>
#include <cstring>

namespace texelary {

namespace {

QRgb ColourAt(const Palette& palette, std::size_t index) {
    return qRgb(palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]);
}

} // namespace

QImage PictureOf(const IndexedImage& image, const Palette& palette) {
    if (image.width <= 0 || image.height <= 0 || !image.pixels) {
        return {};
    }
    QImage picture(image.width, image.height, QImage::Format_Indexed8);
    if (picture.isNull()) {
        return {}; // no memory for it
    }
    QList<QRgb> colours;
    for (std::size_t i = 0; i < 256; ++i) {
        colours.append(ColourAt(palette, i));
    }
    picture.setColorTable(colours);
    const auto width = static_cast<std::size_t>(image.width);
    for (std::int32_t y = 0; y < image.height; ++y) {
        std::memcpy(picture.scanLine(y), image.pixels.get() + static_cast<std::size_t>(y) * width,
                    width);
    }
    return picture;
}

QImage PictureOf(const SourceRead& read) {
    if (read.image && read.paletteRead) {
        return PictureOf(*read.image, read.palette);
    }
    return read.trueColour ? PictureOf(*read.trueColour) : QImage();
}

QImage PictureOf(const RgbaImage& image) {
    if (image.width <= 0 || image.height <= 0 || image.pixels.empty()) {
        return {};
    }
    return QImage(image.pixels.data(), image.width, image.height, 4 * image.width,
                  QImage::Format_RGBA8888)
        .copy();
}

QImage OverCheckerboard(const QImage& picture, int square) {
    if (picture.isNull() || !picture.hasAlphaChannel()) {
        return picture;
    }
    QImage board(picture.size(), QImage::Format_RGB32);
    if (board.isNull()) {
        return picture; // no memory for it
    }
    board.fill(QColor(0xCC, 0xCC, 0xCC));
    QPainter painter(&board);
    for (int y = 0; y < board.height(); y += square) {
        for (int x = (y / square) % 2 == 0 ? square : 0; x < board.width(); x += 2 * square) {
            painter.fillRect(x, y, square, square, QColor(0x99, 0x99, 0x99));
        }
    }
    painter.drawImage(0, 0, picture);
    return board;
}

QImage PaletteGrid(const Palette& palette, int cell) {
    const int side = 16 * cell + 1;
    QImage grid(side, side, QImage::Format_RGB32);
    grid.fill(Qt::black);
    QPainter painter(&grid);
    for (int i = 0; i < 256; ++i) {
        const QRect square(1 + (i % 16) * cell, 1 + (i / 16) * cell, cell - 1, cell - 1);
        painter.fillRect(square, QColor(ColourAt(palette, static_cast<std::size_t>(i))));
    }
    return grid;
}

SourceRead ReadTexture(const SourceFormatRow& format, const QString& path) {
    SourceRead read;
    read.wantLevels = true;
    ReadSourceFile(format, LocalPath(path), read);
    return read;
}

std::vector<DescribedFact> ShownFacts(SourceFormat kind, const QList<QSize>& levels,
                                      const std::optional<HeaderFields>& fields) {
    TextureInfo info;
    info.width = levels.front().width();
    info.height = levels.front().height();
    for (const QSize& level : levels) {
        info.levels.push_back({level.width(), level.height(), 0});
    }
    info.fields = fields;
    std::vector<DescribedFact> facts = DescribeTexture(kind, info);
    // The windows read the picture, not the file's layout: no count of indices, no rules.
    std::erase_if(facts, [](const DescribedFact& fact) {
        return fact.fact == TextureFact::Kind || fact.fact == TextureFact::DistinctIndices ||
               fact.fact == TextureFact::Rules;
    });
    return facts;
}

QString FactText(const DescribedFact& fact) {
    return QString::fromUtf8(fact.label.data(), static_cast<qsizetype>(fact.label.size())) +
           QStringLiteral(": ") + QString::fromStdString(fact.value);
}

} // namespace texelary
