#include "ui/rtf/RtfReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "ui/rtf/Cp1252.h"
#include "ui/rtf/HtmlWriter.h"

namespace tidyfold {

namespace {

using rtf::Format;

// What a group inherits from its parent and drops at its closing brace.
struct GroupState {
    Format format;
    bool skip = false;  // inside a destination whose text is not shown
    int ucSkip = 1;     // fallback characters after each \uN
};

// Destinations that hold no text of the document.
constexpr std::array<std::string_view, 30> kSkippedDestinations = {
    "fonttbl", "colortbl", "stylesheet", "pict", "info", "listtable",
    "listoverridetable", "rsidtbl", "generator", "xmlnstbl", "themedata",
    "colorschememapping", "datastore", "latentstyles", "filetbl", "revtbl",
    "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
    "footerf", "footnote", "annotation", "object", "objdata", "fldinst", "pntext",
};

struct ControlWord {
    std::string_view name;
    bool hasParam = false;
    std::int32_t param = 0;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) { stack_.emplace_back(); }
    std::string Run();

private:
    GroupState& Top() { return stack_.back(); }
    void OpenGroup();
    void CloseGroup();
    void ReadControl();
    ControlWord ReadControlWord();
    void ReadHexEscape();
    void ApplyControlWord(const ControlWord& word);
    bool ApplyFormatting(const ControlWord& word);
    void Unicode(std::int32_t param);
    void SkipBinary(std::int32_t count);
    void Emit(char32_t cp);
    void SkipDestination();
    bool ConsumeFallback();

    std::string_view in_;
    std::size_t pos_ = 0;
    // An explicit stack of groups instead of recursion: deeply nested input
    // only grows this vector.
    std::vector<GroupState> stack_;
    int fallbackLeft_ = 0;           // characters of a \uN fallback still to skip
    char32_t pendingHighSurrogate_ = 0;
    rtf::HtmlWriter out_;
};

std::string Reader::Run()
{
    while (pos_ < in_.size()) {
        const char c = in_[pos_];
        if (c == '{') {
            ++pos_;
            OpenGroup();
        } else if (c == '}') {
            ++pos_;
            CloseGroup();
        } else if (c == '\\') {
            ++pos_;
            ReadControl();
        } else {
            ++pos_;
            // Line ends in RTF source are layout of the file, not text.
            if (c != '\r' && c != '\n')
                Emit(rtf::Cp1252ToUnicode(static_cast<unsigned char>(c)));
        }
    }
    return out_.Finish();
}

void Reader::OpenGroup()
{
    stack_.push_back(Top());
    fallbackLeft_ = 0;
}

void Reader::CloseGroup()
{
    // A stray closing brace never takes away the document's own state.
    if (stack_.size() > 1)
        stack_.pop_back();
    fallbackLeft_ = 0;
}

void Reader::SkipDestination()
{
    // Only a group can be a destination: a stray marker outside every group
    // must not hide the rest of the document.
    if (stack_.size() > 1)
        Top().skip = true;
}

bool Reader::ConsumeFallback()
{
    if (fallbackLeft_ <= 0)
        return false;
    --fallbackLeft_;
    return true;
}

void Reader::Emit(char32_t cp)
{
    if (ConsumeFallback() || Top().skip)
        return;
    if (cp < 0x20)
        return;
    if (pendingHighSurrogate_ != 0) {
        pendingHighSurrogate_ = 0;
        out_.Text(0xFFFD, Top().format);
    }
    out_.Text(cp, Top().format);
}

void Reader::ReadControl()
{
    if (pos_ >= in_.size())
        return;  // a lone backslash at the end
    const char c = in_[pos_];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        const ControlWord word = ReadControlWord();
        if (word.name != "u" && ConsumeFallback())
            return;
        ApplyControlWord(word);
        return;
    }
    ++pos_;
    switch (c) {
    case '\'': ReadHexEscape(); break;
    case '*': SkipDestination(); break;  // an optional destination we do not know
    case '~': Emit(0x00A0); break;
    case '_': Emit(0x2011); break;
    case '\r':
    case '\n':
        if (!Top().skip)
            out_.EndParagraph();
        break;
    case '-': break;  // optional hyphen
    default: Emit(static_cast<unsigned char>(c)); break;  // \\ \{ \} and the like
    }
}

