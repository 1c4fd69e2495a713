#include "ui/TextureBrowser.h"

#include "formats/AnimationChains.h"
#include "ui/AppWindows.h"
#include "ui/ProjectModel.h"
#include "ui/TMain.h"
#include "ui/TextureModel.h"
#include "ui/TextureNames.h"
#include "ui/TexturePicture.h"
#include "ui/ThumbnailLoader.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace texelary {

namespace {

namespace BrowserLayout {
constexpr int kThumbnail = 64;          // the square a thumbnail fits
constexpr QSize kCell{104, 100};        // a thumbnail with two lines of text below
constexpr QSize kFirstSize{960, 640};   // the window at its first showing
constexpr int kPaletteCell = 9;         // a palette grid of 16 x 9 + 1 pixels
constexpr int kLevelGap = 4;            // between the mip levels shown side by side
constexpr int kFrameMs = 200;           // the engines' animations: five frames a second
constexpr std::size_t kMostFrames = 64; // an animation's frames followed at most
} // namespace BrowserLayout

// The header fields and levels of one texture of format `kind`, as --info words them, each
// label with a capital letter.
QString Describe(const QString& name, SourceFormat kind, const std::vector<QImage>& levels,
                 const std::optional<HeaderFields>& fields) {
    QList<QSize> sizes;
    for (const QImage& level : levels) {
        sizes.append(level.size());
    }
    QStringList lines{name};
    for (const DescribedFact& fact : ShownFacts(kind, sizes, fields)) {
        QString line = FactText(fact);
        line[0] = line[0].toUpper();
        lines.append(line);
    }
    if (!fields) {
        lines.append(QStringLiteral("No header fields"));
    }
    return lines.join(QLatin1Char('\n'));
}

// The levels side by side, top aligned, each `zoom` times its size.
QImage SideBySide(const std::vector<QImage>& levels, int zoom) {
    int width = 0;
    int height = 0;
    for (const QImage& level : levels) {
        width += level.width() * zoom + BrowserLayout::kLevelGap;
        height = std::max(height, level.height() * zoom);
    }
    QImage strip(std::max(width - BrowserLayout::kLevelGap, 1), std::max(height, 1),
                 QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    int x = 0;
    for (const QImage& level : levels) {
        painter.drawImage(QRect(x, 0, level.width() * zoom, level.height() * zoom), level);
        x += level.width() * zoom + BrowserLayout::kLevelGap;
    }
    return strip;
}

QImage Zoomed(const QImage& picture, int zoom) {
    return picture.scaled(picture.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A picture that scrolls with the mouse; the keyboard goes from control to control past it.
QScrollArea* Scrolled(QWidget* inside, const char* name) {
    auto* area = new QScrollArea;
    area->setObjectName(QString::fromLatin1(name));
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidget(inside);
    area->setWidgetResizable(true);
    area->setAlignment(Qt::AlignCenter);
    return area;
}

} // namespace

TTextureBrowser::TTextureBrowser(AppWindows& windows)
    : m_windows(windows)
    , m_loader(std::make_unique<ThumbnailLoader>(BrowserLayout::kThumbnail))
    , m_model(std::make_unique<TextureModel>(*m_loader)) {
    setObjectName(QStringLiteral("TTextureBrowser"));
    setWindowTitle(QStringLiteral("Textures - Texelary"));
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(WindowFont());
    BuildWindow();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("FrameTimer"));
    m_timer->setInterval(BrowserLayout::kFrameMs);

    connect(m_filter, &QLineEdit::textChanged, this, &TTextureBrowser::FilterChange);
    connect(m_textures->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TTextureBrowser::TexturesCurrentChange);
    connect(m_textures->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TTextureBrowser::TexturesSelectionChange);
    connect(m_zoom, &QSpinBox::valueChanged, this, &TTextureBrowser::ZoomChange);
    connect(m_play, &QPushButton::clicked, this, &TTextureBrowser::PlayBtnClick);
    connect(m_add, &QPushButton::clicked, this, &TTextureBrowser::AddBtnClick);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_timer, &QTimer::timeout, this, &TTextureBrowser::FrameTimerTimer);
    // The project's input folder and source format may change while the window is open.
    connect(m_windows.Project, &ProjectModel::changed, this, &TTextureBrowser::ProjectChange);
    ShowNothing();
}

TTextureBrowser::~TTextureBrowser() {
    // The view lets go of its model before the model goes.
    m_textures->setModel(nullptr);
}

void TTextureBrowser::BuildWindow() {
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("Filter"));
    m_filter->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"));
    filterLabel->setBuddy(m_filter);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("Count"));
    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(m_filter, 1);
    top->addWidget(m_count, 1);

    m_textures = new QListView;
    m_textures->setObjectName(QStringLiteral("Textures"));
    m_textures->setModel(m_model.get());
    m_textures->setViewMode(QListView::IconMode);
    m_textures->setMovement(QListView::Static);
    m_textures->setResizeMode(QListView::Adjust);
    m_textures->setUniformItemSizes(true);
    m_textures->setIconSize(QSize(BrowserLayout::kThumbnail, BrowserLayout::kThumbnail));
    m_textures->setGridSize(BrowserLayout::kCell);
    m_textures->setTextElideMode(Qt::ElideMiddle);
    m_textures->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_textures->setDragEnabled(true);
    m_textures->setDragDropMode(QAbstractItemView::DragOnly);
    m_textures->setDefaultDropAction(Qt::CopyAction);

    QWidget* details = BuildDetails();

    auto* split = new QSplitter;
    split->addWidget(m_textures);
    split->addWidget(details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);

    m_add = new QPushButton(QStringLiteral("&Add to list"));
    m_add->setObjectName(QStringLiteral("AddBtn"));
    m_close = new QPushButton(QStringLiteral("&Close"));
    m_close->setObjectName(QStringLiteral("CloseBtn"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_add);
    bottom->addStretch(1);
    bottom->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    // Reading order: the filter, the grid, the picture's controls, then the buttons below.
    setTabOrder(m_filter, m_textures);
    setTabOrder(m_textures, m_zoom);
    setTabOrder(m_zoom, m_play);
    setTabOrder(m_play, m_add);
    setTabOrder(m_add, m_close);
}

