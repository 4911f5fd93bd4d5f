// Socket error and HTTP status texts.
#include "net/status_texts.h"

#include <gtest/gtest.h>

#include <set>

namespace vexal {
namespace {

TEST(SocketErrorTextTest, ListedAndUnlistedNumbers) {
    const std::pair<std::int16_t, const char*> rows[] = {
        {7, "メモリが足りません。"},
        {10036, "ブロック化を行う Winsock 処理が進行中です。"},
        {10050, "ネットワーク サブシステムが失敗しました。"},
        {10052, "SO_KEEPALIVE が設定されており、接続のタイムアウトが発生しました。"},
        {10054, "接続がリモート側のマシンからリセットされました。"},
        {10058, "ソケットは終了しています。"},
        {10060, "ソケットは終了しました。"},
        {10043, "指定したポートがサポートされていません。"},
        {10061, "接続が強制的に拒絶されました。"},
        {10093, "まず WinsockInit を呼び出す必要があります。"},
        {11001, "正式応答。ホストが見つかりません。"},
        {11002, "非正式応答。ホストが見つかりません。"},
        {11053, "タイムアウトその他の不具合で接続処理が中止されました。"},
        {12045, "接続先の証明書を確認できませんでした。"},
        {12157, "暗号化通信を確立できませんでした。"},
        {0, "(vexal)不明なエラーです。"},
        {-1, "(vexal)不明なエラーです。"},
        {10053, "(vexal)不明なエラーです。"},
        {10059, "(vexal)不明なエラーです。"},
        {11000, "(vexal)不明なエラーです。"},
        {32767, "(vexal)不明なエラーです。"},
    };
    for (auto [number, text] : rows) EXPECT_EQ(SocketErrorText(Language::Japanese, number), text) << number;
}

TEST(SocketErrorTextTest, EveryListedNumberHasItsOwnText) {
    const std::int16_t listed[] = {7,     380,   383,   394,   10004, 10014, 10035, 10036,
                                   10037, 10038, 10040, 10043, 10048, 10049, 10050, 10051,
                                   10052, 10054, 10055, 10056, 10057, 10058, 10060, 10061,
                                   10093, 11001, 11002, 11003, 11004, 11053, 12045, 12157};
    for (const Language language : {Language::Japanese, Language::English}) {
        std::set<std::string> seen;
        for (std::int16_t n : listed) {
            const std::string text = SocketErrorText(language, n);
            EXPECT_NE(text, SocketErrorText(language, 0)) << n;
            EXPECT_TRUE(seen.insert(text).second) << n << " repeats " << text;
            if (language == Language::English) {
                EXPECT_NE(text, SocketErrorText(Language::Japanese, n)) << n;
            }
        }
    }
}

TEST(HttpStatusTextTest, CodeSpaceReason) {
    const std::pair<std::int16_t, const char*> rows[] = {
        {200, "200 OK"},
        {301, "301 Moved Permanently"},
        {302, "302 Moved Temporarily"},
        {307, "307 "},
        {500, "500 Internal Server Error"},
        {503, "503 Service Unavailable"},
        {203, "203 Non-Authoritative Information"},
        {404, "404 Not Found"},
        {414, "414 Request-URI Too Long"},
        {505, "505 HTTP Version Not Supported"},
        {418, "418 "},
        {999, "999 "},
        {306, "306 "},
        {0, "0 "},
        {-5, "-5 "},
    };
    for (auto [code, text] : rows) EXPECT_EQ(HttpStatusText(code), text) << code;
}

}  // namespace
}  // namespace vexal
