// The project model: one signal per field that changes, format indices checked, and the setup
// dialog writing to it and showing it.

#include "WindowsTest.h"

namespace texelary::test {

using Field = ProjectModel::Field;

void WindowsTest::ProjectModelSignalsEachChange() {
    ProjectModel model;
    ProgramSettings dithered = model.Settings();
    dithered.dither = !dithered.dither;
    const struct {
        Field field;
        std::function<void()> change;
    } rows[] = {
        {Field::InputDir, [&] { model.SetInputPath(QStringLiteral("art")); }},
        {Field::OutputDir, [&] { model.SetOutputPath(QStringLiteral("out")); }},
        {Field::ConvFrom, [&] { model.SetConvFrom(SourceFormat::Wal); }},
        {Field::ConvTo, [&] { model.SetConvToAt(IndexOf(TargetFormat::Png)); }},
        {Field::Settings, [&] { model.SetSettings(dithered); }},
    };
    QSignalSpy changes(&model, &ProjectModel::changed);
    for (const auto& row : rows) {
        changes.clear();
        row.change();
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.front().front().value<Field>(), row.field);
        row.change(); // the same value again is no change
        QCOMPARE(changes.size(), 1);
    }
    QCOMPARE(model.Current().inputDir, std::string("art"));
    QCOMPARE(model.ConvTo(), TargetFormat::Png);
    // Settings are the project's: a model made after this one starts with the defaults.
    QVERIFY(ProjectModel().Settings() == ProgramSettings{});
}

void WindowsTest::ProjectModelRefusesUnknownFormats() {
    ProjectModel model;
    model.SetConvFrom(SourceFormat::Pcx);
    model.SetConvTo(TargetFormat::Wad2);
    QSignalSpy changes(&model, &ProjectModel::changed);
    for (const int index : {-1, kSourceFormatCount, kSourceFormatCount + 100}) {
        QVERIFY(!model.SetConvFromAt(index));
    }
    for (const int index : {-1, kTargetFormatCount}) {
        QVERIFY(!model.SetConvToAt(index));
    }
    QCOMPARE(changes.size(), 0);
    QCOMPARE(model.ConvFrom(), SourceFormat::Pcx);
    QCOMPARE(model.ConvTo(), TargetFormat::Wad2);
    QVERIFY(model.SetConvFromAt(kSourceFormatCount - 1));
    QCOMPARE(model.ConvFrom(), SourceFormat::Swl);
}

// Typing in the dialog changes the model at once; a change another window makes to the model
// shows in the dialog.
void WindowsTest::SetupDialogAndModelFollowEachOther() {
    Session session;
    ProjectModel& model = *session.Windows().Project;
    session.InputPath().setText(QStringLiteral("typed"));
    QCOMPARE(model.InputPath(), QStringLiteral("typed"));
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wad3));
    QCOMPARE(model.ConvTo(), TargetFormat::Wad3);
    model.SetOutputPath(QStringLiteral("elsewhere"));
    model.SetConvFrom(SourceFormat::Tga);
    QCOMPARE(session.OutputPath().text(), QStringLiteral("elsewhere"));
    QCOMPARE(session.ConvFrom().currentIndex(), IndexOf(SourceFormat::Tga));
}

} // namespace texelary::test
