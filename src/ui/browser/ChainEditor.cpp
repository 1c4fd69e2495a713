#include "ui/browser/ChainEditor.h"

#include "formats/AnimationChains.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

namespace texelary {

namespace {

namespace ChainLayout {
constexpr std::size_t kMostFrames = 64; // as many as the browser plays
constexpr int kListHeight = 110;        // about five frames before the list scrolls
} // namespace ChainLayout

// A chain's frames from its least target round, the same for every rotation of one order.
std::vector<EditTarget> Round(std::vector<EditTarget> order) {
    const auto least =
        std::min_element(order.begin(), order.end(), [](const EditTarget& a, const EditTarget& b) {
            return std::pair(a.document, a.entry) < std::pair(b.document, b.entry);
        });
    std::rotate(order.begin(), least, order.end());
    return order;
}

} // namespace

ChainEditor::ChainEditor(QWidget* parent)
    : QWidget(parent)
    , m_list(new QTreeWidget(this))
    , m_upBtn(new QPushButton(QStringLiteral("&Move up"), this))
    , m_downBtn(new QPushButton(QStringLiteral("Move &down"), this)) {
    m_list->setObjectName(QStringLiteral("ChainList"));
    m_upBtn->setObjectName(QStringLiteral("MoveUpBtn"));
    m_downBtn->setObjectName(QStringLiteral("MoveDownBtn"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Frame"), QStringLiteral("Header name")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setMaximumHeight(ChainLayout::kListHeight);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_upBtn);
    buttons->addWidget(m_downBtn);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    connect(m_upBtn, &QPushButton::clicked, this, &ChainEditor::MoveUpBtnClick);
    connect(m_downBtn, &QPushButton::clicked, this, &ChainEditor::MoveDownBtnClick);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &ChainEditor::ChainListCurrentChange);
    hide();
}

void ChainEditor::SetSource(const EditSession& session, TargetFinder targetOf) {
    m_session = &session;
    m_targetOf = std::move(targetOf);
}

void ChainEditor::Clear() {
    hide();
    m_frames.clear();
    m_list->clear();
}

void ChainEditor::Show(SourceFormat format, const QStringList& names, const QString& name) {
    Clear();
    if (name != m_name) {
        m_moved.reset();
        m_name = name;
    }
    m_frames = Follow(format, names, name);
    const auto indexOf = [this](const std::optional<EditTarget>& target) {
        return std::find_if(m_frames.begin(), m_frames.end(),
                            [&](const Frame& frame) { return target && frame.target == *target; });
    };
    std::vector<EditTarget> order;
    for (const Frame& frame : m_frames) {
        order.push_back(frame.target);
    }
    if (!order.empty()) {
        std::rotate(m_frames.begin(), indexOf(StartOf(order)), m_frames.end());
    }
    int current = 0;
    for (const Frame& frame : m_frames) {
        auto* item = new QTreeWidgetItem(m_list, {frame.file, frame.headerName});
        if (frame.file == name) {
            current = m_list->indexOfTopLevelItem(item);
        }
    }
    if (const auto moved = indexOf(m_moved); moved != m_frames.end()) {
        current = static_cast<int>(moved - m_frames.begin());
    }
    m_list->setCurrentItem(m_list->topLevelItem(current));
    ChainListCurrentChange();
    setVisible(!m_frames.empty());
}

// The frames from the texture `name` through the next frames the headers name, as the session
// holds them; none unless they come back round to it.
std::vector<ChainEditor::Frame> ChainEditor::Follow(SourceFormat format, const QStringList& names,
                                                    const QString& name) const {
    std::vector<std::string> utf8Names; // as the animation chains compare them
    for (const QString& listed : names) {
        utf8Names.push_back(listed.toStdString());
    }
    const qsizetype start = names.indexOf(name);
    if (m_session == nullptr || start < 0 ||
        !NumberedFramesOf(name.toStdString(), utf8Names).empty()) {
        return {};
    }
    std::vector<Frame> frames;
    std::vector<std::size_t> visited;
    std::optional<std::size_t> at = static_cast<std::size_t>(start);
    while (at && std::find(visited.begin(), visited.end(), *at) == visited.end() &&
           frames.size() < ChainLayout::kMostFrames) {
        const QString& file = names[static_cast<qsizetype>(*at)];
        const auto target = m_targetOf(file);
        const auto fields = target ? FieldsOf(*target, format) : std::nullopt;
        if (!fields) {
            return {};
        }
        visited.push_back(*at);
        frames.push_back({*target, file, QString::fromStdString(fields->name)});
        at = fields->animationName.empty() ? std::nullopt
                                           : TextureNamed(fields->animationName, utf8Names);
    }
    if (!at || *at != static_cast<std::size_t>(start) || frames.size() < 2) {
        return {};
    }
    return frames;
}

std::optional<HeaderFields> ChainEditor::FieldsOf(const EditTarget& target,
                                                  SourceFormat format) const {
    std::string reason;
    const auto bytes = m_session->Bytes(target, reason);
    const auto info = bytes ? InspectTexture(*bytes, format) : std::nullopt;
    return info ? info->fields : std::nullopt;
}

// Where the list of the chain in `order` starts: where it started before in that order, else at
// the frame it started at in another order of the same chain, else at the texture shown.
EditTarget ChainEditor::StartOf(const std::vector<EditTarget>& order) {
    const std::vector<EditTarget> round = Round(order);
    const auto known = std::find_if(m_starts.rbegin(), m_starts.rend(),
                                    [&](const auto& start) { return start.first == round; });
    if (known != m_starts.rend()) {
        return known->second;
    }
    const bool sameChain = !m_starts.empty() && std::is_permutation(round.begin(), round.end(),
                                                                    m_starts.back().first.begin(),
                                                                    m_starts.back().first.end());
    if (!sameChain) {
        m_starts.clear();
    }
    const EditTarget start = sameChain ? m_starts.back().second : order.front();
    m_starts.emplace_back(round, start);
    return start;
}

void ChainEditor::MoveUpBtnClick() {
    Move(-1);
}

void ChainEditor::MoveDownBtnClick() {
    Move(1);
}

void ChainEditor::ChainListCurrentChange() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    m_upBtn->setEnabled(row > 0);
    m_downBtn->setEnabled(row >= 0 && row + 1 < m_list->topLevelItemCount());
}

// The chosen frame moved `by` places; the list starts where it did, or at the frame moved to
// its top.
void ChainEditor::Move(int by) {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    const int to = row + by;
    if (row < 0 || to < 0 || to >= static_cast<int>(m_frames.size())) {
        return;
    }
    std::vector<EditTarget> order;
    for (const Frame& frame : m_frames) {
        order.push_back(frame.target);
    }
    std::swap(order[static_cast<std::size_t>(row)], order[static_cast<std::size_t>(to)]);
    m_starts.emplace_back(Round(order), order.front());
    m_moved = order[static_cast<std::size_t>(to)];
    emit Ordered(order);
}

} // namespace texelary
