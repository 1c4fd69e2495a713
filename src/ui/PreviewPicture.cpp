#include "ui/PreviewPicture.h"

#include "formats/ArchiveInput.h"
#include "ui/Application.h"
#include "ui/LocalPath.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <cstring>

namespace texelary {

namespace {

QImage FromIndexed(const IndexedImage& image, const Palette& palette) {
    QImage picture(image.width, image.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (std::size_t i = 0; i < 256; ++i) {
        colours.append(qRgb(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]));
    }
    picture.setColorTable(colours);
    const auto width = static_cast<std::size_t>(image.width);
    for (std::int32_t y = 0; y < image.height; ++y) {
        std::memcpy(picture.scanLine(y), image.pixels.get() + static_cast<std::size_t>(y) * width,
                    width);
    }
    return picture;
}

QImage FromTrueColour(const RgbaImage& image) {
    return QImage(image.pixels.data(), image.width, image.height, 4 * image.width,
                  QImage::Format_RGBA8888)
        .copy();
}

// The picture of a file as the run's read step sees it; a null picture, with the reason in
// `reason` and in words in `why`, when the reader refuses the file.
QImage ReadAsTheRunDoes(const SourceFormatRow& format, const QString& path, ReadError& reason,
                        QString& why) {
    SourceRead read;
    ReadSourceFile(format, LocalPath(path), read);
    QImage picture;
    if (read.image && read.paletteRead && read.image->width > 0 && read.image->height > 0) {
        picture = FromIndexed(*read.image, read.palette);
    } else if (read.trueColour && read.trueColour->width > 0 && read.trueColour->height > 0) {
        picture = FromTrueColour(*read.trueColour);
    } else if (read.reason == ReadError::None) {
        read.reason = ReadError::NoPixels;
    }
    reason = read.reason;
    why = QString::fromLatin1(DescribeReadError(read.reason));
    return picture;
}

} // namespace

void ShowPreviewPicture(QLabel& preview, const QString& path, std::optional<SourceFormat> from) {
    const bool inArchive = SplitArchivePath(LocalPath(path)).has_value();
    if (!inArchive) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return;
        }
    }
    QString why;
    QImage picture;
    if (!inArchive && (!from || *from == SourceFormat::Bmp)) {
        QImageReader reader(path, "bmp");
        picture = reader.read();
        why = reader.errorString();
    } else {
        ReadError reason = ReadError::None;
        picture = ReadAsTheRunDoes(RowOf(from.value_or(SourceFormat::Bmp)), path, reason, why);
        if (reason == ReadError::NoSuchFile) {
            return;
        }
    }
    if (picture.isNull()) {
        ReportApplicationError(QStringLiteral("Cannot show \"%1\" in the preview.")
                                   .arg(QDir::toNativeSeparators(path)),
                               why);
        return;
    }
    // The label draws its picture stretched to its own 133 x 133, aspect ratio not kept.
    preview.setPixmap(QPixmap::fromImage(picture));
}

} // namespace texelary
