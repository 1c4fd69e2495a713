#include "UiTestSupport.h"

#include "ArchiveFiles.h"
#include "BmpBuilder.h"
#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "colour/WalPalette.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/WalFormat.h"
#include "ui/app/Application.h"
#include "ui/app/TMain.h"
#include "ui/choosers/TFileDialog.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <array>
#include <cstdint>
#include <exception>
#include <vector>

namespace texelary::test {

namespace {

std::vector<std::uint8_t> WalBytes() {
    return *WriteWal(Picture16(), WalPalette);
}
std::vector<std::uint8_t> Wad2Lump(const char* name) {
    return *EncodeWad2MipTexture(Picture16(), name);
}
std::vector<std::uint8_t> Wad3Lump(const char* name) {
    return *EncodeWad3MipTexture(Picture16(), WalPalette, name);
}

// One entry of a pak or lump of a wad (of `type`) made by a test.
struct Member {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::uint8_t type = 0;
};

// Writes a real archive at `path`: a pak of `members`, or with `kind` a wad.
void WriteArchive(const QString& path, const std::vector<Member>& members,
                  std::optional<WadKind> kind = {}) {
    ReplacingFile out(QFile::encodeName(path).toStdString());
    bool written = false;
    if (kind) {
        std::vector<WadMember> lumps;
        for (const Member& member : members) {
            lumps.push_back({member.name, member.type, member.bytes});
        }
        written = WriteWad(out, *kind, lumps);
    } else {
        std::vector<ArchiveMember> entries;
        for (const Member& member : members) {
            entries.push_back({member.name, member.bytes});
        }
        written = WritePak(out, entries);
    }
    if (!written || !out.Commit()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

} // namespace

WindowAnswer ScriptedBoxes::ShowMessage(const std::string& text, const std::string& caption,
                                        WindowButtons buttons, BoxIcon icon,
                                        const std::string& detail) {
    return ShowDetailedMessage(text, caption, buttons, icon, detail, {});
}

WindowAnswer ScriptedBoxes::ShowDetailedMessage(const std::string& text, const std::string& caption,
                                                WindowButtons buttons, BoxIcon icon,
                                                const std::string& detail,
                                                const std::string& details) {
    Shown.push_back({text, caption, buttons, icon, Progress != nullptr && Progress->isVisible(),
                     QThread::currentThread() == QCoreApplication::instance()->thread(), detail,
                     details});
    if (WhileOpen) {
        WhileOpen(Shown.back());
    }
    if (Answers.empty()) {
        return WindowAnswer::Ok;
    }
    const WindowAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
}

QStringList ScriptedBoxes::Texts() const {
    QStringList texts;
    for (const ShownBox& box : Shown) {
        texts.append(QString::fromStdString(box.text));
    }
    return texts;
}

int ModalScript::Run(QDialog& dialog) {
    Shown.append(dialog.objectName());
    if (m_actions.empty()) {
        Unanswered.append(dialog.objectName());
        return QDialog::Rejected;
    }
    ModalAction action = std::move(m_actions.front());
    m_actions.pop_front();
    QTimer::singleShot(0, &dialog, [this, &dialog, action = std::move(action)] {
        int result = QDialog::Rejected;
        try {
            result = action(dialog);
        } catch (const std::exception& error) {
            // A failing answer must not leave the dialog open for ever.
            Failures.append(dialog.objectName() + ": " + QString::fromUtf8(error.what()));
        }
        if (result != kClosedByAction && dialog.isVisible()) {
            dialog.done(result);
        }
    });
    return dialog.exec();
}

Session::Session(Memory memory)
    : m_previousDir(QDir::currentPath()) {
    if (memory == Memory::Forgotten) {
        QSettings settings(QStringLiteral("Texelary"), QStringLiteral("Texelary"));
        for (const char* group : {"Windows", "Folders", "RecentProjects"}) {
            settings.remove(QString::fromLatin1(group));
        }
    }
    QDir::setCurrent(m_dir.path());
    m_set =
        std::make_unique<WindowSet>(Boxes, [this](QDialog& dialog) { return Modals.Run(dialog); });
    Boxes.Progress = Windows().ProcessDialog;
    if (auto* application = qobject_cast<Application*>(QCoreApplication::instance())) {
        application->SetBoxes(&Boxes);
    }
    Windows().Main->show();
}

Session::~Session() {
    if (auto* application = qobject_cast<Application*>(QCoreApplication::instance())) {
        application->SetBoxes(nullptr);
    }
    m_set.reset();
    QDir::setCurrent(m_previousDir);
}

QListWidget& Session::BmpList() {
    return Windows().Main->BmpList();
}

QPushButton& Session::Button(const char* name) {
    auto* button = Windows().Main->findChild<QPushButton*>(QString::fromLatin1(name));
    if (button == nullptr) {
        qFatal("no button %s", name);
    }
    return *button;
}

QAction& Session::Item(const char* name) {
    auto* item = Windows().Main->findChild<QAction*>(QString::fromLatin1(name));
    if (item == nullptr) {
        qFatal("no menu item %s", name);
    }
    return *item;
}

QLineEdit& Session::InputPath() {
    return SetupControl<QLineEdit>("InputPath");
}
QLineEdit& Session::OutputPath() {
    return SetupControl<QLineEdit>("OutputPath");
}
QComboBox& Session::ConvFrom() {
    return SetupControl<QComboBox>("ConvFrom");
}
QComboBox& Session::ConvTo() {
    return SetupControl<QComboBox>("ConvTo");
}
QListWidget& Session::FileList() {
    return Windows().FileDialog->File();
}

void Session::Click(const char* name) {
    QTest::mouseClick(&Button(name), Qt::LeftButton);
}

void Session::Add(ModalAction action) {
    Modals.Then(std::move(action));
    Click("AddBtn");
}

void Session::AddAll() {
    Add([](QDialog& dialog) {
        dialog.findChild<QListWidget*>(QStringLiteral("File"))->selectAll();
        return int(QDialog::Accepted);
    });
}

QString VisibleTitle(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->title() : window.windowTitle();
}

QStringList Session::Entries() {
    return Texts(BmpList());
}

void WriteBitmap(const QString& path, int width, int height) {
    // Row y counted from the bottom holds (7x + 3y) mod 256; entry i is (255 - i, i, i).
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) *
                                     static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>((x * 7 + (height - 1 - y) * 3) & 0xff);
        }
    }
    Palette palette{};
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(255 - i);
        palette[3 * i + 1] = static_cast<std::uint8_t>(i);
        palette[3 * i + 2] = static_cast<std::uint8_t>(i);
    }
    const std::vector<std::uint8_t> bytes = EncodeBmp8(width, height, pixels.data(), palette);
    WriteText(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qsizetype>(bytes.size())));
}

