#include "ui/browser/ThumbnailLoader.h"

#include "ui/app/LocalPath.h"
#include "ui/preview/TexturePicture.h"

#include <QPainter>
#include <QThread>
#include <algorithm>
#include <exception>

namespace texelary {

namespace {

// More requests than a window shows at once: those beyond it were scrolled past.
constexpr std::size_t kMaxQueued = 512;
// The squares a thumbnail's see-through pixels show over.
constexpr int kThumbnailChecker = 4;

QPixmap Placeholder(int side, bool crossed) {
    QPixmap picture(side, side);
    picture.fill(QColor(224, 224, 224));
    QPainter painter(&picture);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(0, 0, side - 1, side - 1);
    if (crossed) {
        painter.setPen(QPen(QColor(200, 0, 0), 3));
        painter.drawLine(side / 4, side / 4, side - 1 - side / 4, side - 1 - side / 4);
        painter.drawLine(side - 1 - side / 4, side / 4, side / 4, side - 1 - side / 4);
    }
    return picture;
}

// Reads the texture at `path` into `out`, from `source` when there is one.
void ReadFrom(const SourceFormatRow& format, const QString& path, const EntrySource* source,
              SourceRead& out) {
    if (source == nullptr) {
        ReadSourceFile(format, LocalPath(path), out);
    } else if (source->bytes) {
        ReadSourceBytes(format, *source->bytes, out);
    } else if (source->stored) {
        ReadError error = ReadError::None;
        const auto bytes = ArchiveAt(source->archive).Read(*source->stored, &error);
        if (bytes) {
            ReadSourceBytes(format, *bytes, out);
        } else {
            out.reason = error;
        }
    }
}

} // namespace

ThumbnailLoader::ThumbnailLoader(int side, qsizetype cachedBytes, QObject* parent)
    : QObject(parent)
    , m_side(side)
    , m_loading(Placeholder(side, false))
    , m_damaged(Placeholder(side, true))
    , m_cache(cachedBytes) {
    m_pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

ThumbnailLoader::~ThumbnailLoader() {
    {
        std::unique_lock lock(m_mutex);
        m_queue.clear();
        m_idle.wait(lock, [this] { return m_workers == 0; });
    }
    m_pool.waitForDone();
}

void ThumbnailLoader::Reset(SourceFormat format, EntrySources sources) {
    const std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_asked.clear();
    m_format = format;
    m_sources = std::move(sources);
    ++m_generation;
    m_cache.clear();
    m_sizes.clear();
}

const Thumbnail* ThumbnailLoader::Find(const QString& path) {
    if (const Thumbnail* cached = m_cache.object(path)) {
        return cached;
    }
    Ask(path);
    return nullptr;
}

void ThumbnailLoader::Ask(const QString& path) {
    const std::lock_guard lock(m_mutex);
    if (m_asked.contains(path)) {
        return;
    }
    m_queue.push_front(path);
    m_asked.insert(path);
    if (m_queue.size() > kMaxQueued) {
        m_asked.remove(m_queue.back());
        m_queue.pop_back();
    }
    if (m_workers < m_pool.maxThreadCount()) {
        ++m_workers;
        m_pool.start([this] { Work(); });
    }
}

// One of the pool's threads: reads what is asked for until nothing is.
void ThumbnailLoader::Work() {
    for (;;) {
        QString path;
        SourceFormat format = SourceFormat::Bmp;
        std::optional<EntrySource> source;
        unsigned generation = 0;
        {
            const std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                if (--m_workers == 0) {
                    m_idle.notify_all();
                }
                return;
            }
            path = m_queue.front();
            m_queue.pop_front();
            format = m_format;
            generation = m_generation;
            if (const auto found = m_sources.constFind(path); found != m_sources.constEnd()) {
                source = *found;
            }
        }
        Made made = Make(path, format, source ? &*source : nullptr, generation);
        bool first = false;
        {
            const std::lock_guard lock(m_mutex);
            first = m_made.empty();
            m_made.push_back(std::move(made));
        }
        if (first) {
            QMetaObject::invokeMethod(this, "TakeMade", Qt::QueuedConnection);
        }
    }
}

SourceRead ThumbnailLoader::Read(const QString& path) const {
    SourceRead read;
    read.wantLevels = true;
    std::optional<EntrySource> source;
    SourceFormat format = SourceFormat::Bmp;
    {
        const std::lock_guard lock(m_mutex);
        format = m_format;
        if (const auto found = m_sources.constFind(path); found != m_sources.constEnd()) {
            source = *found;
        }
    }
    ReadFrom(RowOf(format), path, source ? &*source : nullptr, read);
    return read;
}

ThumbnailLoader::Made ThumbnailLoader::Make(const QString& path, SourceFormat format,
                                            const EntrySource* source, unsigned generation) const {
    Made made;
    made.path = path;
    made.generation = generation;
    // Nothing a file holds may end this thread: a picture that cannot be made is a damaged one.
    try {
        SourceRead read;
        ReadFrom(RowOf(format), path, source, read);
        const QImage picture = PictureOf(read);
        if (!picture.isNull()) {
            made.size = picture.size();
            // Point sampled, as the mip levels are: every texel stays a sharp square.
            made.picture = OverCheckerboard(picture.scaled(m_side, m_side, Qt::KeepAspectRatio,
                                                           Qt::FastTransformation),
                                            kThumbnailChecker)
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    } catch (const std::exception&) {
        made.picture = QImage();
    }
    return made;
}

void ThumbnailLoader::TakeMade() {
    std::deque<Made> made;
    {
        const std::lock_guard lock(m_mutex);
        made.swap(m_made);
    }
    for (const Made& one : made) {
        Take(one);
    }
}

void ThumbnailLoader::Take(const Made& made) {
    {
        const std::lock_guard lock(m_mutex);
        if (made.generation != m_generation) {
            return;
        }
        m_asked.remove(made.path);
    }
    auto thumbnail = std::make_unique<Thumbnail>();
    thumbnail->damaged = made.picture.isNull();
    thumbnail->picture = thumbnail->damaged ? m_damaged : QPixmap::fromImage(made.picture);
    thumbnail->size = made.size;
    m_sizes.insert(made.path, made.size);
    const qsizetype cost =
        std::max<qsizetype>(1, static_cast<qsizetype>(made.picture.sizeInBytes()));
    m_cache.insert(made.path, thumbnail.release(), cost);
    emit Ready(made.path);
}

} // namespace texelary
