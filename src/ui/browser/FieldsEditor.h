#pragma once

// The header fields of the textures selected in the browser, to be edited: a line for each text
// or number field (the format's own fields too), and for flags and contents a check box for every
// bit the games' tools name beside the raw number. Several textures are shown at once: a field
// that differs among them shows as mixed (an empty line saying "(mixed)", a partially checked
// box) and is left alone until edited. Enter in a line, or a box clicked, is one edit of every
// texture shown; a box toggles only its own bit, so the other bits stay each texture's own.

#include "formats/FieldEdits.h"
#include "formats/HeaderFields.h"

#include <QWidget>
#include <string>
#include <vector>

class QCheckBox;
class QFormLayout;
class QLineEdit;

namespace texelary {

class FieldsEditor final : public QWidget {
    Q_OBJECT
public:
    explicit FieldsEditor(QWidget* parent = nullptr);

    // Shows the fields of `textures`; nothing for none. With `nameOnly` (a wad's textures) only
    // the name, the one field they have.
    void Show(const std::vector<HeaderFields>& textures, bool nameOnly);

signals:
    // The edits the user made, one field's, for every texture shown.
    void Edited(const std::vector<texelary::FieldEdit>& edits);

private slots:
    void LineReturnPressed();
    void BitClick();

private:
    // A line of the form: a field's key in the edits and the text shown for it ("" when mixed).
    struct Line {
        std::string key;
        QLineEdit* edit = nullptr;
        QString shown;
        bool mixed = false;
    };
    // A check box of one named bit of the flags or the contents.
    struct Bit {
        std::string key; // "flags" or "contents"
        std::string name;
        std::uint32_t bit = 0;
        QCheckBox* box = nullptr;
    };
    // Which format's own fields the form holds.
    enum class OwnFields : std::uint8_t { None, M32, Swl };

    QLineEdit* AddLine(const std::string& key, const QString& label);
    void AddBits(const std::string& key, const QString& label);
    void MakeOwnFields(OwnFields kind);
    void ShowLine(Line& line, const std::vector<QString>& texts);
    void ShowBits(const std::vector<HeaderFields>& textures);

    QFormLayout* m_form = nullptr;
    std::vector<Line> m_lines;
    std::vector<Bit> m_bits;
    std::size_t m_sharedRows = 0; // the form's rows before the format's own fields
    std::size_t m_sharedLines = 0;
    OwnFields m_own = OwnFields::None;
};

} // namespace texelary
