#include "message/TQuotedPrintable.h"

#include "platform/Exception.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"
#include "platform/TStream.h"

namespace vexil {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

[[noreturn]] void ThrowParagraphTooLarge() {
    throw Exception("Paragraph is too large");
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

std::string ReadWholeStream(TStream &stream) {
    stream.SetPosition(0);
    std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

} // namespace

void QPDecodeLine(std::string_view text, std::string &out) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '=' && i + 2 < n) {
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        out += c;
        ++i;
    }
}

void QPEncodeLine(std::string_view text, std::string &out) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == '=' || c >= 128) {
            out += '=';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        } else {
            out += ch;
        }
    }
}

void QPWrapParagraph(std::string_view paragraph, std::vector<std::string> &lines) {
    const std::size_t end = paragraph.size();
    std::size_t p = 0;
    for (;;) {
        std::size_t q = p + TQuotedPrintable::kWrapWidth;
        const bool last = q >= end;
        if (last) {
            q = end;
        } else {
            while (q > p && paragraph[q] != ' ')
                --q;
            if (q == p)
                q = p + TQuotedPrintable::kWrapWidth;
        }
        std::string line;
        QPEncodeLine(paragraph.substr(p, q - p), line);
        if (!last)
            line += '=';
        lines.push_back(std::move(line));
        if (last)
            return;
        p = q;
    }
}

void TQuotedPrintable::Encode() {
    const std::string bytes = ReadWholeStream(Stream);
    const std::size_t n = bytes.size();
    const std::string_view text(bytes);
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t stop = pos;
        while (stop < n && !IsLineEnd(text[stop]))
            ++stop;
        std::size_t next = stop + 1;
        if (stop + 1 == n) {
            // The very last byte belongs to the text, even as a line end.
            stop = n;
            next = n;
        } else if (stop + 1 < n) {
            const char a = text[stop], b = text[stop + 1];
            // A CR LF or LF CR pair is one line end; two equal ones are two, so blank lines
            // in text with bare line ends survive.
            if (IsLineEnd(b) && a != b)
                ++next;
        }
        if (stop - pos >= kParagraphMax)
            ThrowParagraphTooLarge();
        QPWrapParagraph(text.substr(pos, stop - pos), Lines);
        ProcessPendingMessages();
        pos = next;
    }
}

void TQuotedPrintable::Decode() {
    std::string paragraph;
    paragraph.reserve(kParagraphMax);
    std::string piece;
    std::size_t i = 0;
    while (i < Lines.size()) {
        paragraph.clear();
        while (i < Lines.size()) {
            const std::string_view raw = Lines[i++];
            // A soft break is a literal "=" at the end of the encoded line; testing the
            // decoded text instead would take an escaped "=3D" there for one.
            const bool soft = !raw.empty() && raw.back() == '=';
            piece.clear();
            QPDecodeLine(soft ? raw.substr(0, raw.size() - 1) : raw, piece);
            if (!soft && (piece.empty() || piece.back() != '\x1a'))
                piece += "\r\n";
            if (paragraph.size() + piece.size() + 1 >= kParagraphMax)
                ThrowParagraphTooLarge();
            paragraph += piece;
            if (!soft)
                break;
        }
        Stream.Write(paragraph);
        ProcessPendingMessages();
    }
}

std::string QPDecodeText(std::string_view text) {
    text = text.substr(0, kShortTextMax);
    if (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    std::string out;
    QPDecodeLine(text, out);
    const std::size_t end = out.find_first_of("\r\n");
    if (end != std::string::npos)
        out.resize(end);
    CutToShortText(out);
    return out;
}

} // namespace vexil
