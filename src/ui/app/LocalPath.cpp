#include "ui/app/LocalPath.h"

#include <QByteArray>
#include <QStringDecoder>

namespace texelary {

// Not QFile::encodeName and decodeName: on Windows they give the ANSI code page, which cannot
// hold every name.
std::string LocalPath(const QString& path) {
    return path.toStdString();
}

QString FromLocalPath(const std::string& path) {
    const QByteArray bytes = QByteArray::fromStdString(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLocal8Bit(bytes) : text;
}

} // namespace texelary