void WriteText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts.append(list.item(i)->text());
    }
    return texts;
}

QStringList SelectedTexts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->isSelected()) {
            texts.append(list.item(i)->text());
        }
    }
    return texts;
}

IndexedImage Picture16() {
    IndexedImage picture;
    if (!AllocatePixels(picture, 16, 16)) {
        qFatal("no memory for a picture");
    }
    picture.width = 16;
    picture.height = 16;
    for (std::size_t i = 0; i < 256; ++i) {
        picture.pixels[i] = static_cast<std::uint8_t>(40 + i % 16);
    }
    return picture;
}

void WriteTestArchives(Session& session) {
    const std::vector<std::uint8_t> wal = WalBytes();
    // The bitmap's bytes are had from a file made for the moment.
    const QByteArray bitmap = [&session] {
        const QString path = session.PathOf("made.bmp");
        WriteBitmap(path, 4, 4);
        QFile file(path);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.remove();
        return bytes;
    }();
    WriteArchive(session.PathOf("base.pak"), {{"a.wal", wal},
                                              {"notes.txt", {1}},
                                              {"textures/D.Wal", wal},
                                              {"textures/c.wal", wal},
                                              {"textures/f.bmp", {bitmap.begin(), bitmap.end()}},
                                              {"textures/e1/e.wal", wal},
                                              {"sound/x.wav", {1}}});
    WriteArchive(session.PathOf("gfx.wad"),
                 {{"palette", {1, 2, 3}, 0x40},
                  {"brick", Wad2Lump("brick"), MipTextureType(WadKind::Wad2)},
                  {"*lava", Wad2Lump("*lava"), MipTextureType(WadKind::Wad2)},
                  {"other", Wad3Lump("other"), MipTextureType(WadKind::Wad3)}},
                 WadKind::Wad2);
    WriteArchive(session.PathOf("half.wad"),
                 {{"{fence", Wad3Lump("{fence"), MipTextureType(WadKind::Wad3)}}, WadKind::Wad3);
}

void CopyTestMaps(Session& session) {
    for (const char* name : {"q1_detail_fence2.bsp", "hl.bsp", "credits.bsp"}) {
        const QString map = QString::fromLatin1(name);
        if (!QFile::copy(QStringLiteral(TEXELARY_TEST_DATA "/maps/") + map, session.PathOf(map))) {
            qFatal("cannot copy the test map %s", name);
        }
    }
}

} // namespace texelary::test
