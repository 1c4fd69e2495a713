// A file manager's grid of textures: the thumbnailer, started as the .thumbnailer entry says,
// fills a freedesktop thumbnail cache (thumbnails/large/MD5(URI).png) for a folder of textures,
// and a Qt file dialog in icon view shows the folder with an icon provider that reads that cache,
// as a file manager does. The dialog is kept as a picture for the README (docs/thumbnails.png).

#include <QAbstractFileIconProvider>
#include <QCryptographicHash>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QMutex>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

namespace GridLayout {
constexpr int kThumbnailSide = 256; // the cache's "large" thumbnails
constexpr int kIconSide = 128;
constexpr int kCell = 168;
constexpr QSize kDialogSize(860, 560);
} // namespace GridLayout

// The samples under the names a modder's folder might give them.
struct Sample {
    const char* source;
    const char* name;
};
constexpr Sample kSamples[] = {
    {"tests/data/wal/hopper.wal", "hopper.wal"},
    {"tests/data/family/swl_water32.swl", "water.swl"},
    {"tests/data/family/swl_levels16.swl", "levels.swl"},
    {"tests/data/family/test.m32", "test.m32"},
    {"fuzz/seeds/m8/checker.m8", "checker.m8"},
    {"fuzz/seeds/m8/pal8w125.m8", "pal8w125.m8"},
    {"fuzz/seeds/wad/wad3.wad", "halflife.wad"},
    {"tests/data/family/dk_opaque.wal", "tiny.wal"},
};

QString CachedThumbnail(const QString& cache, const QString& path) {
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    const QByteArray md5 = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
    return cache + QStringLiteral("/thumbnails/large/") + QString::fromLatin1(md5) +
           QStringLiteral(".png");
}

// Icons from the thumbnail cache, for the files that have one; the file system model asks from
// a thread of its own, so what was served is kept under a lock.
class CacheIconProvider : public QAbstractFileIconProvider {
public:
    explicit CacheIconProvider(QString cache)
        : m_cache(std::move(cache)) {}

    QIcon icon(const QFileInfo& info) const override {
        const QString thumbnail = CachedThumbnail(m_cache, info.absoluteFilePath());
        if (!info.isFile() || !QFileInfo::exists(thumbnail)) {
            return QAbstractFileIconProvider::icon(info);
        }
        const QMutexLocker lock(&m_mutex);
        m_served.insert(info.fileName());
        return QIcon(thumbnail);
    }
    using QAbstractFileIconProvider::icon;

    QSet<QString> Served() const {
        const QMutexLocker lock(&m_mutex);
        return m_served;
    }

private:
    QString m_cache;
    mutable QMutex m_mutex;
    mutable QSet<QString> m_served;
};

} // namespace

class ThumbnailGridTest : public QObject {
    Q_OBJECT

private slots:
    void FileDialogShowsTheCachedThumbnails();
};

void ThumbnailGridTest::FileDialogShowsTheCachedThumbnails() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.filePath(QStringLiteral("Textures"));
    const QString cache = root.filePath(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(cache + QStringLiteral("/thumbnails/large")));
    QSet<QString> names;
    for (const Sample& sample : kSamples) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(sample.name);
        QVERIFY(QFile::copy(QStringLiteral(TEXELARY_SOURCE_DIR "/") + QLatin1String(sample.source),
                            path));
        QProcess thumbnailer;
        thumbnailer.start(QStringLiteral(TEXELARY_THUMBNAILER_EXE),
                          {QStringLiteral("-s"), QString::number(GridLayout::kThumbnailSide), path,
                           CachedThumbnail(cache, path)});
        QVERIFY(thumbnailer.waitForFinished());
        QCOMPARE(thumbnailer.exitCode(), 0);
        names.insert(QLatin1String(sample.name));
    }

    CacheIconProvider provider(cache);
    QFileDialog dialog(nullptr, QStringLiteral("Textures"), folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&provider);
    dialog.setViewMode(QFileDialog::List);
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(list);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(GridLayout::kIconSide, GridLayout::kIconSide));
    list->setGridSize(QSize(GridLayout::kCell, GridLayout::kCell));
    list->setResizeMode(QListView::Adjust);
    dialog.resize(GridLayout::kDialogSize);
    dialog.show();
    QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), static_cast<int>(names.size()));
    QTRY_COMPARE(provider.Served(), names);
    // The model sorts by name a moment after it has listed the folder.
    QTRY_COMPARE(list->rootIndex().model()->index(0, 0, list->rootIndex()).data().toString(),
                 QStringLiteral("checker.m8"));

    const QImage picture = dialog.grab().toImage();
    QVERIFY(QDir().mkpath(QStringLiteral(TEXELARY_SCREENSHOT_DIR)));
    QVERIFY(picture.save(QStringLiteral(TEXELARY_SCREENSHOT_DIR "/thumbnails.png")));
}

QTEST_MAIN(ThumbnailGridTest)
#include "ThumbnailGridTest.moc"