// The selected texture's side: the picture and its controls, its levels, its palette and its
// header fields.
QWidget* TTextureBrowser::BuildDetails() {
    m_picture = new QLabel;
    m_picture->setObjectName(QStringLiteral("Picture"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_zoom = new QSpinBox;
    m_zoom->setObjectName(QStringLiteral("Zoom"));
    m_zoom->setRange(1, 8);
    m_zoom->setValue(2);
    m_zoom->setSuffix(QStringLiteral("x"));
    auto* zoomLabel = new QLabel(QStringLiteral("&Zoom:"));
    zoomLabel->setBuddy(m_zoom);
    m_play = new QPushButton(QStringLiteral("&Play"));
    m_play->setObjectName(QStringLiteral("PlayBtn"));
    m_frame = new QLabel;
    m_frame->setObjectName(QStringLiteral("Frame"));
    auto* controls = new QHBoxLayout;
    controls->addWidget(zoomLabel);
    controls->addWidget(m_zoom);
    controls->addWidget(m_play);
    controls->addWidget(m_frame, 1);
    m_levels = new QLabel;
    m_levels->setObjectName(QStringLiteral("Levels"));
    m_levels->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_palette = new QLabel;
    m_palette->setObjectName(QStringLiteral("PaletteGrid"));
    m_palette->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_fields = new QLabel;
    m_fields->setObjectName(QStringLiteral("Fields"));
    m_fields->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_fields->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* about = new QHBoxLayout;
    about->addWidget(m_palette);
    about->addWidget(m_fields, 1);

    auto* details = new QWidget;
    auto* detailLayout = new QVBoxLayout(details);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addWidget(Scrolled(m_picture, "PictureArea"), 3);
    detailLayout->addLayout(controls);
    detailLayout->addWidget(Scrolled(m_levels, "LevelsArea"), 2);
    detailLayout->addLayout(about);
    return details;
}

void TTextureBrowser::Open() {
    Reload();
    show();
    raise();
    activateWindow();
}

void TTextureBrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_placed) {
        m_placed = true;
        resize(BrowserLayout::kFirstSize);
        CentreOnScreen(*this);
    }
}

