#include "ui/preview/PreviewPicture.h"

#include "archives/ArchiveInput.h"
#include "ui/app/Application.h"
#include "ui/app/LocalPath.h"
#include "ui/preview/TexturePicture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <cstring>

namespace texelary {

namespace {

// What the read step gives of a file: its picture, the levels after level 0 and the header fields.
struct ReadPicture {
    QImage picture; // null when the reader refuses the file
    QList<QImage> levels;
    std::optional<HeaderFields> fields;
};

// The picture of a file as the run's read step sees it; a null picture, with the reason in
// `reason` and in words in `why`, when the reader refuses the file.
ReadPicture ReadAsTheRunDoes(const SourceFormatRow& format, const QString& path, ReadError& reason,
                             QString& why) {
    SourceRead read = ReadTexture(format, path);
    ReadPicture shown;
    shown.picture = PictureOf(read);
    if (!shown.picture.isNull() && read.image) {
        for (const auto& level : read.levels) {
            shown.levels.append(PictureOf(*level, read.palette));
        }
        shown.fields = read.fields;
    } else if (shown.picture.isNull() && read.reason == ReadError::None) {
        read.reason = ReadError::NoPixels;
    }
    reason = read.reason;
    why = QString::fromLatin1(DescribeReadError(read.reason));
    return shown;
}

} // namespace

void PreviewLabel::ShowPicture(const QImage& picture, const QList<QImage>& levels) {
    m_levels = levels;
    setPixmap(QPixmap::fromImage(picture));
    update();
}

void PreviewLabel::ClearPicture() {
    m_levels.clear();
    clear();
}

QRect PreviewLabel::FittedRect(QSize picture, bool withLevels, const QRect& area) {
    QSize whole =
        withLevels ? QSize(picture.width() + picture.width() / 2, picture.height()) : picture;
    if (whole.isEmpty() || area.isEmpty()) {
        return {};
    }
    whole.scale(area.size(), Qt::KeepAspectRatio);
    QRect fitted(QPoint(0, 0), whole.expandedTo(QSize(1, 1)));
    fitted.moveCenter(area.center());
    return fitted;
}

void PreviewLabel::paintEvent(QPaintEvent* /*event*/) {
    const QPixmap shown = pixmap();
    if (shown.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect all = FittedRect(shown.size(), !m_levels.isEmpty(), contentsRect());
    const bool enlarged = all.height() >= shown.height();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !enlarged);
    const int fullWidth = m_levels.isEmpty() ? all.width() : all.width() * 2 / 3;
    painter.drawPixmap(QRect(all.topLeft(), QSize(fullWidth, all.height())), shown);
    // Each level half the size of the one before it, stacked from the top of the column.
    QRect level(all.left() + fullWidth, all.top(), fullWidth / 2, all.height() / 2);
    for (const QImage& picture : m_levels) {
        if (level.width() < 1 || level.height() < 1) {
            break;
        }
        painter.drawImage(level, picture);
        level.translate(0, level.height());
        level.setSize(level.size() / 2);
    }
}

QString PreviewFacts(SourceFormat kind, QSize picture, const QList<QImage>& levels,
                     const std::optional<HeaderFields>& fields) {
    QList<QSize> sizes{picture};
    for (const QImage& level : levels) {
        sizes.append(level.size());
    }
    QStringList ofPicture;
    QStringList ofHeader;
    for (const DescribedFact& fact : ShownFacts(kind, sizes, fields)) {
        if (fact.fact == TextureFact::Size || fact.fact == TextureFact::Levels) {
            // A picture without smaller levels has no need of its one level.
            if (fact.fact == TextureFact::Size || !levels.isEmpty()) {
                ofPicture.append(FactText(fact));
            }
        } else {
            ofHeader.append(FactText(fact));
        }
    }
    QString facts = ofPicture.join(QStringLiteral(", "));
    if (!ofHeader.isEmpty()) {
        facts += QStringLiteral(" | ") + ofHeader.join(QStringLiteral(", "));
    }
    return facts;
}

void SetElidedText(QLabel& label, const QString& text) {
    label.setToolTip(text);
    label.setText(label.fontMetrics().elidedText(text, Qt::ElideRight, label.width()));
}

void ClearPreviewPicture(PreviewLabel& preview, QLabel& info) {
    preview.ClearPicture();
    SetElidedText(info, QString());
}

void ShowPreviewPicture(PreviewLabel& preview, QLabel& info, const QString& path,
                        std::optional<SourceFormat> from) {
    const bool inArchive = SplitArchivePath(LocalPath(path)).has_value();
    if (!inArchive) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ClearPreviewPicture(preview, info);
            return;
        }
    }
    QString why;
    ReadPicture shown;
    if (!inArchive && (!from || *from == SourceFormat::Bmp)) {
        QImageReader reader(path, "bmp");
        shown.picture = reader.read();
        why = reader.errorString();
    } else {
        ReadError reason = ReadError::None;
        shown = ReadAsTheRunDoes(RowOf(from.value_or(SourceFormat::Bmp)), path, reason, why);
        if (reason == ReadError::NoSuchFile) {
            ClearPreviewPicture(preview, info);
            return;
        }
    }
    if (shown.picture.isNull()) {
        ClearPreviewPicture(preview, info);
        ReportApplicationError(QStringLiteral("Cannot show \"%1\" in the preview.")
                                   .arg(QDir::toNativeSeparators(path)),
                               why);
        return;
    }
    preview.ShowPicture(shown.picture, shown.levels);
    SetElidedText(info, PreviewFacts(from.value_or(SourceFormat::Bmp), shown.picture.size(),
                                     shown.levels, shown.fields));
}

} // namespace texelary
