#include "ui/browser/FieldsEditor.h"

#include "formats/Sidecar.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <span>
#include <string_view>
#include <type_traits>

namespace texelary {

namespace {

namespace FieldsLayout {
constexpr int kBitColumns = 2; // check boxes side by side under a raw number, in the pane's width
constexpr int kFloatDigits = 32;
} // namespace FieldsLayout

// A format's own field as its line shows it and as FieldEdits reads it back; false for a field
// that cannot be set (the .m32's reserved words).
template <class Value> bool FieldText(const Value& value, QString& text) {
    if constexpr (std::is_same_v<Value, std::string>) {
        text = QString::fromStdString(value);
    } else if constexpr (std::is_same_v<Value, float>) {
        std::array<char, FieldsLayout::kFloatDigits> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        text = QString::fromLatin1(digits.data(), end - digits.data());
    } else if constexpr (std::is_integral_v<Value>) {
        text = QString::number(value);
    } else if constexpr (std::is_same_v<Value, std::array<float, 3>>) {
        QStringList parts;
        for (const float part : value) {
            QString one;
            FieldText(part, one);
            parts.append(one);
        }
        text = parts.join(QLatin1Char(' '));
    } else {
        return false;
    }
    return true;
}

// The texts of a format's own fields that can be set, in the header's order.
template <class Fields> std::vector<QString> OwnTexts(const Fields& fields) {
    std::vector<QString> texts;
    VisitFormatFields(fields, [&](const char*, const char*, const auto& value) {
        QString text;
        if (FieldText(value, text)) {
            texts.push_back(text);
        }
    });
    return texts;
}

QString Hex(std::uint32_t bits) {
    return QStringLiteral("0x%1").arg(bits, 8, 16, QLatin1Char('0'));
}

} // namespace

FieldsEditor::FieldsEditor(QWidget* parent)
    : QWidget(parent)
    , m_form(new QFormLayout(this)) {
    m_form->setContentsMargins(0, 0, 0, 0);
    AddLine("name", QStringLiteral("Name:"));
    AddLine("animation", QStringLiteral("Animation:"));
    AddBits("flags", QStringLiteral("Flags:"));
    AddBits("contents", QStringLiteral("Contents:"));
    AddLine("value", QStringLiteral("Value:"));
    m_sharedRows = static_cast<std::size_t>(m_form->rowCount());
    m_sharedLines = m_lines.size();
    hide();
}

QLineEdit* FieldsEditor::AddLine(const std::string& key, const QString& label) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromStdString(key));
    // No buddy: the window's letters for Alt are its buttons', and too few for every field.
    m_form->addRow(new QLabel(label, this), edit);
    m_lines.push_back({key, edit, {}, false});
    connect(edit, &QLineEdit::returnPressed, this, &FieldsEditor::LineReturnPressed);
    return edit;
}

// The raw number's line, and below it a box for each bit the game names.
void FieldsEditor::AddBits(const std::string& key, const QString& label) {
    AddLine(key, label);
    auto* boxes = new QWidget(this);
    auto* grid = new QGridLayout(boxes);
    grid->setContentsMargins(0, 0, 0, 0);
    const bool flags = key == "flags";
    int at = 0;
    for (const NamedBit& named : flags ? SurfaceFlagNames() : ContentsNames()) {
        // Shown and set as the games' tools write them: SURF_LIGHT, CONTENTS_WATER.
        const QString name =
            (flags ? QStringLiteral("SURF_") : QStringLiteral("CONTENTS_")) +
            QString::fromLatin1(named.name.data(), std::ssize(named.name)).toUpper();
        auto* box = new QCheckBox(name, boxes);
        box->setObjectName(box->text());
        grid->addWidget(box, at / FieldsLayout::kBitColumns, at % FieldsLayout::kBitColumns);
        ++at;
        m_bits.push_back({key, name.toStdString(), named.bit, box});
        connect(box, &QCheckBox::clicked, this, &FieldsEditor::BitClick);
    }
    m_form->addRow(QString(), boxes);
}

