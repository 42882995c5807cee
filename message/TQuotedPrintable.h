#pragma once
// Quoted-printable (RFC 2045) between a byte stream and a list of text lines, one paragraph
// (the bytes between two line ends) at a time, with lines wrapped at 65 characters.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TStream;

class TQuotedPrintable {
public:
    // A paragraph of this many bytes or more is refused in both directions.
    static constexpr std::size_t kParagraphMax = 24576;
    static constexpr std::size_t kWrapWidth = 65;

    // Neither the stream nor the lines are owned; both must outlive the object.
    TQuotedPrintable(TStream &stream, std::vector<std::string> &lines)
        : Stream(stream), Lines(lines) {}

    // Reads Stream from its start and appends its paragraphs to Lines as encoded lines. A
    // CR LF or LF CR pair, or a lone CR or LF, ends a paragraph; the last byte of the stream
    // is always part of the text. Raises Exception "Paragraph is too large".
    void Encode();
    // Decodes Lines into Stream at its position: every line ends in CR LF unless it ends in
    // a soft break "=" (it then joins the next) or in the end-of-file character 26. Raises
    // Exception "Paragraph is too large".
    void Decode();

    TStream &Stream;
    std::vector<std::string> &Lines;
};

// Appends the decoding of one line (no line end added) to out: "=" and two hexadecimal
// digits of either case become that byte; any other "=" stays. The last character never
// starts an escape, so a soft break "=" stays in place.
void QPDecodeLine(std::string_view text, std::string &out);

// "=" followed by the upper-case hexadecimal code for every character below 32, "=" and
// every character of 128 and above; blanks stay.
void QPEncodeLine(std::string_view text, std::string &out);

// Splits one paragraph into encoded lines of at most kWrapWidth characters of text, breaking
// before a blank where there is one; every line but the last ends in a soft break "=".
void QPWrapParagraph(std::string_view paragraph, std::vector<std::string> &lines);

// Short text: the quoted-printable decoding of one line, up to its first line end, without
// a trailing soft break; used for Q-encoded words.
std::string QPDecodeText(std::string_view text);

} // namespace vexil
