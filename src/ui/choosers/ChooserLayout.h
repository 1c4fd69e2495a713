#pragma once

// What the two choosers share: a frame that can be resized and maximised, controls that follow
// the window's edges as it grows from its first size, and list lines as wide as the list whose
// long texts are shortened in the middle.

#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStyledItemDelegate>
#include <QWidget>

class QListWidget;

namespace texelary {

// An ordinary dialog's frame with the maximise box, which can be resized.
inline constexpr Qt::WindowFlags kChooserFrame =
    Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint;

// How one control follows the room a window gains over its first size: each of its left, top,
// width and height moves or grows by the gained width or height (1) or stays (0).
struct Follow {
    const char* name;
    int left;
    int top;
    int width;
    int height;
};

// Gives `window` its frame, font and the first size of its layout as its least size, and lets it
// grow; the controls named in `follows` then keep their distances to the edges they follow.
class GrowingLayout {
public:
    GrowingLayout(QWidget& window, const QList<Follow>& follows);
    // Places the controls for the window's present size; called from its resizeEvent.
    void Apply();

private:
    struct Placed {
        QPointer<QWidget> widget;
        QRect first;
        Follow follow;
    };
    QWidget& m_window;
    QSize m_firstSize;
    QList<Placed> m_placed;
};

// Lines of one height, as wide as the list: a text longer than the list is shortened in the
// middle, where the list shows it, and the whole text is the line's tooltip (SetLineTips).
class ElidedLines : public QStyledItemDelegate {
public:
    explicit ElidedLines(int height)
        : m_height(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_height;
};

// Makes `list` shorten its texts in the middle and each line's tooltip its whole text.
void ElideInTheMiddle(QListWidget& list);
void SetLineTips(QListWidget& list);

} // namespace texelary
