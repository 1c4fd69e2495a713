// Times the windowed program with a list of 10,000 names: "Add..." of 10,000 files and of
// 10,000 more onto them, the same by dropping the files onto the list, a run over them through
// "Create..." against the same run without windows, and how soon the progress window's Cancel
// stops a long run; and the texture browser over 10,000 textures: how soon it answers, how soon
// its first screenful of thumbnails is drawn, and the memory it takes while every texture is
// scrolled past. Prints the figures; not part of the test suite (bench/run
// starts it).

#include "UiTestSupport.h"
#include "colour/WalPalette.h"
#include "convert/ConversionRun.h"
#include "formats/mips/WalFormat.h"
#include "ui/app/Application.h"
#include "ui/app/TMain.h"
#include "ui/browser/TextureBrowser.h"
#include "ui/browser/TextureModel.h"
#include "ui/run/TProcessDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMetaObject>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

namespace texelary::test {

namespace {

constexpr int kFiles = 10000;

// Answers nothing: a run without any window, the floor for "Create...".
class Silent final : public RunFeedback {
public:
    BoxAnswer ShowMessage(const std::string&, const std::string&, BoxButtons, BoxIcon,
                          const std::string&) override {
        return BoxAnswer::Ok;
    }
    void SetProgress(int) override {}
};

void WriteFiles(Session& session) {
    for (int i = 0; i < kFiles; ++i) {
        WriteBitmap(session.PathOf(QStringLiteral("t%1.bmp").arg(i, 5, 10, QLatin1Char('0'))), 64,
                    64);
    }
}

// 10,000 textures of 64 x 64 in .wal files.
void WriteTextures(Session& session) {
    IndexedImage picture;
    if (!AllocatePixels(picture, 64, 64)) {
        qFatal("no memory for a picture");
    }
    picture.width = 64;
    picture.height = 64;
    for (std::size_t i = 0; i < 64 * 64; ++i) {
        picture.pixels[i] = static_cast<std::uint8_t>(i * 7 % 256);
    }
    const auto bytes = WriteWal(picture, WalPalette);
    for (int i = 0; i < kFiles; ++i) {
        QFile file(session.PathOf(QStringLiteral("t%1.wal").arg(i, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(bytes->data()),
                       static_cast<qint64>(bytes->size())) != static_cast<qint64>(bytes->size())) {
            qFatal("cannot write the textures");
        }
    }
}

// The resident memory of this process and its peak so far, in MiB (Linux; 0 elsewhere).
std::pair<double, double> ResidentMiB() {
    double now = 0;
    double peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() >= 2 && words[0] == "VmRSS:") {
                now = words[1].toDouble() / 1024.0;
            } else if (words.size() >= 2 && words[0] == "VmHWM:") {
                peak = words[1].toDouble() / 1024.0;
            }
        }
    }
    return {now, peak};
}

// Whether every texture the grid shows has its thumbnail, and how many it shows.
bool ScreenfulReady(const QListView& grid, int& shown) {
    const QRect area = grid.viewport()->rect();
    const QAbstractItemModel& model = *grid.model();
    shown = 0;
    bool ready = true;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        if (grid.visualRect(index).intersects(area)) {
            ++shown;
            ready = ready && index.data(TextureModel::ThumbnailRole).toInt() ==
                                 static_cast<int>(TextureModel::ThumbnailState::Ready);
        }
    }
    return ready && shown > 0;
}

void WaitForScreenful(const QListView& grid, int& shown) {
    QElapsedTimer waited;
    waited.start();
    while (!ScreenfulReady(grid, shown)) {
        if (waited.elapsed() > 60000) {
            qFatal("the screenful of thumbnails never came");
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

} // namespace

class UiBench : public QObject {
    Q_OBJECT

private slots:
    void AddAndRunTenThousand();
    void AddTenThousandMoreAndDrop();
    void CancelStopsALongRunPromptly();
    void BrowserOverTenThousandTextures();
};

void UiBench::AddAndRunTenThousand() {
    Session session;
    WriteFiles(session);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));

    QElapsedTimer clock;
    clock.start();
    session.AddAll();
    const qint64 addMs = clock.elapsed();
    QCOMPARE(session.BmpList().count(), kFiles);
    session.OutputPath().setText(session.PathOf(QStringLiteral("out")));

    clock.restart();
    session.Click("CreateBtn");
    const qint64 windowedMs = clock.elapsed();
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});

    // The same conversion without windows, over the same names.
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back(session.BmpList().item(i)->text().toStdString());
    }
    RunSettings settings;
    settings.RunFiles = std::move(names);
    settings.RunInputDir = session.Dir().toStdString();
    settings.RunOutputDir = session.PathOf(QStringLiteral("out")).toStdString();
    RunState state;
    Silent silent;
    PrepareProgress(state, settings.RunFiles.size());
    clock.restart();
    RunConversion(settings, state, silent);
    const qint64 bareMs = clock.elapsed();
    QCOMPARE(state.Converted, kFiles);

    qInfo("Add... of %d files: %lld ms", kFiles, addMs);
    qInfo("Create... over %d files: %lld ms; the same run without windows: %lld ms (x%.2f)", kFiles,
          windowedMs, bareMs,
          static_cast<double>(windowedMs) / static_cast<double>(std::max<qint64>(bareMs, 1)));
}

