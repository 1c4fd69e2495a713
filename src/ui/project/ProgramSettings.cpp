#include "ui/project/ProgramSettings.h"

#include <QSettings>

namespace texelary {

namespace {

// The settings live under the program's name, for organisation and application alike.
const QString kOwner = QStringLiteral("Texelary");
const QString kKeepHeader = QStringLiteral("Conversion/KeepHeader");
const QString kMipLevels = QStringLiteral("Conversion/MipLevels");
const QString kDitherKey = QStringLiteral("Conversion/Dither");
const QString kTransparentIndexKey = QStringLiteral("Conversion/TransparentIndex");
const QString kFullbrightKey = QStringLiteral("Conversion/Fullbright");
const QString kPaletteFileKey = QStringLiteral("Conversion/PaletteFile");

} // namespace

ProgramSettings LoadProgramSettings() {
    const QSettings store(kOwner, kOwner);
    ProgramSettings settings;
    settings.keepHeader = store.value(kKeepHeader, false).toBool();
    settings.dither = store.value(kDitherKey, false).toBool();
    settings.transparentIndex = store.value(kTransparentIndexKey, false).toBool();
    settings.fullbright = store.value(kFullbrightKey, false).toBool();
    settings.paletteFile = store.value(kPaletteFileKey).toString();
    const int mips = store.value(kMipLevels, static_cast<int>(MipFilter::Point)).toInt();
    if (mips == static_cast<int>(MipFilter::Box)) {
        settings.mips = MipFilter::Box;
    }
    return settings;
}

void SaveProgramSettings(const ProgramSettings& settings) {
    QSettings store(kOwner, kOwner);
    store.setValue(kKeepHeader, settings.keepHeader);
    store.setValue(kMipLevels, static_cast<int>(settings.mips));
    store.setValue(kDitherKey, settings.dither);
    store.setValue(kTransparentIndexKey, settings.transparentIndex);
    store.setValue(kFullbrightKey, settings.fullbright);
    store.setValue(kPaletteFileKey, settings.paletteFile);
}

} // namespace texelary