void TTextureBrowser::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TTextureBrowser::ProjectChange(ProjectModel::Field field) {
    if ((field == ProjectModel::Field::InputDir || field == ProjectModel::Field::ConvFrom) &&
        isVisible()) {
        Reload();
    }
}

void TTextureBrowser::Reload() {
    Stop();
    const ProjectModel& project = *m_windows.Project;
    const QString folder = m_windows.Main->RunFolder(project.InputPath());
    m_format = project.ConvFrom();
    QString reason;
    const auto names =
        m_format ? TextureNamesIn(folder, *m_format, reason) : std::optional<QStringList>();
    m_model->SetTextures(folder, m_format.value_or(SourceFormat::Bmp),
                         names.value_or(QStringList()));
    FilterChange(m_filter->text());
    if (!names) {
        m_count->setText(reason);
    }
}

void TTextureBrowser::FilterChange(const QString& text) {
    m_model->SetFilter(text);
    const auto all = m_model->AllNames().size();
    const int shown = m_model->rowCount();
    m_count->setText(shown == all ? QStringLiteral("%1 textures").arg(all)
                                  : QStringLiteral("%1 of %2 textures").arg(shown).arg(all));
    ShowNothing();
}

void TTextureBrowser::TexturesCurrentChange() {
    const QModelIndex current = m_textures->currentIndex();
    if (current.isValid()) {
        ShowTexture(current.row());
    } else {
        ShowNothing();
    }
}

void TTextureBrowser::TexturesSelectionChange() {
    m_add->setEnabled(m_textures->selectionModel()->hasSelection());
}

void TTextureBrowser::ShowNothing() {
    Stop();
    m_shown = QImage();
    m_levelImages.clear();
    m_frames.clear();
    m_picture->clear();
    m_levels->clear();
    m_palette->clear();
    m_fields->clear();
    m_frame->clear();
    m_play->setEnabled(false);
    m_add->setEnabled(m_textures->selectionModel()->hasSelection());
}

void TTextureBrowser::ShowTexture(int row) {
    ShowNothing();
    if (!m_format) {
        return;
    }
    const QString name = m_model->NameAt(row);
    const SourceRead read = ReadTexture(RowOf(*m_format), m_model->PathAt(row));
    m_shown = PictureOf(read);
    if (m_shown.isNull()) {
        const ReadError reason = read.reason == ReadError::None ? ReadError::NoPixels : read.reason;
        m_picture->setPixmap(m_loader->Damaged());
        m_fields->setText(name + QStringLiteral("\nCannot be read: ") +
                          QString::fromLatin1(DescribeReadError(reason)));
        return;
    }
    m_levelImages.push_back(m_shown);
    if (read.image) {
        for (const auto& level : read.levels) {
            if (const QImage picture = PictureOf(*level, read.palette); !picture.isNull()) {
                m_levelImages.push_back(picture);
            }
        }
        m_palette->setPixmap(
            QPixmap::fromImage(PaletteGrid(read.palette, BrowserLayout::kPaletteCell)));
    } else {
        m_palette->setText(QStringLiteral("True colour:\nno palette"));
    }
    m_fields->setText(Describe(name, *m_format, m_levelImages, read.fields));
    FindFrames(name, read.fields);
    ZoomChange();
}

