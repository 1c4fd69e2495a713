#include "formats/TextureDescription.h"

#include <array>
#include <cstdio>

namespace texelary {

namespace {

std::string SizeText(std::int32_t width, std::int32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// "4: 64 x 64, 32 x 32, 16 x 16, 8 x 8"; "0" for none.
std::string LevelsText(const std::vector<StoredLevel>& levels) {
    std::string text = std::to_string(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        text += (i == 0 ? ": " : ", ") + SizeText(levels[i].width, levels[i].height);
    }
    return text;
}

void AddHeaderFields(const HeaderFields& fields, std::vector<DescribedFact>& facts) {
    facts.push_back({TextureFact::Name, "name", QuotedName(fields.name), {}});
    facts.push_back(
        {TextureFact::AnimationName, "animation name", QuotedName(fields.animationName), {}});
    facts.push_back({TextureFact::Flags, "flags", FieldHex(fields.flags), {}});
    facts.push_back({TextureFact::Contents, "contents", FieldHex(fields.contents), {}});
    facts.push_back({TextureFact::Value, "value", FieldHex(fields.value), {}});
}

std::string FieldText(const std::string& text) {
    return QuotedName(text);
}
std::string FieldText(float number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(number));
    return text;
}
template <class Number> std::string FieldText(Number number) {
    return std::to_string(number);
}
template <class T, std::size_t N> std::string FieldText(const std::array<T, N>& list) {
    std::string text;
    for (const T& entry : list) {
        text += (text.empty() ? "" : ", ") + FieldText(entry);
    }
    return text;
}

template <class Fields>
void AddFormatFields(const std::optional<Fields>& fields, std::vector<DescribedFact>& facts) {
    if (fields) {
        VisitFormatFields(*fields, [&facts](const char*, const char* label, const auto& member) {
            facts.push_back({TextureFact::FormatField, label, FieldText(member), {}});
        });
    }
}

} // namespace

std::vector<DescribedFact> DescribeTexture(SourceFormat kind, const TextureInfo& info) {
    std::vector<DescribedFact> facts;
    facts.push_back({TextureFact::Kind, "kind", RowOf(kind).option, {}});
    if (info.version) {
        facts.push_back({TextureFact::Version, "version", std::to_string(*info.version), {}});
    }
    facts.push_back({TextureFact::Size, "size", SizeText(info.width, info.height), {}});
    facts.push_back({TextureFact::Levels, "levels", LevelsText(info.levels), {}});
    if (info.fields) {
        AddHeaderFields(*info.fields, facts);
        AddFormatFields(info.fields->m32, facts);
        AddFormatFields(info.fields->swl, facts);
    }
    facts.push_back(
        {TextureFact::DistinctIndices,
         "distinct indices",
         info.distinctIndices ? std::to_string(*info.distinctIndices) : "none (true colour)",
         {}});
    facts.push_back({TextureFact::Rules, "format's rules",
                     info.ruleBreaks.empty() ? "followed" : "not followed", info.ruleBreaks});
    return facts;
}

std::string QuotedName(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || byte < 0x20 || byte >= 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string FieldHex(std::uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

} // namespace texelary
