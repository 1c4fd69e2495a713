#include "ui/AnimationFrames.h"

#include "cli/AnimationChains.h"

#include <algorithm>

namespace texelary {

namespace {

// A name without its folders and its extension, in lower case: what an animation calls it.
QString Stem(const QString& name) {
    QString stem = name.section(QLatin1Char('/'), -1);
    const qsizetype dot = stem.indexOf(QLatin1Char('.'));
    if (dot > 0) {
        stem.truncate(dot);
    }
    return stem.toLower();
}

bool IsDigitMark(QChar mark) {
    return mark >= QLatin1Char('0') && mark <= QLatin1Char('9');
}

} // namespace

QStringList NumberedFramesOf(const QString& name, const QStringList& names) {
    const QString stem = Stem(name);
    if (!IsNumberedFrame(stem.toStdString())) {
        return {};
    }
    const bool digits = IsDigitMark(stem[1]);
    QStringList frames;
    for (const QString& other : names) {
        const QString otherStem = Stem(other);
        if (IsNumberedFrame(otherStem.toStdString()) && IsDigitMark(otherStem[1]) == digits &&
            otherStem.mid(2) == stem.mid(2)) {
            frames.append(other);
        }
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const QString& a, const QString& b) { return Stem(a)[1] < Stem(b)[1]; });
    return frames;
}

std::optional<QString> TextureNamed(const std::string& next, const QStringList& names) {
    QString whole = QString::fromStdString(next).replace(QLatin1Char('\\'), QLatin1Char('/'));
    whole = whole.toLower();
    if (whole.isEmpty()) {
        return std::nullopt;
    }
    const QString last = whole.section(QLatin1Char('/'), -1);
    for (const QString& name : names) {
        QString withoutExtension = name.toLower();
        const qsizetype slash = withoutExtension.lastIndexOf(QLatin1Char('/'));
        const qsizetype dot = withoutExtension.indexOf(QLatin1Char('.'), slash + 1);
        if (dot > 0) {
            withoutExtension.truncate(dot);
        }
        if (withoutExtension == whole || Stem(name) == last) {
            return name;
        }
    }
    return std::nullopt;
}

} // namespace texelary
