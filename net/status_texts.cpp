// The texts a failed transfer shows: socket error numbers and rejected HTTP statuses.
#include "net/status_texts.h"

namespace vexal {

std::string SocketErrorText(std::int16_t number) {
    switch (number) {
        case 7:  // out of memory
            return "メモリが足りません。";
        case 380:  // invalid property value
            return "プロパティの値が正しくありません。";
        case 383:  // property is read-only
            return "このプロパティは値の取得のみ可能です。";
        case 394:  // property cannot be read
            return "プロパティを読み取れません。";
        case 10004:  // operation cancelled
            return "処理がキャンセルされました。";
        case 10014:  // broadcast address without the broadcast flag
            return "要求されたアドレスはブロードキャストアドレスですが、フラグが設定されていません。";
        case 10035:  // operation would block on a non-blocking socket
            return "ソケットはブロック化処理を行いませんが、指定された処理はブロック化を行います。";
        case 10036:  // a blocking operation is in progress
            return "ブロック化を行う Winsock 処理が進行中です。";
        case 10037:  // operation already complete
            return "処理が完了しました。進行中のブロック化処理はありません。";
        case 10038:  // descriptor is not a socket
            return "記述子がソケットではありません。";
        case 10040:  // datagram too large, truncated
            return "データグラムが大きすぎてバッファ内に納まらず、切り詰められました。";
        case 10043:  // port not supported
            return "指定したポートがサポートされていません。";
        case 10048:  // address in use
            return "アドレスが使用中です。";
        case 10049:  // address not available on the local machine
            return "アドレスをローカルマシンから取得できません。";
        case 10050:  // network subsystem failed
            return "ネットワーク サブシステムが失敗しました。";
        case 10051:  // network unreachable
            return "現時点ではこのホストからネットワークにアクセスできません。";
        case 10052:  // keep-alive timeout on the connection
            return "SO_KEEPALIVE が設定されており、接続のタイムアウトが発生しました。";
        case 10054:  // connection reset by the remote machine
            return "接続がリモート側のマシンからリセットされました。";
        case 10055:  // no buffer space
            return "使用できるバッファ領域がありません。";
        case 10056:  // already connected
            return "ソケットは既に接続されています。";
        case 10057:  // not connected
            return "ソケットは接続されていません。";
        case 10058:  // socket shut down
            return "ソケットは終了しています。";
        case 10060:  // connection timed out
            return "ソケットは終了しました。";
        case 10061:  // connection refused
            return "接続が強制的に拒絶されました。";
        case 10093:  // socket library not initialised
            return "まず WinsockInit を呼び出す必要があります。";
        case 11001:  // host not found (authoritative answer)
            return "正式応答。ホストが見つかりません。";
        case 11002:  // host not found (non-authoritative answer, try again)
            return "非正式応答。ホストが見つかりません。";
        case 11003:  // non-recoverable name-service error
            return "回復不能なエラーです。";
        case 11004:  // valid name, no data record of the requested type
            return "名前は有効ですが、要求された型のデータレコードがありません。";
        case 11053:  // connection aborted by a timeout or other failure
            return "タイムアウトその他の不具合で接続処理が中止されました。";
        case 12045:  // the server's certificate is not trusted, expired or for another host
            return "接続先の証明書を確認できませんでした。";
        case 12157:  // the encrypted channel could not be set up
            return "暗号化通信を確立できませんでした。";
        default:
            return "(vexal)不明なエラーです。";
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