// Adding grows with what is added, not with what the list holds already: the second 10,000 take
// as long as the first.
void UiBench::AddTenThousandMoreAndDrop() {
    Session session;
    WriteFiles(session);
    QElapsedTimer clock;
    clock.start();
    session.AddAll();
    const qint64 firstMs = clock.elapsed();
    clock.restart();
    session.AddAll();
    const qint64 moreMs = clock.elapsed();
    QCOMPARE(session.BmpList().count(), 2 * kFiles);

    session.Windows().Main->ClearBmpList();
    QMimeData dropped;
    QList<QUrl> urls;
    for (int i = 0; i < kFiles; ++i) {
        urls.append(QUrl::fromLocalFile(
            session.PathOf(QStringLiteral("t%1.bmp").arg(i, 5, 10, QLatin1Char('0')))));
    }
    dropped.setUrls(urls);
    clock.restart();
    session.Windows().Main->AddDroppedFiles(dropped);
    const qint64 dropMs = clock.elapsed();
    clock.restart();
    session.Windows().Main->AddDroppedFiles(dropped);
    const qint64 dropMoreMs = clock.elapsed();
    QCOMPARE(session.BmpList().count(), 2 * kFiles);
    QVERIFY(session.Boxes.Texts().isEmpty());

    qInfo("Add... of %d files: %lld ms; of %d more onto them: %lld ms", kFiles, firstMs, kFiles,
          moreMs);
    qInfo("Dropping %d files: %lld ms; %d more onto them: %lld ms", kFiles, dropMs, kFiles,
          dropMoreMs);
}

void UiBench::CancelStopsALongRunPromptly() {
    Session session;
    WriteFiles(session);
    session.AddAll();
    QPushButton& cancel =
        *session.Windows().ProcessDialog->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
    QElapsedTimer sinceClick;
    bool posted = false;
    connect(&session.Windows().ProcessDialog->Bar(), &QProgressBar::valueChanged, this,
            [&](int value) {
                if (value >= 10 && !posted) {
                    posted = true;
                    QMetaObject::invokeMethod(
                        &cancel,
                        [&] {
                            sinceClick.start();
                            QTest::mouseClick(&cancel, Qt::LeftButton);
                        },
                        Qt::QueuedConnection);
                }
            });
    session.Boxes.WhileOpen = [&](const ShownBox&) {
        qInfo("Cancel at 10%% of %d files: the run stopped %lld ms after the click", kFiles,
              sinceClick.elapsed());
    };
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"Process has been aborted"});
}

void UiBench::BrowserOverTenThousandTextures() {
    Session session;
    WriteTextures(session);
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wal));
    const auto before = ResidentMiB();

    QElapsedTimer clock;
    clock.start();
    session.Item("TexturesBtn").trigger();
    const qint64 answerMs = clock.elapsed();
    auto& grid =
        *session.Windows().TextureBrowser->findChild<QListView*>(QStringLiteral("Textures"));
    QCOMPARE(grid.model()->rowCount(), kFiles);
    int shown = 0;
    WaitForScreenful(grid, shown);
    const qint64 firstMs = clock.elapsed();
    const auto first = ResidentMiB();

    // Every texture scrolled past, a screenful at a time, each waited for.
    QScrollBar& bar = *grid.verticalScrollBar();
    int screens = 0;
    clock.restart();
    while (bar.value() < bar.maximum()) {
        bar.setValue(bar.value() + bar.pageStep());
        int onScreen = 0;
        WaitForScreenful(grid, onScreen);
        ++screens;
    }
    const qint64 scrollMs = clock.elapsed();
    const auto after = ResidentMiB();

    qInfo("Texture browser over %d textures of 64 x 64: it answers in %lld ms, its first screenful "
          "(%d thumbnails) is drawn in %lld ms",
          kFiles, answerMs, shown, firstMs);
    qInfo("Scrolled through all of them, %d screenfuls: %lld ms, %.1f ms a screenful", screens,
          scrollMs, static_cast<double>(scrollMs) / std::max(screens, 1));
    qInfo("Resident memory: %.1f MiB before, %.1f MiB at the first screenful, %.1f MiB after "
          "every texture was shown (peak %.1f MiB)",
          before.first, first.first, after.first, after.second);
}

} // namespace texelary::test

int main(int argc, char** argv) {
    texelary::Application application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    texelary::test::UiBench bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "UiBench.moc"
