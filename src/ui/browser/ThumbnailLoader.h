#pragma once

// Thumbnails of textures, made in the background and kept in a cache of bounded size. A window
// asks for the thumbnails it is about to draw; the loader reads them on its own threads with the
// run's read step (so what is shown is what will be converted), newest request first, and says
// when each is ready. Requests that have waited longest are dropped when many more come (the
// window has scrolled past them), and a thumbnail that has not been asked for in a while leaves
// the cache: memory does not grow with the number of textures. While a wad or pak is being edited,
// its entries are read as edited: from the bytes an edit made, or from where they lie on disk.

#include "archives/ArchiveListing.h"
#include "formats/Formats.h"

#include <QCache>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

struct Thumbnail {
    QPixmap picture;      // the texture shrunk to fit the square, or a placeholder
    QSize size;           // the texture's own width and height
    bool damaged = false; // the read step refused the file: `picture` is the placeholder
};

// Where the texture at a path is read from while its archive is edited, instead of the path.
struct EntrySource {
    // The bytes an edit made; null for an entry still where the archive as opened holds it.
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    std::string archive; // the archive file (local path) that holds `stored`
    std::optional<StoredEntry> stored;
};
using EntrySources = QHash<QString, EntrySource>;

class ThumbnailLoader final : public QObject {
    Q_OBJECT
public:
    // Thumbnails fit a square of `side` pixels; at most `cachedBytes` of them are kept.
    explicit ThumbnailLoader(int side, qsizetype cachedBytes = 24 * 1024 * 1024,
                             QObject* parent = nullptr);
    // Drops what is still asked for and waits for the reads under way.
    ~ThumbnailLoader() override;

    // Forgets every thumbnail and request: the textures of `format` are read from now on, those
    // at the paths of `sources` from there.
    void Reset(SourceFormat format, EntrySources sources = {});

    // The texture at `path` read whole, with its levels, as its thumbnail is: the run's read step,
    // through its source when it has one.
    SourceRead Read(const QString& path) const;

    // The thumbnail of the texture at `path` when it is in the cache; otherwise it is asked for
    // (Ready follows) and the answer is null.
    const Thumbnail* Find(const QString& path);

    // The texture's own size when it has been read since the last Reset (a thumbnail that left
    // the cache keeps its size here); an invalid size otherwise.
    QSize SizeOf(const QString& path) const { return m_sizes.value(path); }

    // Drawn while a thumbnail is being made.
    const QPixmap& Loading() const { return m_loading; }
    // Drawn for a file that cannot be read.
    const QPixmap& Damaged() const { return m_damaged; }

    int Side() const { return m_side; }

signals:
    void Ready(const QString& path);

private:
    struct Made {
        QString path;
        QImage picture; // null for a damaged file
        QSize size;
        unsigned generation = 0;
    };

    void Ask(const QString& path);
    void Work();
    Made Make(const QString& path, SourceFormat format, const EntrySource* source,
              unsigned generation) const;
    // Takes every thumbnail made since the last call, on the window's thread.
    Q_INVOKABLE void TakeMade();
    void Take(const Made& made);

    int m_side;
    QPixmap m_loading;
    QPixmap m_damaged;
    QCache<QString, Thumbnail> m_cache;
    QHash<QString, QSize> m_sizes;
    QThreadPool m_pool;

    // Shared with the threads, under the mutex. What the threads make goes to the window's
    // thread through `m_made`, and a call without arguments tells it to look: everything handed
    // over is under the mutex, where the thread sanitizer sees it as well.
    mutable std::mutex m_mutex;
    std::condition_variable m_idle; // the last thread has stopped working
    std::deque<QString> m_queue;    // newest first
    std::deque<Made> m_made;
    QSet<QString> m_asked; // queued or being read
    SourceFormat m_format = SourceFormat::Bmp;
    EntrySources m_sources;
    unsigned m_generation = 0; // counts the Resets: what was read before one is not taken
    int m_workers = 0;
};

} // namespace texelary
