#include "ui/DroppedFiles.h"

#include "formats/Formats.h"
#include "ui/TProjectSetup.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace texelary {

namespace {

// What a dropped file must be to be added. The mask and each folder's canonical path are worked
// out once per drop, not once per file: a drop of 10,000 files from one folder resolves it once.
class DropRules {
public:
    explicit DropRules(const TProjectSetup& setup)
        : m_setup(setup)
        , m_from(SourceFormatAt(setup.ConvFrom().currentIndex()))
        , m_inputDir(QDir(setup.InputPath().text()).canonicalPath()) {
        if (m_from) {
            m_mask.setPattern(QRegularExpression::wildcardToRegularExpression(
                QString::fromLatin1(RowOf(*m_from).mask)));
            m_mask.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
        }
    }

    // Why the dropped `url` may not be added to the project; empty when it may.
    QString WhyNotAdded(const QUrl& url) {
        const QFileInfo file(url.toLocalFile());
        if (!url.isLocalFile()) {
            return QStringLiteral("not a file on this computer");
        }
        if (!file.isFile()) {
            return QStringLiteral("not a file");
        }
        // A wad's textures are lumps inside it, which no file dropped can be.
        if (!m_from || !m_mask.match(file.fileName()).hasMatch() || RowOf(*m_from).wad) {
            return QStringLiteral("the project converts from ") + m_setup.ConvFrom().currentText();
        }
        if (m_inputDir.isEmpty() || CanonicalFolder(file.absolutePath()) != m_inputDir) {
            return QStringLiteral("not in the input directory ") +
                   QDir::toNativeSeparators(m_setup.InputPath().text());
        }
        return {};
    }

private:
    const QString& CanonicalFolder(const QString& folder) {
        auto known = m_canonical.constFind(folder);
        if (known == m_canonical.constEnd()) {
            known = m_canonical.insert(folder, QDir(folder).canonicalPath());
        }
        return *known;
    }

    const TProjectSetup& m_setup;
    std::optional<SourceFormat> m_from;
    QString m_inputDir;
    QRegularExpression m_mask;
    QHash<QString, QString> m_canonical;
};

} // namespace

DroppedFiles ListDroppedFiles(const QMimeData& dropped, const TProjectSetup& setup) {
    DropRules rules(setup);
    DroppedFiles outcome;
    const QList<QUrl> urls = dropped.urls();
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        const QString why = rules.WhyNotAdded(url);
        if (why.isEmpty()) {
            outcome.added.append(file.fileName());
        } else {
            const QString name = url.isLocalFile() ? file.fileName() : url.toDisplayString();
            outcome.refused.append(name + QStringLiteral(": ") + why);
        }
    }
    return outcome;
}

void AcceptFileDrag(QDropEvent& drag) {
    if (drag.mimeData()->hasUrls()) {
        drag.acceptProposedAction();
    }
}

} // namespace texelary