ControlWord Reader::ReadControlWord()
{
    ControlWord word;
    const std::size_t start = pos_;
    // RTF names are at most 32 letters; a longer run is cut there.
    while (pos_ < in_.size() && pos_ - start < 32 &&
           ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
        ++pos_;
    word.name = in_.substr(start, pos_ - start);
    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && in_[pos_ + 1] >= '0' && in_[pos_ + 1] <= '9') {
        negative = true;
        ++pos_;
    }
    std::int64_t value = 0;
    int digits = 0;
    while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
        if (digits++ < 10)
            value = value * 10 + (in_[pos_] - '0');
        ++pos_;
    }
    if (digits > 0) {
        value = std::min<std::int64_t>(value, INT32_MAX);
        word.hasParam = true;
        word.param = static_cast<std::int32_t>(negative ? -value : value);
    }
    // One space ends a control word and belongs to it.
    if (pos_ < in_.size() && in_[pos_] == ' ')
        ++pos_;
    return word;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void Reader::ReadHexEscape()
{
    // A truncated or malformed escape is dropped; what follows it is read as
    // ordinary text.
    if (pos_ >= in_.size())
        return;
    const int high = HexValue(in_[pos_]);
    const int low = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
    if (high < 0 || low < 0)
        return;
    pos_ += 2;
    Emit(rtf::Cp1252ToUnicode(static_cast<unsigned char>(high * 16 + low)));
}

void Reader::ApplyControlWord(const ControlWord& word)
{
    if (std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word.name) !=
        kSkippedDestinations.end()) {
        SkipDestination();
        return;
    }
    if (ApplyFormatting(word))
        return;
    if (word.name == "u") {
        Unicode(word.param);
    } else if (word.name == "uc") {
        Top().ucSkip = std::clamp(word.param, 0, 16);
    } else if (word.name == "bin") {
        SkipBinary(word.param);
    } else if (Top().skip) {
        return;
    } else if (word.name == "par") {
        out_.EndParagraph();
    } else if (word.name == "line") {
        out_.LineBreak(Top().format);
    } else if (word.name == "tab") {
        out_.Tab(Top().format);
    }
}

bool Reader::ApplyFormatting(const ControlWord& word)
{
    Format& f = Top().format;
    const bool on = !word.hasParam || word.param != 0;
    if (word.name == "b") {
        f.bold = on;
    } else if (word.name == "i") {
        f.italic = on;
    } else if (word.name == "ul") {
        f.underline = on;
    } else if (word.name == "ulnone") {
        f.underline = false;
    } else if (word.name == "fs") {
        // Sizes beyond what a reader could want are held to 1..200 pt.
        if (word.hasParam && word.param > 0)
            f.halfPoints = std::clamp(word.param, 2, 400);
    } else if (word.name == "plain") {
        f = Format{};
    } else {
        return false;
    }
    return true;
}

void Reader::Unicode(std::int32_t param)
{
    // \u takes a signed 16-bit number: characters above 32767 come negative.
    const auto unit = static_cast<char32_t>(param < 0 ? param + 65536 : param);
    const int fallback = Top().ucSkip;
    fallbackLeft_ = 0;  // a missing fallback of an earlier \u must not eat this one
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        pendingHighSurrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHighSurrogate_ != 0) {
        const char32_t cp = 0x10000 + ((pendingHighSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        pendingHighSurrogate_ = 0;
        Emit(cp);
    } else {
        Emit(unit > 0xFFFF ? 0xFFFD : unit);
    }
    fallbackLeft_ = fallback;
}

void Reader::SkipBinary(std::int32_t count)
{
    if (count <= 0)
        return;
    pos_ = std::min(in_.size(), pos_ + static_cast<std::size_t>(count));
}

}  // namespace

std::string RtfToHtml(std::string_view rtf)
{
    return Reader(rtf).Run();
}

}  // namespace tidyfold
