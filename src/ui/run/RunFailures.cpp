#include "ui/run/RunFailures.h"

#include "archives/ArchiveOutput.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace texelary {

const char* const kFailedListName = "failed.txt";

void RunFailures::Clear() {
    m_entries.clear();
    m_reached.clear();
    m_inEntry = false;
}

void RunFailures::EntryStarting(std::size_t index, const std::string& name) {
    if (m_reached.size() <= index) {
        m_reached.resize(index + 1);
    }
    m_reached[index] = name;
    m_inEntry = true;
}

void RunFailures::Failed(const std::string& text, const std::string& detail) {
    const std::string reason = detail.empty() ? text : text + " (" + detail + ")";
    if (m_inEntry) {
        const std::size_t index = m_reached.size() - 1;
        if (m_entries.empty() || m_entries.back().row != index) {
            m_entries.push_back({index, m_reached[index], reason});
        }
        return;
    }
    if (m_reached.empty()) {
        m_entries.push_back({std::nullopt, {}, reason});
        return;
    }
    // The entries that failed on their own keep their own reason; the rest go with the archive.
    std::vector<FailedEntry> all;
    all.reserve(m_reached.size());
    auto own = m_entries.begin();
    for (std::size_t i = 0; i < m_reached.size(); ++i) {
        if (own != m_entries.end() && own->row == i) {
            all.push_back(std::move(*own++));
        } else {
            all.push_back({i, m_reached[i], reason});
        }
    }
    m_entries = std::move(all);
}

std::string RunFailures::ListText() const {
    std::string text;
    for (const FailedEntry& entry : m_entries) {
        text += entry.row ? entry.name + ": " + entry.reason : entry.reason;
        text += '\n';
    }
    return text;
}

void SaveFailedList(const RunFailures& failures, const std::string& outputDir, TargetFormat target,
                    MessageBoxes& boxes) {
    QString folder = FromLocalPath(outputDir);
    if (const auto archive = ArchiveTargetOf(outputDir, target)) {
        folder = QFileInfo(FromLocalPath(archive->path)).path();
    }
    const QString path =
        QDir::toNativeSeparators(QDir(folder).filePath(QString::fromLatin1(kFailedListName)));
    // The list is written whole or not at all, as every file the program writes.
    QSaveFile file(path);
    const std::string text = failures.ListText();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.commit();
    if (written) {
        ShowBox(boxes, "The list of failed files was written to \"" + LocalPath(path) + "\"",
                BoxIcon::Information);
        return;
    }
    ShowBox(boxes, "Cannot write the list of failed files to \"" + LocalPath(path) + "\"",
            BoxIcon::Stop, WindowButtons::Ok, LocalPath(file.errorString()));
}

} // namespace texelary
