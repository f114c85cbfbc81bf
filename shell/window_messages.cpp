#include "shell/window_messages.h"

#include <cstdio>

#include "core/loaded_data.h"

namespace {

// The loaders' problems, shown after the file's name as "NAME は TEXT ".
const char* const LoadProblemTexts[LoadProblemCount] = {
    "ヘッダがありません。",
    "ヘッダが不正です。",
    "ファイルサイズ指定がありません。",
    "フォーマット指定がありません。",
    "フォーマットが不正です。",
    "構造体のサイズ指定がありません。",
    "構造体がありません。",
    "\"data\"がありません。",
    "データの長さ指定がありません。",
    "データの長さが不足しています。",
    "メモリの割り当てに失敗しました。",
    "データが途中で切れています。",
    "モノラル８ビットでありません。",
};

// `pattern` with the file's name in place of its first "%s".
std::string named(const char* pattern, const char* name)
{
    std::string text(pattern);
    if (name) {
        std::string::size_type at = text.find("%s");
        if (at != std::string::npos) text.replace(at, 2, name);
    }
    return text;
}

// `pattern` with the number and then the detail in place of its "%d" and "%s".
std::string numbered(const char* pattern, int number, const char* detail)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, number, detail ? detail : "");
    return text;
}

}  // namespace

std::string windowMessageText(const Message& m)
{
    switch (m.id) {
    case MessageId::WrongEnding: return named("%s は拡張子が不正です。", m.file);
    case MessageId::CannotOpen: return named("%s を開けません。", m.file);
    case MessageId::TooQuiet: return named("%s は音量が足りません", m.file);
    case MessageId::CannotWrite: return named("%s は書き込めません", m.file);
    case MessageId::TooLarge: return named("%s は大きすぎます。", m.file);
    case MessageId::LoadProblem:
        if (m.number < 0 || m.number >= LoadProblemCount) return named("%s は ", m.file);
        return named("%s は ", m.file) + LoadProblemTexts[m.number] + " ";
    case MessageId::NoProgramFolder:
        return "ファイルのパス情報がありません。\n続行できますが、作者に状況を報告してください。";
    case MessageId::SettingsMissing: return "INI ファイルが見つかりません。\nデフォルトで作成します。";
    case MessageId::SettingsEmpty: return "データが存在しません。\nデフォルトで作成しなおします。";
    case MessageId::SettingsForeign:
        return "これは「Hibarion」\nの INI データではありません。\nデフォルトで作成しなおします。";
    case MessageId::SettingsLineMissing:
        return numbered("%d 行目が存在しません。\nデフォルトで作成しなおします。", m.number, m.detail);
    case MessageId::SettingsWrongKey:
        return numbered("%d 行目が %s の項目でありません。\nデフォルトで作成しなおします。", m.number,
                        m.detail);
    case MessageId::SettingsRowMissing:
        return numbered("%d 行目がありません。\nデフォルトで作成します。", m.number, m.detail);
    case MessageId::SettingsRowInvalid:
        return numbered("Kawasemi の %d 行目が不正です。\nデフォルトで作成します。", m.number, m.detail);
    case MessageId::SettingsCannotWrite:
        return "INI ファイルを書き込めません。\nファイルの属性を確認してください。";
    }
    return "";
}