// The frames of the animation the texture `name` is part of, read now: there are few, and a
// frame that cannot be read ends the animation there.
void TTextureBrowser::FindFrames(const QString& name, const std::optional<HeaderFields>& fields) {
    const QStringList& names = m_model->AllNames();
    std::vector<std::string> utf8Names; // as the animation chains compare them
    utf8Names.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& listed : names) {
        utf8Names.push_back(listed.toStdString());
    }
    const auto isFrame = [this](const QString& frame) {
        return std::any_of(m_frames.begin(), m_frames.end(),
                           [&](const Frame& known) { return known.name == frame; });
    };
    const std::vector<std::size_t> numbered = NumberedFramesOf(name.toStdString(), utf8Names);
    if (!numbered.empty()) {
        for (const std::size_t at : numbered) {
            const QString& frame = names[static_cast<qsizetype>(at)];
            const QImage picture =
                frame == name ? m_shown
                              : PictureOf(ReadTexture(RowOf(*m_format),
                                                      TexturePath(m_model->Folder(), frame)));
            if (picture.isNull()) {
                break;
            }
            m_frames.push_back({frame, picture});
        }
    } else if (fields && !fields->animationName.empty()) {
        // From this texture through the next frames its header and theirs name, until the
        // animation comes back round.
        m_frames.push_back({name, m_shown});
        auto at = TextureNamed(fields->animationName, utf8Names);
        while (at && !isFrame(names[static_cast<qsizetype>(*at)]) &&
               m_frames.size() < BrowserLayout::kMostFrames) {
            const QString& frame = names[static_cast<qsizetype>(*at)];
            const SourceRead read =
                ReadTexture(RowOf(*m_format), TexturePath(m_model->Folder(), frame));
            const QImage picture = PictureOf(read);
            if (picture.isNull()) {
                break;
            }
            m_frames.push_back({frame, picture});
            at = read.fields ? TextureNamed(read.fields->animationName, utf8Names) : std::nullopt;
        }
    }
    if (m_frames.size() < 2) {
        m_frames.clear();
        return;
    }
    const auto at = std::find_if(m_frames.begin(), m_frames.end(),
                                 [&](const Frame& frame) { return frame.name == name; });
    m_frameAt = at == m_frames.end() ? 0 : static_cast<std::size_t>(at - m_frames.begin());
    m_play->setEnabled(true);
    ShowFrameNumber();
}

void TTextureBrowser::ShowFrameNumber() {
    m_frame->setText(QStringLiteral("Frame %1 of %2: %3")
                         .arg(m_frameAt + 1)
                         .arg(m_frames.size())
                         .arg(m_frames[m_frameAt].name));
}

void TTextureBrowser::ZoomChange() {
    ShowPicture(m_frames.empty() ? m_shown : m_frames[m_frameAt].picture);
    if (!m_levelImages.empty()) {
        m_levels->setPixmap(QPixmap::fromImage(SideBySide(m_levelImages, m_zoom->value())));
    }
}

void TTextureBrowser::ShowPicture(const QImage& picture) {
    if (!picture.isNull()) {
        m_picture->setPixmap(QPixmap::fromImage(Zoomed(picture, m_zoom->value())));
    }
}

void TTextureBrowser::PlayBtnClick() {
    if (m_timer->isActive()) {
        Stop();
    } else if (m_frames.size() > 1) {
        m_timer->start();
        m_play->setText(QStringLiteral("&Stop"));
    }
}

void TTextureBrowser::Stop() {
    m_timer->stop();
    m_play->setText(QStringLiteral("&Play"));
}

void TTextureBrowser::FrameTimerTimer() {
    if (m_frames.empty()) {
        Stop();
        return;
    }
    m_frameAt = (m_frameAt + 1) % m_frames.size();
    ShowFrameNumber();
    ShowPicture(m_frames[m_frameAt].picture);
}

void TTextureBrowser::AddBtnClick() {
    QList<int> rows;
    const QModelIndexList selected = m_textures->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        rows.append(index.row());
    }
    if (rows.isEmpty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    m_windows.Main->AddDroppedFiles(*m_model->UrlsOf(rows));
}

} // namespace texelary
