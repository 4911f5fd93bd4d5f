// The entry point's logic, independent of any front end: it sits on top of the core.
#include "app/startup.h"

#include "host/console.h"
#include "settings/settings_file.h"
#include "text/case.h"

namespace vexal {

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) line.push_back(' ');
        line += args[i];
    }
    return line;
}

std::vector<std::string> CutTokens(std::string_view commandLine) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (true) {
        std::size_t blank = commandLine.find(' ', start);
        if (blank == std::string_view::npos) {
            tokens.emplace_back(commandLine.substr(start));
            return tokens;
        }
        tokens.emplace_back(commandLine.substr(start, blank - start));
        start = blank + 1;
    }
}

namespace {
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool Fail(Program& program, Host& host, const std::string& text) {
    ShowError(program, *host.dialogs, text);
    host.process->End(kExitFailure);
    return false;
}
}  // namespace

std::string UsageText(const Program& program) {
    return "使い方:\n"
           "  vexal                     登録項目の編集画面を開きます。\n"
           "  vexal 識別子 [-preview]   その識別子の項目から壁紙を変更します。識別子の\n"
           "                            大文字と小文字は区別しません。-preview を付けると、\n"
           "                            先に画像をプレビューで表示します。\n"
           "  vexal -wp URL/ファイル    その画像を直接壁紙にします(スタイルはそのまま)。\n"
           "  vexal --help              この説明を表示します。\n"
           "  vexal --version           バージョンを表示します。\n"
           "\n"
           "オプションは - または / で始まり、大文字と小文字を区別しません。コマンドラインは\n"
           "空白ごとに区切られ、引用符は使えないため、-wp に渡すパスには空白を含められません。\n"
           "設定ファイル " +
           program.SettingsFileName +
           " は現在のフォルダーから読みます。\n"
           "\n"
           "画面がないとき、または VEXAL_NONINTERACTIVE=1 のときは、メッセージボックスの代わりに\n"
           "「タイトル: 本文」の1行を標準エラー出力に書き(エラーのタイトルは " +
           program.TitleText +
           "、\n"
           "お知らせは vexal)、問い合わせにはキャンセル/いいえ/空欄で答えます。\n"
           "\n"
           "終了ステータス: 壁紙を変更したときとエディタを閉じたとき(終了ボタンは保存してから、\n"
           "閉じるボタンは保存せずに閉じます)は 0、失敗または取り消しのときは 1 です。\n";
}

bool ParseCommandLine(Program& program, Host& host, std::string_view commandLine) {
    if (commandLine.empty()) return true;
    program.ShowPreview = false;
    const std::vector<std::string> tokens = CutTokens(commandLine);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if (token.empty()) continue;
        const char first = token[0];
        // The two options a Linux user tries first, and the short ones a Windows user tries
        // first ("/?", "-h"). Only these: any other option, "--" ones included, keeps its
        // message.
        const std::string lower = ToLower(token);
        const bool help = lower == "--help" || ((first == '-' || first == '/') &&
                                                (lower.substr(1) == "?" || lower.substr(1) == "h"));
        if (help || lower == "--version") {
            if (host.console) host.console->Print(help ? UsageText(program) : program.TitleText + "\n");
            host.process->End(kExitSuccess);
            return false;
        }
        if (IsAsciiLetter(first)) {
            const std::string wanted = ToLower(token);
            bool found = false;
            for (std::int32_t k = 1; k <= program.EntryCount(); ++k) {
                if (ToLower(program.SiteEntries[k].Name) == wanted) {
                    program.RunMode = RunModeValue::Entry;
                    program.SiteEntries[0] = program.SiteEntries[k];
                    found = true;
                    break;
                }
            }
            if (!found) return Fail(program, host, "指定された識別子 " + token + " が見つかりません。");
        } else if (first == '-' || first == '/') {
            const std::string option = ToLower(std::string_view(token).substr(1));
            if (option == "wp") {
                if (i + 1 == tokens.size())
                    return Fail(program, host,
                                "-wp オプションにはサブオプションとして URL/ファイル が必要です。");
                ++i;
                program.RunMode = RunModeValue::Direct;
                program.ChosenImage = tokens[i];
            } else if (option == "preview") {
                program.ShowPreview = true;
            } else {
                return Fail(program, host, "起動時オプション " + token + " が無効です。");
            }
        } else {
            return Fail(program, host, "起動時オプション " + token + " が無効です。");
        }
    }
    return true;
}

void Main(Program& program, Host& host, FrontEnd& frontEnd, std::string_view commandLine, int majorVersion,
          int minorVersion) {
    InitGlobals(program, majorVersion, minorVersion);
    LoadSettings(program, *host.files);
    if (!ParseCommandLine(program, host, commandLine)) return;
    switch (program.RunMode) {
        case RunModeValue::Editor:
            frontEnd.ShowEditor();
            break;
        case RunModeValue::Entry:
            frontEnd.RunRetrieval(true);
            break;
        case RunModeValue::Direct:
            frontEnd.RunRetrieval(false);
            break;
        default:
            break;
    }
}

}  // namespace vexal
