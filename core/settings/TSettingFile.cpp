#include "settings/TSettingFile.h"

#include <algorithm>
#include <variant>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "base/Utf8Text.h"
#include "codeconv/TSjisUnicode.h"
#include "params/TParamLimits.h"
#include "settings/TIniDocument.h"

namespace {

constexpr const char* kEml = "EML";
constexpr const char* kCsv = "CSV";
constexpr const char* kSystem = "SYSTEM";

std::string Key(const char* name, int n) {
    return name + std::to_string(n);
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool HasHighByte(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// Text editors on Linux save UTF-8. Shift_JIS Japanese text is practically
// never valid UTF-8 (its lead bytes 0x81-0x9F are UTF-8 continuation
// bytes), while UTF-8 Japanese often is valid Shift_JIS byte for byte; so
// valid UTF-8 with non-ASCII text is taken as UTF-8.
bool IsUtf8Project(std::string_view text) {
    return text.starts_with(kUtf8Mark) || (HasHighByte(text) && utf8::IsValid(text));
}

// A number written as one (sign and digits) that does not fit an int.
bool IsTooLarge(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string RangeError(const std::string& key, const std::string& value, const char* range) {
    return TSjisUnicode::FromUtf8("プロジェクトの値が範囲外です: ") + key + "=" + value + " (" +
           TSjisUnicode::FromUtf8(range) + ")";
}

// The whole numbers of an old PARAM_ORDER list, separated by commas or
// blanks; an entry that is not a whole number is held as nullopt.
std::vector<std::optional<int>> ParseOrderList(std::string_view text) {
    std::vector<std::optional<int>> out;
    std::size_t pos = 0;
    const auto isSeparator = [](char c) { return c == ',' || c == ' ' || c == '\t'; };
    while (pos < text.size()) {
        while (pos < text.size() && isSeparator(text[pos])) {
            ++pos;
        }
        const std::size_t begin = pos;
        while (pos < text.size() && !isSeparator(text[pos])) {
            ++pos;
        }
        if (pos > begin) {
            out.push_back(TIniDocument::ParseInteger(text.substr(begin, pos - begin)));
        }
    }
    return out;
}

}  // namespace

std::string TSettingFile::Extension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return std::string();
    }
    return path.substr(dot);
}

bool TSettingFile::IsKfyFile(const std::string& path) {
    return sjis::ToUpper(Extension(path)) == ".KFY";
}

std::string TSettingFile::KfyFileName(const std::string& path) {
    if (IsKfyFile(path)) {
        return path;
    }
    return path.substr(0, path.size() - Extension(path).size()) + ".KFY";
}

void TSettingFile::EnsureLoaded() {
    if (!loaded_) {
        Read();
    }
}

std::string TSettingFile::GetDirectory() {
    EnsureLoaded();
    return project_.location;
}

std::vector<TOrderedParamString> TSettingFile::GetParams() {
    EnsureLoaded();
    return project_.params;
}

void TSettingFile::ReadProject() {
    Read();
    if (!HasProjectSection()) {
        throw TKestrifyError(fileName_ +
                             TSjisUnicode::FromUtf8(": プロジェクトファイルではありません。"));
    }
}

void TSettingFile::Read() {
    const bool newFormat = IsKfyFile(fileName_);
    TIniDocument ini(newFormat ? TIniDocument::TValueMode::Exact
                               : TIniDocument::TValueMode::Profile);
    Load(ini, fileName_);
    ReadFrom(ini, newFormat);
}

void TSettingFile::Load(TIniDocument& ini, const std::string& path) {
    std::optional<std::string> text = TIniDocument::ReadFileText(TSjisUnicode::ToPath(path));
    wasUtf8_ = text && IsUtf8Project(*text);
    if (wasUtf8_) {
        std::string_view utf8 = *text;
        if (utf8.starts_with(kUtf8Mark)) {
            utf8.remove_prefix(kUtf8Mark.size());
        }
        text = TSjisUnicode::FromUtf8(utf8);
    }
    ini.Parse(text ? *text : std::string());
}

int TSettingFile::ReadRanged(const TIniDocument& ini, const char* section, const std::string& key,
                             int def, int low, int high) {
    const std::optional<std::string> text = ini.Find(section, key);
    if (!text) {
        return def;
    }
    const std::optional<int> value = TIniDocument::ParseInteger(*text);
    if ((value && (*value < low || *value > high)) || (!value && IsTooLarge(*text))) {
        const std::string range =
            std::to_string(low) + " から " + std::to_string(high) + " までの数";
        rangeErrors_.push_back(RangeError(key, *text, range.c_str()));
        return def;
    }
    return value.value_or(def);
}

std::uint8_t TSettingFile::ReadRowType(const TIniDocument& ini, int n) {
    return static_cast<std::uint8_t>(ReadRanged(ini, kEml, Key("PARAM_ROW_TYPE", n), 1, 0, 2));
}

std::uint8_t TSettingFile::ReadPosType(const TIniDocument& ini, int n) {
    return static_cast<std::uint8_t>(ReadRanged(ini, kEml, Key("PARAM_POS_TYPE", n), 0, 0, 2));
}

// 0 (no wrapping) or a width the parameter editor accepts.
int TSettingFile::ReadAutoFormat(const TIniDocument& ini, int n) {
    const std::string key = Key("AUTO_FORMAT", n);
    const int width = ReadRanged(ini, kEml, key, 0, 0, 9999);
    if (width > 0 && width < 10) {
        rangeErrors_.push_back(
            RangeError(key, std::to_string(width), "0、または 10 から 9999 までの数"));
    }
    return width;
}

void TSettingFile::ReadFrom(const TIniDocument& ini, bool newFormat) {
    rangeErrors_.clear();
    hasProjectSection_ = ini.HasSection(kEml) || ini.HasSection(kCsv) || ini.HasSection(kSystem) ||
                         ini.HasSection("FORM_CONVERT");
    // In the file's order, so that range errors are told in it.
    const std::span<const TProjectKey> keys = TProject::Keys();
    for (const TProjectKey& key : keys) {
        if (std::string_view(key.section) == kEml) {
            ReadKey(ini, key);
        }
    }
    ReadParams(ini, newFormat);
    for (const TProjectKey& key : keys) {
        if (std::string_view(key.section) != kEml) {
            ReadKey(ini, key);
        }
    }
    if (!project_.convertForm) {
        project_.convertForm.emplace();
    }
    project_.convertForm->LoadFrom(ini);
    loaded_ = true;
}

void TSettingFile::ReadKey(const TIniDocument& ini, const TProjectKey& key) {
    static const TProject initial;
    const bool ranged = key.low < key.high;
    if (const auto* text = std::get_if<TProjectKey::TText>(&key.member)) {
        project_.*(*text) = ini.ReadString(key.section, key.name, initial.*(*text));
    } else if (const auto* flag = std::get_if<TProjectKey::TFlag>(&key.member)) {
        const bool def = initial.*(*flag);
        project_.*(*flag) =
            ranged ? ReadRanged(ini, key.section, key.name, def ? 1 : 0, key.low, key.high) == 1
                   : ini.ReadBool(key.section, key.name, def);
    } else if (const auto* number = std::get_if<TProjectKey::TNumber>(&key.member)) {
        const int def = initial.*(*number);
        const int value = ranged ? ReadRanged(ini, key.section, key.name, def, key.low, key.high)
                                 : ini.ReadInteger(key.section, key.name, def);
        if (key.outOfRange == TProjectKey::TOutOfRange::Kept) {
            // A negative number leaves the value as it was.
            if (const int read = ini.ReadInteger(key.section, key.name, def); read >= 0) {
                project_.*(*number) = read;
            }
        } else {
            project_.*(*number) = value;
        }
    }
}

void TSettingFile::ReadParams(const TIniDocument& ini, bool newFormat) {
    project_.params.clear();
    const int count = std::min(ini.ReadInteger(kEml, "PARAM", 0), TParamLimits::MaxParams);
    const int version = ini.ReadInteger(kSystem, "VERSION", 0);
    if (count <= 0) {
        return;
    }
    if (newFormat && version == 4) {
        ReadVersion4(ini, count);
    } else if ((newFormat && version == 3) || (!newFormat && version == 2)) {
        ReadVersion3(ini, count);
    } else if (!newFormat && version == 1) {
        ReadVersion1(ini, count);
    } else if (!newFormat && version == 0) {
        ReadVersion0(ini, count);
    }
}

void TSettingFile::ReadVersion4(const TIniDocument& ini, int count) {
    ReadNumberedParams(ini, count, true);
}

void TSettingFile::ReadVersion3(const TIniDocument& ini, int count) {
    ReadNumberedParams(ini, count, false);
    ApplySharedEndStr(ini);
}

// Versions 3 and 4 number every key; only version 4 gives each parameter
// its own end string and the address options.
void TSettingFile::ReadNumberedParams(const TIniDocument& ini, int count, bool perParamEnd) {
    for (int n = 0; n < count; ++n) {
        project_.params.emplace_back(
            ini.ReadInteger(kEml, Key("PARAM_ORDER", n), -1),
            ini.ReadString(kEml, Key("PARAM_KEY", n), ""),
            ini.ReadInteger(kEml, Key("FIELD_ORDER", n), -1),
            ini.ReadString(kEml, Key("FIELD_NAME", n), ""), ReadRowType(ini, n),
            ReadPosType(ini, n), ini.ReadBool(kEml, Key("PARAM_REGEXT", n), false),
            ini.ReadBool(kEml, Key("ONE_LINE", n), false),
            ini.ReadBool(kEml, Key("TRIM", n), false), ReadAutoFormat(ini, n),
            ini.ReadBool(kEml, Key("START_LINE", n), true),
            perParamEnd ? ini.ReadString(kEml, Key("ENDSTR", n), "") : std::string(),
            perParamEnd && ini.ReadBool(kEml, Key("ENDSTR_REGEXP", n), false),
            perParamEnd && ini.ReadBool(kEml, Key("MAIL_ADDRESS", n), false),
            perParamEnd && ini.ReadBool(kEml, Key("MAIL_NAME", n), false));
    }
}

void TSettingFile::ReadVersion1(const TIniDocument& ini, int count) {
    const std::vector<std::optional<int>> fieldOrders =
        ParseOrderList(ini.ReadString(kEml, "PARAM_ORDER", ""));
    for (int n = 0; n < count; ++n) {
        // A list too short or with a non-number keeps the parameter where it is.
        const std::size_t i = static_cast<std::size_t>(n);
        const int fieldOrder = i < fieldOrders.size() ? fieldOrders[i].value_or(n) : n;
        project_.params.emplace_back(n, ini.ReadString(kEml, Key("PARAM", n), ""), fieldOrder,
                                     ini.ReadString(kEml, Key("PARAM_FIELD_NAME", n), ""),
                                     ReadRowType(ini, n), ReadPosType(ini, n),
                                     ini.ReadBool(kEml, Key("PARAM_REGEXT", n), false), false,
                                     false, 0, true, "", false, false, false);
    }
    ApplySharedEndStr(ini);
}

void TSettingFile::ReadVersion0(const TIniDocument& ini, int count) {
    for (int n = 0; n < count; ++n) {
        const std::string key = ini.ReadString(kEml, Key("PARAM", n), "");
        project_.params.emplace_back(n, key, n, key, ReadRowType(ini, n), ReadPosType(ini, n),
                                     ini.ReadBool(kEml, Key("PARAM_REGEXT", n), false), false,
                                     false, 0, true, "", false, false, false);
    }
    // The end text of these files was one for the whole project; it is kept
    // as version 1 keeps it rather than dropped.
    ApplySharedEndStr(ini);
}

// Files before version 4 hold one unnumbered end text, which belongs to the
// last parameter when that is a multi-line body parameter.
void TSettingFile::ApplySharedEndStr(const TIniDocument& ini) {
    if (project_.params.empty()) {
        return;
    }
    TOrderedParamString& last = project_.params.back();
    if (last.GetRowType() == TOrderedParamString::RowMulti &&
        last.GetPosType() == TOrderedParamString::PosBody) {
        last.SetEndStr(ini.ReadString(kEml, "ENDSTR", ""));
    }
}

void TSettingFile::Write() {
    fileName_ = KfyFileName(fileName_);
    const auto path = TSjisUnicode::ToPath(fileName_);
    TIniDocument ini(TIniDocument::TValueMode::Exact);
    Load(ini, fileName_);  // a UTF-8 file is rewritten as Shift_JIS throughout
    WriteTo(ini);
    ini.SaveFile(path);
}

void TSettingFile::WriteTo(TIniDocument& ini) const {
    const std::span<const TProjectKey> keys = TProject::Keys();
    for (const TProjectKey& key : keys) {
        if (std::string_view(key.section) == kEml) {
            WriteKey(ini, key, project_);
        }
    }
    WriteParams(ini);
    for (const TProjectKey& key : keys) {
        if (std::string_view(key.section) != kEml) {
            WriteKey(ini, key, project_);
        }
    }
    ini.WriteInteger(kSystem, "VERSION", CurrentVersion);
    if (project_.convertForm) {
        project_.convertForm->SaveTo(ini);
    }
}

void TSettingFile::WriteKey(TIniDocument& ini, const TProjectKey& key, const TProject& project) {
    static const TProject initial;
    const auto used = [&](const auto& member) {
        return key.write == TProjectKey::TWrite::Always || project.*member != initial.*member ||
               ini.Find(key.section, key.name);
    };
    if (const auto* text = std::get_if<TProjectKey::TText>(&key.member)) {
        if (used(*text)) {
            ini.WriteString(key.section, key.name, project.*(*text));
        }
    } else if (const auto* flag = std::get_if<TProjectKey::TFlag>(&key.member)) {
        if (used(*flag)) {
            ini.WriteBool(key.section, key.name, project.*(*flag));
        }
    } else if (const auto* number = std::get_if<TProjectKey::TNumber>(&key.member)) {
        if (used(*number)) {
            ini.WriteInteger(key.section, key.name, project.*(*number));
        }
    }
}

void TSettingFile::WriteParams(TIniDocument& ini) const {
    const std::vector<TOrderedParamString>& params = project_.params;
    ini.WriteInteger(kEml, "PARAM", static_cast<int>(params.size()));
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int n = static_cast<int>(i);
        const TOrderedParamString& p = params[i];
        ini.WriteString(kEml, Key("PARAM_KEY", n), p.GetParamKey());
        ini.WriteString(kEml, Key("FIELD_NAME", n), p.GetFieldName());
        ini.WriteInteger(kEml, Key("PARAM_ROW_TYPE", n), p.GetRowTypeValue());
        ini.WriteInteger(kEml, Key("PARAM_POS_TYPE", n), p.GetPosType());
        ini.WriteInteger(kEml, Key("PARAM_ORDER", n), p.GetParamOrder());
        ini.WriteInteger(kEml, Key("FIELD_ORDER", n), p.GetFieldOrder());
        ini.WriteBool(kEml, Key("PARAM_REGEXT", n), p.GetRegExt());
        ini.WriteBool(kEml, Key("TRIM", n), p.GetTrim());
        ini.WriteBool(kEml, Key("ONE_LINE", n), p.GetOneLine());
        ini.WriteInteger(kEml, Key("AUTO_FORMAT", n), p.GetAutoFormat());
        ini.WriteBool(kEml, Key("START_LINE", n), p.GetStartLine());
        ini.WriteString(kEml, Key("ENDSTR", n), p.GetEndStr());
        ini.WriteBool(kEml, Key("ENDSTR_REGEXP", n), p.GetEndStrRegExp());
        ini.WriteBool(kEml, Key("MAIL_ADDRESS", n), p.GetMailAddress());
        ini.WriteBool(kEml, Key("MAIL_NAME", n), p.GetMailName());
    }
}
