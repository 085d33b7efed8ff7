#include "TCliOptions.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <string_view>

#include "TUsageError.h"
#include "base/SjisText.h"
#include "mail/TStoreKind.h"

namespace {

const std::string kHint =
    "\n詳しくは kestrify-cli --help をご覧ください。 (see kestrify-cli --help)";

[[noreturn]] void Refuse(const std::string& utf8Message) {
    throw TUsageError(utf8Message + kHint);
}

int WholeNumber(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        Refuse(option + " には " + std::to_string(low) + "〜" + std::to_string(high) +
               " の数を指定してください: '" + text + "' (expects a number from " +
               std::to_string(low) + " to " + std::to_string(high) + ")");
    }
    return value;
}

// Options without a one-letter form get codes outside the character range,
// so getopt's optopt tells every option apart.
enum TLongOnly : int {
    OptVersion = 256,
    OptSaveType,
    OptBackup,
    OptNoBackup,
    OptMailType,
    OptLocation,
    OptEncoding,
    OptBom,
    OptForce,
    OptStopOnError,
    OptSafeCells,
    OptOnlyNew,
    OptAll,
    OptForget,
    OptFormat,
    OptCaFile,
    OptPasswordFile,
};

// ":" first: a missing value is reported as ':' rather than '?'.
constexpr const char* kShortOptions = ":hqj:";

const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OptVersion},
    {"save-type", required_argument, nullptr, OptSaveType},
    {"backup", no_argument, nullptr, OptBackup},
    {"no-backup", no_argument, nullptr, OptNoBackup},
    {"mail-type", required_argument, nullptr, OptMailType},
    {"location", required_argument, nullptr, OptLocation},
    {"encoding", required_argument, nullptr, OptEncoding},
    {"bom", no_argument, nullptr, OptBom},
    {"force", no_argument, nullptr, OptForce},
    {"stop-on-error", no_argument, nullptr, OptStopOnError},
    {"safe-cells", no_argument, nullptr, OptSafeCells},
    {"only-new", no_argument, nullptr, OptOnlyNew},
    {"all", no_argument, nullptr, OptAll},
    {"forget", no_argument, nullptr, OptForget},
    {"format", required_argument, nullptr, OptFormat},
    {"ca-file", required_argument, nullptr, OptCaFile},
    {"password-file", required_argument, nullptr, OptPasswordFile},
    {"quiet", no_argument, nullptr, 'q'},
    {"jobs", required_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0},
};

bool IsKnownCode(int code) {
    for (const option* o = kLongOptions; o->name != nullptr; ++o) {
        if (o->val == code) {
            return true;
        }
    }
    return false;
}

// The option as the user wrote it, without an attached value.
std::string Spelling(std::string_view arg) {
    return std::string(arg.substr(0, arg.find('=')));
}

}  // namespace

// getopt_long does the walking (bundled short options, "--name=value",
// options after the arguments, "--" ending the options); this class only
// turns what it reports into TCliOptions and readable refusals.
class TCliOptions::TParser {
  public:
    explicit TParser(const std::vector<std::string>& args) : storage_(args) {
        storage_.insert(storage_.begin(), "kestrify-cli");
        for (std::string& s : storage_) {
            argv_.push_back(s.data());
        }
        argv_.push_back(nullptr);
    }

    TCliOptions Run() {
        const int argc = static_cast<int>(storage_.size());
        optind = 0;  // a fresh scan on every call (GNU getopt)
        opterr = 0;  // refusals are worded here
        int code = 0;
        while ((code = getopt_long(argc, argv_.data(), kShortOptions, kLongOptions, nullptr)) !=
               -1) {
            Option(code, optarg == nullptr ? std::string() : std::string(optarg));
        }
        for (int i = optind; i < argc; ++i) {
            positional_.emplace_back(argv_[static_cast<std::size_t>(i)]);
        }
        if (options_.action != TAction::Convert) {
            return options_;
        }
        Finish();
        return options_;
    }

  private:
    // The argument getopt looked at last.
    std::string Current() const {
        const int i = optind > 0 ? optind - 1 : 0;
        return argv_[static_cast<std::size_t>(i)];
    }

