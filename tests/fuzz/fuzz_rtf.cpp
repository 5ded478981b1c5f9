// The RTF reader on any bytes: it returns, and what it returns is a document
// of the few tags the writer knows, properly nested, with every piece of text
// escaped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/FuzzCheck.h"
#include "ui/rtf/RtfReader.h"

namespace {

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

// Walks the body: known tags only, spans inside paragraphs, nothing left
// open, and "&" only as the start of an entity.
void CheckBody(std::string_view body) {
    int paragraphs = 0, spans = 0;
    for (std::size_t i = 0; i < body.size();) {
        const char c = body[i];
        if (c == '<') {
            if (StartsWith(body, i, "<p style=\"margin-top:0;margin-bottom:0;\">")) {
                FUZZ_CHECK(paragraphs == 0 && spans == 0, "a paragraph inside a paragraph");
                ++paragraphs;
                i += 41;
            } else if (StartsWith(body, i, "</p>")) {
                FUZZ_CHECK(paragraphs == 1 && spans == 0, "a paragraph closed out of order");
                --paragraphs;
                i += 4;
            } else if (StartsWith(body, i, "<span style=\"")) {
                std::size_t end = body.find("\">", i);
                FUZZ_CHECK(end != std::string_view::npos, "an unterminated span");
                std::string_view style = body.substr(i + 13, end - i - 13);
                FUZZ_CHECK(style.find_first_of("<>\"") == std::string_view::npos, "markup inside a style");
                FUZZ_CHECK(paragraphs == 1 && spans == 0, "a span outside a paragraph or inside a span");
                ++spans;
                i = end + 2;
            } else if (StartsWith(body, i, "</span>")) {
                FUZZ_CHECK(spans == 1, "a span closed that was not open");
                --spans;
                i += 7;
            } else if (StartsWith(body, i, "<br />")) {
                i += 6;
            } else {
                FUZZ_CHECK(false, "an unknown tag: text was not escaped");
            }
        } else if (c == '>' || c == '"') {
            FUZZ_CHECK(false, "an unescaped > or \" in the text");
        } else if (c == '&') {
            std::size_t semicolon = body.find(';', i);
            FUZZ_CHECK(semicolon != std::string_view::npos && semicolon - i <= 10, "a bare &");
            i = semicolon + 1;
        } else {
            ++i;
        }
    }
    FUZZ_CHECK(paragraphs == 0 && spans == 0, "a tag left open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string html = tidyfold::RtfToHtml(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view head = "<html><body>", tail = "</body></html>";
    FUZZ_CHECK(html.size() >= head.size() + tail.size(), "no document");
    FUZZ_CHECK(html.compare(0, head.size(), head) == 0, "the document does not begin as a document");
    FUZZ_CHECK(html.compare(html.size() - tail.size(), tail.size(), tail) == 0, "the document does not end");
    CheckBody(std::string_view(html).substr(head.size(), html.size() - head.size() - tail.size()));
    return 0;
}
