#pragma once

// The project files used last, most recent first, kept between runs of the program beside the
// program settings and listed at the end of the File menu, each an item that opens it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;

namespace texelary {

// How many project files the File menu lists.
constexpr int kRecentProjects = 8;

// The kept list, files no longer there left out.
QStringList RecentProjectFiles();
// Puts `path` at the head of the kept list, once, the oldest beyond kRecentProjects dropped.
void AddRecentProject(const QString& path);
// Drops `path` from the kept list when it is no longer there.
void DropMissingProject(const QString& path);

// The menu's items for the kept list: a separator (N2) and items Recent1 to Recent8, "&1 name.mm"
// with the whole path as their tips, made again each time the menu is about to show.
class RecentProjectItems final : public QObject {
public:
    // `open` is called with the path of the item chosen.
    RecentProjectItems(QMenu& menu, std::function<void(const QString&)> open);

    // Lists the kept files in the menu, dropping those no longer there.
    void ShowItems();

private:
    QMenu& m_menu;
    std::function<void(const QString&)> m_open;
    QList<QAction*> m_items; // owned by this object, shown in the menu
};

} // namespace texelary