void FieldsEditor::MakeOwnFields(OwnFields kind) {
    if (kind == m_own) {
        return;
    }
    while (static_cast<std::size_t>(m_form->rowCount()) > m_sharedRows) {
        m_form->removeRow(m_form->rowCount() - 1);
    }
    m_lines.resize(m_sharedLines);
    m_own = kind;
    const auto add = [this](const char* key, const char* label, const auto& value) {
        QString text;
        if (FieldText(value, text)) {
            QString shown = QString::fromLatin1(label);
            shown[0] = shown[0].toUpper();
            AddLine(key, shown + QLatin1Char(':'));
        }
    };
    if (kind == OwnFields::M32) {
        const M32Fields fields;
        VisitFormatFields(fields, add);
    } else if (kind == OwnFields::Swl) {
        const SwlFields fields;
        VisitFormatFields(fields, add);
    }
}

void FieldsEditor::Show(const std::vector<HeaderFields>& textures, bool nameOnly) {
    if (textures.empty()) {
        hide();
        return;
    }
    const auto all = [&](auto has) { return std::all_of(textures.begin(), textures.end(), has); };
    OwnFields kind = OwnFields::None;
    if (!nameOnly && all([](const HeaderFields& one) { return one.m32.has_value(); })) {
        kind = OwnFields::M32;
    } else if (!nameOnly && all([](const HeaderFields& one) { return one.swl.has_value(); })) {
        kind = OwnFields::Swl;
    }
    MakeOwnFields(kind);
    std::vector<std::vector<QString>> texts(m_lines.size());
    for (const HeaderFields& one : textures) {
        std::vector<QString> own = kind == OwnFields::M32   ? OwnTexts(*one.m32)
                                   : kind == OwnFields::Swl ? OwnTexts(*one.swl)
                                                            : std::vector<QString>();
        own.insert(own.begin(),
                   {QString::fromStdString(one.name), QString::fromStdString(one.animationName),
                    Hex(one.flags), Hex(one.contents), QString::number(one.value)});
        for (std::size_t i = 0; i < texts.size() && i < own.size(); ++i) {
            texts[i].push_back(own[i]);
        }
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        ShowLine(m_lines[i], texts[i]);
    }
    ShowBits(textures);
    for (int row = 1; row < m_form->rowCount(); ++row) {
        m_form->setRowVisible(row, !nameOnly);
    }
    show();
}

void FieldsEditor::ShowLine(Line& line, const std::vector<QString>& texts) {
    line.mixed = std::any_of(texts.begin(), texts.end(),
                             [&](const QString& text) { return text != texts.front(); });
    line.shown = line.mixed || texts.empty() ? QString() : texts.front();
    line.edit->setText(line.shown);
    line.edit->setPlaceholderText(line.mixed ? QStringLiteral("(mixed)") : QString());
}

void FieldsEditor::ShowBits(const std::vector<HeaderFields>& textures) {
    for (const Bit& bit : m_bits) {
        std::size_t set = 0;
        for (const HeaderFields& one : textures) {
            set += ((bit.key == "flags" ? one.flags : one.contents) & bit.bit) != 0 ? 1u : 0u;
        }
        bit.box->setTristate(false);
        bit.box->setCheckState(set == 0                 ? Qt::Unchecked
                               : set == textures.size() ? Qt::Checked
                                                        : Qt::PartiallyChecked);
    }
}

void FieldsEditor::LineReturnPressed() {
    const auto line = std::find_if(m_lines.begin(), m_lines.end(),
                                   [&](const Line& one) { return one.edit == sender(); });
    if (line == m_lines.end()) {
        return;
    }
    const QString text = line->edit->text();
    // A mixed field left empty, or a field not changed, is not an edit.
    if (line->mixed ? text.isEmpty() : text == line->shown) {
        return;
    }
    emit Edited({FieldEdit{line->key, text.toStdString()}});
}

void FieldsEditor::BitClick() {
    const auto bit = std::find_if(m_bits.begin(), m_bits.end(),
                                  [&](const Bit& one) { return one.box == sender(); });
    if (bit == m_bits.end()) {
        return;
    }
    // A box once clicked is set or clear for every texture: no way back to mixed.
    bit->box->setTristate(false);
    const char sign = bit->box->checkState() == Qt::Checked ? '+' : '-';
    emit Edited({FieldEdit{bit->key, sign + bit->name}});
}

} // namespace texelary
