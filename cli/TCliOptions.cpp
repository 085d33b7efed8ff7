#include "TCliOptions.h"

#include <charconv>

#include "TUsageError.h"

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

}  // namespace

// Walks the arguments once; options may stand before, between and after the
// two positional arguments, and "--" ends the options.
class TCliOptions::TParser {
  public:
    explicit TParser(const std::vector<std::string>& args) : args_(args) {}

    TCliOptions Run() {
        bool optionsEnded = false;
        for (pos_ = 0; pos_ < args_.size(); ++pos_) {
            const std::string& arg = args_[pos_];
            if (!optionsEnded && arg == "--") {
                optionsEnded = true;
            } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
                Option(arg);
            } else {
                positional_.push_back(arg);
            }
        }
        if (options_.action != TAction::Convert) {
            return options_;
        }
        Finish();
        return options_;
    }

  private:
    void Option(const std::string& arg) {
        std::string name = arg;
        std::optional<std::string> inlineValue;
        const std::size_t eq = arg.find('=');
        if (arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue) {
                return *inlineValue;
            }
            if (pos_ + 1 >= args_.size()) {
                Refuse(name + " には値が必要です。 (needs a value)");
            }
            return args_[++pos_];
        };
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                Refuse(name + " は値をとりません。 (takes no value)");
            }
            target = true;
        };
        bool on = false;
        if (name == "-h" || name == "--help") {
            flag(on);
            options_.action = TAction::Help;
        } else if (name == "--version") {
            flag(on);
            if (options_.action != TAction::Help) {
                options_.action = TAction::Version;
            }
        } else if (name == "--save-type") {
            options_.saveType = WholeNumber(name, value(), 0, 1);
        } else if (name == "--backup" || name == "--no-backup") {
            flag(on);
            options_.makeBackup = name == "--backup";
        } else if (name == "--mail-type") {
            options_.mailType = WholeNumber(name, value(), 0, 5);
        } else if (name == "--location") {
            options_.location = value();
        } else if (name == "--encoding") {
            Encoding(name, value());
        } else if (name == "--bom") {
            flag(options_.byteOrderMark);
        } else if (name == "--force") {
            flag(options_.force);
        } else if (name == "--stop-on-error") {
            flag(options_.stopOnError);
        } else if (name == "-q" || name == "--quiet") {
            flag(options_.quiet);
        } else if (name == "-j" || name == "--jobs") {
            options_.jobs = WholeNumber(name, value(), 1, MaxJobs);
        } else {
            Refuse("不明なオプションです: " + arg + " (unknown option)");
        }
    }

    void Encoding(const std::string& name, std::string text) {
        options_.encodingGiven = true;
        for (char& c : text) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (text == "sjis" || text == "shift_jis" || text == "cp932") {
            options_.utf8 = false;
        } else if (text == "utf-8" || text == "utf8") {
            options_.utf8 = true;
        } else {
            Refuse(name + " には sjis か utf-8 を指定してください: '" + text +
                   "' (expects sjis or utf-8)");
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
        if (options_.byteOrderMark && !options_.utf8) {
            Refuse(
                "--bom は --encoding utf-8 と一緒に指定してください。 (--bom needs --encoding "
                "utf-8)");
        }
    }

    const std::vector<std::string>& args_;
    std::size_t pos_ = 0;
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
