// The texts a failed transfer shows: socket error numbers and rejected HTTP statuses.
#include "net/status_texts.h"

namespace vexal {

namespace {
const char* Either(Language language, const char* japanese, const char* english) {
    return language == Language::English ? english : japanese;
}
}  // namespace

std::string SocketErrorText(Language language, std::int16_t number) {
    switch (number) {
        case 7:  // out of memory
            return Either(language, "メモリが足りません。", "Not enough memory.");
        case 380:  // invalid property value
            return Either(language, "プロパティの値が正しくありません。", "Invalid property value.");
        case 383:  // property is read-only
            return Either(language, "このプロパティは値の取得のみ可能です。", "This property is read-only.");
        case 394:  // property cannot be read
            return Either(language, "プロパティを読み取れません。", "The property cannot be read.");
        case 10004:  // operation cancelled
            return Either(language, "処理がキャンセルされました。", "The operation was cancelled.");
        case 10014:  // broadcast address without the broadcast flag
            return Either(language,
                          "要求されたアドレスはブロードキャストアドレスですが、フラグが設定されていません。",
                          "The address asked for is a broadcast address, but the broadcast flag is not set.");
        case 10035:  // operation would block on a non-blocking socket
            return Either(language,
                          "ソケットはブロック化処理を行いませんが、指定された処理はブロック化を行います。",
                          "The socket does not block, but the operation asked for would block.");
        case 10036:  // a blocking operation is in progress
            return Either(language, "ブロック化を行う Winsock 処理が進行中です。",
                          "A blocking Winsock operation is in progress.");
        case 10037:  // operation already complete
            return Either(language, "処理が完了しました。進行中のブロック化処理はありません。",
                          "The operation has completed; no blocking operation is in progress.");
        case 10038:  // descriptor is not a socket
            return Either(language, "記述子がソケットではありません。", "The descriptor is not a socket.");
        case 10040:  // datagram too large, truncated
            return Either(language, "データグラムが大きすぎてバッファ内に納まらず、切り詰められました。",
                          "The datagram was too large for the buffer and was truncated.");
        case 10043:  // port not supported
            return Either(language, "指定したポートがサポートされていません。",
                          "The port given is not supported.");
        case 10048:  // address in use
            return Either(language, "アドレスが使用中です。", "The address is in use.");
        case 10049:  // address not available on the local machine
            return Either(language, "アドレスをローカルマシンから取得できません。",
                          "The address is not available on this machine.");
        case 10050:  // network subsystem failed
            return Either(language, "ネットワーク サブシステムが失敗しました。",
                          "The network subsystem failed.");
        case 10051:  // network unreachable
            return Either(language, "現時点ではこのホストからネットワークにアクセスできません。",
                          "The network cannot be reached from this host at the moment.");
        case 10052:  // keep-alive timeout on the connection
            return Either(language, "SO_KEEPALIVE が設定されており、接続のタイムアウトが発生しました。",
                          "SO_KEEPALIVE is set, and the connection timed out.");
        case 10054:  // connection reset by the remote machine
            return Either(language, "接続がリモート側のマシンからリセットされました。",
                          "The connection was reset by the remote machine.");
        case 10055:  // no buffer space
            return Either(language, "使用できるバッファ領域がありません。", "No buffer space is available.");
        case 10056:  // already connected
            return Either(language, "ソケットは既に接続されています。", "The socket is already connected.");
        case 10057:  // not connected
            return Either(language, "ソケットは接続されていません。", "The socket is not connected.");
        case 10058:  // socket shut down
            return Either(language, "ソケットは終了しています。", "The socket has been shut down.");
        case 10060:  // connection timed out
            return Either(language, "ソケットは終了しました。", "The socket timed out.");
        case 10061:  // connection refused
            return Either(language, "接続が強制的に拒絶されました。", "The connection was refused.");
        case 10093:  // socket library not initialised
            return Either(language, "まず WinsockInit を呼び出す必要があります。",
                          "WinsockInit must be called first.");
        case 11001:  // host not found (authoritative answer)
            return Either(language, "正式応答。ホストが見つかりません。",
                          "Authoritative answer: host not found.");
        case 11002:  // host not found (non-authoritative answer, try again)
            return Either(language, "非正式応答。ホストが見つかりません。",
                          "Non-authoritative answer: host not found.");
        case 11003:  // non-recoverable name-service error
            return Either(language, "回復不能なエラーです。", "A non-recoverable error occurred.");
        case 11004:  // valid name, no data record of the requested type
            return Either(language, "名前は有効ですが、要求された型のデータレコードがありません。",
                          "The name is valid, but there is no data record of the type asked for.");
        case 11053:  // connection aborted by a timeout or other failure
            return Either(language, "タイムアウトその他の不具合で接続処理が中止されました。",
                          "The connection was aborted by a timeout or another failure.");
        case 12045:  // the server's certificate is not trusted, expired or for another host
            return Either(language, "接続先の証明書を確認できませんでした。",
                          "The server's certificate could not be verified.");
        case 12157:  // the encrypted channel could not be set up
            return Either(language, "暗号化通信を確立できませんでした。",
                          "A secure connection could not be established.");
        default:
            return Either(language, "(vexal)不明なエラーです。", "(vexal) Unknown error.");
    }
}

namespace {
const char* ReasonPhrase(std::int16_t code) {
    switch (code) {
        case 100:
            return "Continue";
        case 101:
            return "Switching Protocols";
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 202:
            return "Accepted";
        case 203:
            return "Non-Authoritative Information";
        case 204:
            return "No Content";
        case 205:
            return "Reset Content";
        case 206:
            return "Partial Content";
        case 300:
            return "Multiple Choices";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Moved Temporarily";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 305:
            return "Use Proxy";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 402:
            return "Payment Required";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 406:
            return "Not Acceptable";
        case 407:
            return "Proxy Authentication Required";
        case 408:
            return "Request Timeout";
        case 409:
            return "Conflict";
        case 410:
            return "Gone";
        case 411:
            return "Length Required";
        case 412:
            return "Precondition Failed";
        case 413:
            return "Request Entity Too Large";
        case 414:
            return "Request-URI Too Long";
        case 415:
            return "Unsupported Media Type";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return "";
    }
}
}  // namespace

std::string HttpStatusText(std::int16_t code) { return std::to_string(code) + " " + ReasonPhrase(code); }

}  // namespace vexal
