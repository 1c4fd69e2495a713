#include "ui/app/RecentProjects.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace texelary {

namespace {

const QString kOwner = QStringLiteral("Texelary");
const QString kRecentKey = QStringLiteral("RecentProjects/Files");

void SaveRecentProjects(const QStringList& files) {
    QSettings(kOwner, kOwner).setValue(kRecentKey, files);
}

// The kept list as stored, missing files and all.
QStringList StoredProjects() {
    return QSettings(kOwner, kOwner).value(kRecentKey).toStringList();
}

} // namespace

QStringList RecentProjectFiles() {
    const QStringList stored = StoredProjects();
    QStringList present;
    for (const QString& file : stored) {
        if (QFileInfo(file).isFile()) {
            present.append(file);
        }
    }
    if (present != stored) {
        SaveRecentProjects(present);
    }
    return present;
}

void AddRecentProject(const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList files = StoredProjects();
    files.removeAll(file);
    files.prepend(file);
    SaveRecentProjects(files.mid(0, kRecentProjects));
}

void DropMissingProject(const QString& path) {
    if (QFileInfo(path).isFile()) {
        return;
    }
    QStringList files = StoredProjects();
    if (files.removeAll(QFileInfo(path).absoluteFilePath()) > 0) {
        SaveRecentProjects(files);
    }
}

RecentProjectItems::RecentProjectItems(QMenu& menu, std::function<void(const QString&)> open)
    : QObject(&menu)
    , m_menu(menu)
    , m_open(std::move(open)) {
    connect(&menu, &QMenu::aboutToShow, this, &RecentProjectItems::ShowItems);
    ShowItems();
}

void RecentProjectItems::ShowItems() {
    qDeleteAll(m_items);
    m_items.clear();
    const QStringList files = RecentProjectFiles();
    if (files.isEmpty()) {
        return;
    }
    QAction* separator = m_menu.addSeparator();
    separator->setObjectName(QStringLiteral("N2"));
    m_items.append(separator);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files.at(i);
        const QString number = QString::number(i + 1);
        // A "&" in the name is shown as itself, not taken for the item's letter.
        const QString name = QFileInfo(path).fileName().replace(QLatin1Char('&'), "&&");
        auto* item = new QAction(QLatin1Char('&') + number + QLatin1Char(' ') + name, this);
        item->setObjectName(QStringLiteral("Recent") + number);
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setStatusTip(item->toolTip());
        connect(item, &QAction::triggered, this, [this, path] { m_open(path); });
        m_menu.addAction(item);
        m_items.append(item);
    }
}

} // namespace texelary
