#pragma once

#include <string>

namespace tidyfold::rtf {

// The character formatting that the reader keeps.
struct Format {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;  // RTF's default size, 12 pt

    bool operator==(const Format&) const = default;
};

// Builds the HTML: one <p> per paragraph, one <span> per run of equally
// formatted text. Everything it is given is escaped.
class HtmlWriter {
public:
    void Text(char32_t cp, const Format& format);
    void Tab(const Format& format);
    void LineBreak(const Format& format);
    void EndParagraph();
    // Closes what is open and returns the document.
    std::string Finish();

private:
    void OpenParagraph();
    void UseFormat(const Format& format);
    void CloseSpan();

    std::string html_;
    bool paragraphOpen_ = false;
    bool paragraphEmpty_ = true;
    bool spanOpen_ = false;
    bool lastWasSpace_ = false;
    Format spanFormat_;
};

}  // namespace tidyfold::rtf
