#include "ui/project/ProgramSettings.h"

#include "ui/app/LocalPath.h"

#include <QDir>
#include <QFileInfo>

namespace texelary {

namespace {

// The palette in the form the file dialogs give it, '/' between names on every system.
ProgramSettings FromProject(const ProjectSettings& kept) {
    return {kept.keepHeader, kept.mips,
            kept.dither,     kept.transparentIndex,
            kept.fullbright, QDir::fromNativeSeparators(FromLocalPath(kept.paletteFile))};
}

ProjectSettings ToProject(const ProgramSettings& settings) {
    return {settings.keepHeader,       settings.mips,       settings.dither,
            settings.transparentIndex, settings.fullbright, LocalPath(settings.paletteFile)};
}

// The palette a target takes when the project names none.
QString BuiltInPalette(TargetFormat target) {
    switch (target) {
    case TargetFormat::Wal:
        return QStringLiteral("Quake II");
    case TargetFormat::Wad2:
        return QStringLiteral("Quake");
    case TargetFormat::M32:
        return QStringLiteral("none, true colour");
    default:
        return QStringLiteral("each texture's own");
    }
}

} // namespace

ProgramSettings LoadSettingsBeside(const QString& projectPath) {
    return FromProject(LoadProjectSettings(LocalPath(projectPath)));
}

bool SaveSettingsBeside(const ProgramSettings& settings, const QString& projectPath) {
    return SaveProjectSettings(ToProject(settings), LocalPath(projectPath));
}

QString PaletteInUse(const ProgramSettings& settings, TargetFormat target) {
    const QString name = settings.paletteFile.isEmpty()
                             ? BuiltInPalette(target)
                             : QFileInfo(settings.paletteFile).fileName();
    return QStringLiteral("Palette: ") + name;
}

} // namespace texelary
