// Settings text of desktop programs, read and changed one line at a time.
#include "platform/linux/ini_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "platform/posix/posix_file_system.h"

namespace vexal {
namespace {

struct Line {
    std::string_view text;  // without its line end
    std::string_view end;   // "\n", "\r\n", or "" on an unfinished last line
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        std::size_t cut = text.find('\n');
        std::size_t next = cut == std::string_view::npos ? text.size() : cut + 1;
        std::size_t body = cut == std::string_view::npos ? text.size() : cut;
        if (body > 0 && text[body - 1] == '\r') --body;
        lines.push_back({text.substr(0, body), text.substr(body, next - body)});
        text.remove_prefix(next);
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// "[name]" gives the section's name; anything else nothing.
bool SectionName(std::string_view line, std::string_view& nameOut) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    nameOut = line.substr(1, close - 1);
    return true;
}

// A "key=value" line (not a comment) gives its key and its value as written.
bool KeyAndValue(std::string_view line, std::string_view& keyOut, std::string_view& valueOut) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#' || trimmed.front() == ';') return false;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    keyOut = Trim(line.substr(0, eq));
    valueOut = Trim(line.substr(eq + 1));
    return !keyOut.empty();
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The UTF-16 units of a UTF-8 string; a byte that is not part of a well-formed character
// stands for itself, as Latin-1.
std::u16string Utf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= utf8.size()) {
                ok = false;
                break;
            }
            const unsigned char t = static_cast<unsigned char>(utf8[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// Collects UTF-16 units, pairing surrogates, as UTF-8.
class Utf16Sink {
public:
    explicit Utf16Sink(std::string& out) : out_(out) {}
    void Unit(char32_t u) {
        if (high_ && u >= 0xDC00 && u < 0xE000) {
            AppendUtf8(out_, 0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
            high_ = 0;
            return;
        }
        Flush();
        if (u >= 0xD800 && u < 0xDC00)
            high_ = u;
        else
            AppendUtf8(out_, u);
    }
    // A byte read as it stands (a file that Qt 6 wrote holds UTF-8).
    void Byte(char b) {
        Flush();
        out_.push_back(b);
    }
    void Flush() {
        if (high_) AppendUtf8(out_, 0xFFFD);
        high_ = 0;
    }

private:
    std::string& out_;
    char32_t high_ = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::map<std::string, std::string> IniSection(std::string_view text, std::string_view section) {
    std::map<std::string, std::string> values;
    bool inside = false;
    for (const Line& line : SplitLines(text)) {
        std::string_view name, key, value;
        if (SectionName(line.text, name)) {
            inside = name == section;
        } else if (inside && KeyAndValue(line.text, key, value)) {
            values[std::string(key)] = std::string(value);
        }
    }
    return values;
}

std::string WithIniValues(std::string_view text, std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& values) {
    const std::vector<Line> lines = SplitLines(text);
    const std::string_view newline = !lines.empty() && lines.front().end == "\r\n" ? "\r\n" : "\n";
    std::set<std::string> written;
    auto missing = [&] {
        std::string block;
        for (const auto& [key, value] : values)
            if (!written.count(key)) block += key + "=" + value + std::string(newline);
        return block;
    };
    std::string out;
    bool inside = false, done = false;
    std::size_t sectionEnd = 0;  // in `out`, after the section's last line that is not blank
    for (const Line& line : lines) {
        const std::string_view end = line.end.empty() ? newline : line.end;
        std::string_view name, key, value;
        if (SectionName(line.text, name)) {
            if (inside) {
                out.insert(sectionEnd, missing());
                done = true;
            }
            // Of a section written twice, the first takes the values.
            inside = !done && name == section;
        } else if (inside && KeyAndValue(line.text, key, value)) {
            const auto wanted =
                std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == key; });
            if (wanted != values.end()) {
                out += wanted->first + "=" + wanted->second;
                out += end;
                written.insert(wanted->first);
                sectionEnd = out.size();
                continue;
            }
        }
        out += line.text;
        out += end;
        if (inside && !Trim(line.text).empty()) sectionEnd = out.size();
    }
    if (inside) {
        out.insert(sectionEnd, missing());
        done = true;
    }
    if (!done) {
        if (!lines.empty() && !Trim(lines.back().text).empty()) out += newline;
        out += "[" + std::string(section) + "]" + std::string(newline) + missing();
    }
    return out;
}

std::string QtIniString(std::string_view utf8) {
    const std::u16string units = Utf16(utf8);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    bool quotes = false, escapeNextIfDigit = false;
    for (const char16_t u : units) {
        if (u == ';' || u == ',' || u == '=') quotes = true;
        const bool hexDigit = u < 0x80 && HexDigit(static_cast<char>(u)) >= 0;
        if (escapeNextIfDigit && hexDigit) {
            // Qt reads every hex digit after "\x" into one unit.
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
            continue;
        }
        escapeNextIfDigit = false;
        switch (u) {
            case 0:
                out += "\\0";
                escapeNextIfDigit = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += static_cast<char>(u);
                break;
            default:
                if (u <= 0x1F || u >= 0x7F) {
                    std::string digits;
                    for (char16_t v = u; v; v >>= 4) digits.insert(digits.begin(), hex[v & 15]);
                    out += "\\x" + digits;
                    escapeNextIfDigit = true;
                } else {
                    out += static_cast<char>(u);
                }
        }
    }
    if (quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = '"' + out + '"';
    return out;
}

bool FromQtIniString(std::string_view written, std::string& utf8Out) {
    utf8Out.clear();
    Utf16Sink sink(utf8Out);
    bool quoted = false, everQuoted = false;
    std::size_t keep = 0;  // bytes of the result that trailing blanks may not take
    std::size_t i = 0;
    while (i < written.size() && (written[i] == ' ' || written[i] == '\t')) ++i;
    while (i < written.size()) {
        const char c = written[i++];
        if (c == '"') {
            quoted = !quoted;
            everQuoted = true;
            if (!quoted)
                while (i < written.size() && (written[i] == ' ' || written[i] == '\t')) ++i;
            sink.Flush();
            keep = utf8Out.size();
        } else if (c == ',' && !quoted) {
            utf8Out.clear();
            return false;  // a list of strings
        } else if (c == '\\') {
            if (i >= written.size()) break;
            const char e = written[i++];
            static const char from[] = "abfnrtv\"?'\\";
            static const char to[] = "\a\b\f\n\r\t\v\"?'\\";
            if (const char* k = std::char_traits<char>::find(from, sizeof from - 1, e)) {
                sink.Unit(static_cast<unsigned char>(to[k - from]));
            } else if (e == 'x' && i < written.size() && HexDigit(written[i]) >= 0) {
                char32_t v = 0;
                while (i < written.size() && HexDigit(written[i]) >= 0)
                    v = ((v << 4) | HexDigit(written[i++])) & 0xFFFF;
                sink.Unit(v);
            }
            keep = utf8Out.size();
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            sink.Byte(c);
        } else {
            sink.Unit(static_cast<unsigned char>(c));
        }
    }
    sink.Flush();
    if (quoted) {
        utf8Out.clear();
        return false;
    }
    if (!everQuoted)
        while (utf8Out.size() > keep && (utf8Out.back() == ' ' || utf8Out.back() == '\t')) utf8Out.pop_back();
    return true;
}

std::string KeyFileString(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' && i == 0)
            out += "\\s";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string FromKeyFileString(std::string_view written) {
    std::string out;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != '\\' || i + 1 == written.size()) {
            out += written[i];
            continue;
        }
        switch (written[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += written[i];
        }
    }
    return out;
}

namespace {

bool MakeParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
    return true;
}

}  // namespace

bool ReplaceFileText(const std::string& path, const std::string& text) {
    // The one replacement the program has: the folder is flushed after the rename too, so
    // the new text is what a power cut leaves.
    PosixFileSystem files;
    return MakeParents(path) && files.ReplaceFile(path, text);
}

std::string ReadFileText(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[16384];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace vexal
