#include "ui/rtf/HtmlWriter.h"

#include "ui/rtf/Cp1252.h"

namespace tidyfold::rtf {

namespace {

void AppendEscaped(std::string& out, char32_t cp)
{
    switch (cp) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    default: AppendUtf8(out, cp); break;
    }
}

std::string SpanStyle(const Format& format)
{
    std::string style;
    if (format.bold)
        style += "font-weight:bold;";
    if (format.italic)
        style += "font-style:italic;";
    if (format.underline)
        style += "text-decoration:underline;";
    // Half-points: "\fs23" is 11.5 pt.
    style += "font-size:" + std::to_string(format.halfPoints / 2);
    if (format.halfPoints % 2 != 0)
        style += ".5";
    style += "pt;";
    return style;
}

}  // namespace

void HtmlWriter::OpenParagraph()
{
    if (paragraphOpen_)
        return;
    html_ += "<p style=\"margin-top:0;margin-bottom:0;\">";
    paragraphOpen_ = true;
    paragraphEmpty_ = true;
    lastWasSpace_ = false;
}

void HtmlWriter::UseFormat(const Format& format)
{
    OpenParagraph();
    if (spanOpen_ && spanFormat_ == format)
        return;
    CloseSpan();
    html_ += "<span style=\"" + SpanStyle(format) + "\">";
    spanOpen_ = true;
    spanFormat_ = format;
}

void HtmlWriter::CloseSpan()
{
    if (!spanOpen_)
        return;
    html_ += "</span>";
    spanOpen_ = false;
}

void HtmlWriter::Text(char32_t cp, const Format& format)
{
    UseFormat(format);
    paragraphEmpty_ = false;
    // RTF keeps every space; HTML would collapse a run of them into one.
    const bool space = cp == ' ';
    if (space && lastWasSpace_)
        html_ += "&nbsp;";
    else
        AppendEscaped(html_, cp);
    lastWasSpace_ = space;
}

void HtmlWriter::Tab(const Format& format)
{
    UseFormat(format);
    paragraphEmpty_ = false;
    html_ += "&nbsp;&nbsp;&nbsp;&nbsp;";
    lastWasSpace_ = false;
}

void HtmlWriter::LineBreak(const Format& format)
{
    UseFormat(format);
    paragraphEmpty_ = false;
    html_ += "<br />";
    lastWasSpace_ = false;
}

void HtmlWriter::EndParagraph()
{
    OpenParagraph();
    CloseSpan();
    // An empty paragraph is a blank line in RTF; give it content so the
    // browser keeps its height.
    if (paragraphEmpty_)
        html_ += "&nbsp;";
    html_ += "</p>";
    paragraphOpen_ = false;
}

std::string HtmlWriter::Finish()
{
    if (paragraphOpen_ && !paragraphEmpty_)
        EndParagraph();
    else if (paragraphOpen_)
        html_ += "</p>";
    paragraphOpen_ = false;
    return "<html><body>" + std::move(html_) + "</body></html>";
}

}  // namespace tidyfold::rtf
