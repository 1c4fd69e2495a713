#include "ui/app/ListKeys.h"

#include <QKeyEvent>

namespace texelary {

ListKeyAction ListKeys::Take(const QEvent& event) {
    switch (event.type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<const QKeyEvent&>(event).key();
        m_pressed.insert(key);
        return key == Qt::Key_Delete ? ListKeyAction::Delete : ListKeyAction::None;
    }
    case QEvent::KeyRelease:
        return m_pressed.remove(static_cast<const QKeyEvent&>(event).key()) ? ListKeyAction::KeyUp
                                                                            : ListKeyAction::None;
    case QEvent::FocusOut:
        m_pressed.clear();
        break;
    default:
        break;
    }
    return ListKeyAction::None;
}

} // namespace texelary
