#include "ui/choosers/ChooserLayout.h"

#include "ui/app/AppWindows.h"

#include <QListWidget>

namespace texelary {

GrowingLayout::GrowingLayout(QWidget& window, const QList<Follow>& follows)
    : m_window(window) {
    FixWindow(window, kChooserFrame);
    m_firstSize = window.size();
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (const Follow& follow : follows) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(follow.name));
        if (widget != nullptr) {
            m_placed.append({widget, widget->geometry(), follow});
        }
    }
}

void GrowingLayout::Apply() {
    const QSize gained = m_window.size() - m_firstSize;
    for (const Placed& placed : m_placed) {
        if (placed.widget == nullptr) {
            continue;
        }
        const Follow& f = placed.follow;
        const QRect& first = placed.first;
        placed.widget->setGeometry(
            first.left() + f.left * gained.width(), first.top() + f.top * gained.height(),
            first.width() + f.width * gained.width(), first.height() + f.height * gained.height());
    }
}

// A width of nothing lets the list give every line its own width, so no line is wider than it.
QSize ElidedLines::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {1, m_height};
}

void ElideInTheMiddle(QListWidget& list) {
    list.setTextElideMode(Qt::ElideMiddle);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void SetLineTips(QListWidget& list) {
    for (int row = 0; row < list.count(); ++row) {
        QListWidgetItem& item = *list.item(row);
        item.setToolTip(item.text());
    }
}

} // namespace texelary
