#pragma once

// The animation a texture's header links it into, to be put in another order: its frames as a
// list (file name and header name) from the next frame each header names round to the first, with
// Move up and Move down for the frame chosen. A move asks for the whole new order, which the
// browser gives EditSession::SetChain as one edit. Shown only for a chain that comes back round to
// the texture: numbered frames ("+0lava", "+1lava") play in the order of their names, and a chain
// that ends or runs off elsewhere has no order to keep. Frames are read as the session holds them,
// so the list follows every edit, undone and redone alike.

#include "edit/EditSession.h"
#include "formats/Formats.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace texelary {

class ChainEditor final : public QWidget {
    Q_OBJECT
public:
    // The texture the browser lists as `name` (its path from the folder listed), as the session
    // edits it; none for one that cannot be edited.
    using TargetFinder = std::function<std::optional<EditTarget>(const QString& name)>;

    explicit ChainEditor(QWidget* parent = nullptr);

    // Where the frames are read: `session` and `targetOf` outlive the editor.
    void SetSource(const EditSession& session, TargetFinder targetOf);
    // Shows the chain of the texture `name` among `names`, the textures of `format` listed; hides
    // itself when it has none to order.
    void Show(SourceFormat format, const QStringList& names, const QString& name);
    void Clear();

signals:
    // The frames in the order the user made, first to last.
    void Ordered(const std::vector<texelary::EditTarget>& chain);

private slots:
    void MoveUpBtnClick();
    void MoveDownBtnClick();
    void ChainListCurrentChange();

private:
    struct Frame {
        EditTarget target;
        QString file;
        QString headerName;
    };

    std::vector<Frame> Follow(SourceFormat format, const QStringList& names,
                              const QString& name) const;
    std::optional<HeaderFields> FieldsOf(const EditTarget& target, SourceFormat format) const;
    EditTarget StartOf(const std::vector<EditTarget>& order);
    void Move(int by);

    QTreeWidget* m_list = nullptr;
    QPushButton* m_upBtn = nullptr;
    QPushButton* m_downBtn = nullptr;
    const EditSession* m_session = nullptr;
    TargetFinder m_targetOf;
    std::vector<Frame> m_frames;
    QString m_name; // the texture whose chain is shown
    // Where the list starts for each order the chain shown has had (its frames from the least
    // target round), and the frame last moved. A chain goes round, so without them the list
    // would start afresh after every move, and an order undone would not look as it did.
    std::vector<std::pair<std::vector<EditTarget>, EditTarget>> m_starts;
    std::optional<EditTarget> m_moved;
};

} // namespace texelary