    void Option(int code, const std::string& value) {
        switch (code) {
            case 'h':
                options_.action = TAction::Help;
                break;
            case OptVersion:
                if (options_.action != TAction::Help) {
                    options_.action = TAction::Version;
                }
                break;
            case OptSaveType:
                options_.saveType = WholeNumber("--save-type", value, 0, 1);
                break;
            case OptBackup:
            case OptNoBackup:
                options_.makeBackup = code == OptBackup;
                break;
            case OptMailType:
                options_.mailType = WholeNumber("--mail-type", value, 0, TStoreKind::Count() - 1);
                if (!TStoreKind::IsKnown(*options_.mailType)) {
                    Refuse("--mail-type " + value +
                           " というメールの種類はありません。 (no such kind)");
                }
                break;
            case OptCaFile:
                options_.caFile = value;
                break;
            case OptPasswordFile:
                options_.passwordFile = value;
                break;
            case OptLocation:
                options_.location = value;
                break;
            case OptEncoding:
                Encoding(value);
                break;
            case OptBom:
                options_.byteOrderMark = true;
                break;
            case OptForce:
                options_.force = true;
                break;
            case OptStopOnError:
                options_.stopOnError = true;
                break;
            case OptSafeCells:
                options_.safeCells = true;
                break;
            case OptOnlyNew:
            case OptAll:
                options_.onlyNew = code == OptOnlyNew;  // the last one given counts
                break;
            case OptForget:
                options_.forget = true;
                break;
            case OptFormat:
                Format(value);
                break;
            case 'q':
                options_.quiet = true;
                break;
            case 'j':
                options_.jobs = WholeNumber("--jobs", value, 1, MaxJobs);
                break;
            case ':':
                Refuse(MissingValueName() + " には値が必要です。 (needs a value)");
            default:
                Unknown();
        }
    }

    std::string MissingValueName() const {
        const std::string arg = Current();
        return arg.starts_with("--") ? Spelling(arg) : "-" + std::string(1, char(optopt));
    }

    [[noreturn]] void Unknown() const {
        const std::string arg = Current();
        if (optopt != 0 && IsKnownCode(optopt) && arg.starts_with("--")) {
            Refuse(Spelling(arg) + " は値をとりません。 (takes no value)");
        }
        const std::string name =
            optopt != 0 && !arg.starts_with("--") ? "-" + std::string(1, char(optopt)) : arg;
        Refuse("不明なオプションです: " + name + " (unknown option)");
    }

    void Encoding(std::string text) {
        options_.encodingGiven = true;
        std::ranges::transform(text, text.begin(), sjis::AsciiLower);
        if (text == "sjis" || text == "shift_jis" || text == "cp932") {
            options_.utf8 = false;
        } else if (text == "utf-8" || text == "utf8") {
            options_.utf8 = true;
        } else {
            Refuse("--encoding には sjis か utf-8 を指定してください: '" + text +
                   "' (expects sjis or utf-8)");
        }
    }

    void Format(std::string text) {
        std::ranges::transform(text, text.begin(), sjis::AsciiLower);
        if (text == "csv") {
            options_.format = TFormat::Csv;
        } else if (text == "xlsx") {
            options_.format = TFormat::Xlsx;
        } else {
            Refuse("--format には csv か xlsx を指定してください: '" + text +
                   "' (expects csv or xlsx)");
        }
    }

    void Finish() {
        if (positional_.empty()) {
            Refuse("プロジェクトファイルを指定してください。 (a project file is needed)");
        }
        if (positional_.size() > 2) {
            Refuse("引数が多すぎます: " + positional_[2] + " (too many arguments)");
        }
        options_.project = positional_[0];
        if (positional_.size() == 2) {
            options_.output = positional_[1];
        }
        // An empty name is most likely an unset shell variable: no file is
        // meant, and standard output is "-".
        if (options_.project.empty() || (options_.output && options_.output->empty())) {
            Refuse(
                "空のファイル名は使えません。標準出力には - を指定してください。 (an empty file "
                "name: give a file, or - for standard output)");
        }
        if (options_.byteOrderMark && !options_.utf8) {
            Refuse(
                "--bom は --encoding utf-8 と一緒に指定してください。 (--bom needs --encoding "
                "utf-8)");
        }
    }

    std::vector<std::string> storage_;  // getopt_long reorders argv_, never these texts
    std::vector<char*> argv_;
    std::vector<std::string> positional_;
    TCliOptions options_;
};

TCliOptions TCliOptions::Parse(const std::vector<std::string>& args) {
    return TParser(args).Run();
}

TCliOptions TCliOptions::Parse(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return Parse(args);
}
