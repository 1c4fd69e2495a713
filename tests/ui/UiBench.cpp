// Times the windowed program with a list of 10,000 names: "Add..." of 10,000 files and of
// 10,000 more onto them, the same by dropping the files onto the list, a run over them through
// "Create..." against the same run without windows, and how soon the progress window's Cancel
// stops a long run. Prints the figures; not part of the test suite (bench/run
// starts it).

#include "UiTestSupport.h"
#include "convert/ConversionRun.h"
#include "ui/Application.h"
#include "ui/TMain.h"
#include "ui/TProcessDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
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

} // namespace

class UiBench : public QObject {
    Q_OBJECT

private slots:
    void AddAndRunTenThousand();
    void AddTenThousandMoreAndDrop();
    void CancelStopsALongRunPromptly();
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
    VectorFileList list(std::move(names));
    RunSettings settings;
    settings.RunFiles = &list;
    settings.RunInputDir = session.Dir().toStdString();
    settings.RunOutputDir = session.PathOf(QStringLiteral("out")).toStdString();
    RunState state;
    Silent silent;
    PrepareProgress(state, list.Count());
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

} // namespace texelary::test

int main(int argc, char** argv) {
    texelary::Application application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    texelary::test::UiBench bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "UiBench.moc"
