#pragma once

// The keys of the main window's image list, which has no signal for a key's release.

#include <QSet>
#include <cstdint>

class QEvent;

namespace texelary {

// What a key event of the image list asks of the window.
enum class ListKeyAction : std::uint8_t { None, Delete, KeyUp };

// Follows the keys pressed while the image list has the focus. A key whose press went to another
// window, such as the Enter that closed a box, is not the list's to act on: acting on its release
// would open the same box again.
class ListKeys {
public:
    // Delete for the Delete key's press, KeyUp for the release of a key pressed in the list.
    ListKeyAction Take(const QEvent& event);

private:
    QSet<int> m_pressed; // pressed in the list and not yet released
};

} // namespace texelary
