#include "base/XmlDepth.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "base/text.h"

// The measurement walks the text the way TinyXML's parser does (same skips,
// same entity and multi-byte rules, same places where it gives up), but with
// an explicit list of open elements instead of recursion. Where the parser
// stops on an error the walk stops too: the parser goes no deeper after that.
// The character classes are the runtime's own (isspace, isalpha, isalnum in
// the "C" locale, which this program never changes), as the parser uses them.

namespace base {
namespace {

// The parser's null position: it gave up there.
constexpr size_t kNone = static_cast<size_t>(-1);

constexpr unsigned char kFirstNonAsciiLetter = 127;  // the parser counts every byte from here on as a letter
constexpr unsigned char kTwoByteLeadFirst = 0xC2;  // the parser takes no overlong two-byte leads
constexpr unsigned char kThreeByteLeadFirst = utf8::kThreeByteLead;
constexpr unsigned char kFourByteLeadFirst = utf8::kFourByteLead;
constexpr unsigned char kFourByteLeadLast = 0xF4;
constexpr unsigned char kMarkLead = 0xEF;
constexpr unsigned char kBomSecond = 0xBB;
constexpr unsigned char kBomThird = 0xBF;
constexpr unsigned char kNonCharSecond = 0xBF;
constexpr unsigned char kNonCharThirdA = 0xBE;
constexpr unsigned char kNonCharThirdB = 0xBF;
constexpr uint32_t kHexBase = 16;
constexpr uint32_t kDecimalBase = 10;
constexpr uint32_t kHexLetterValue = 10;

struct NamedEntity {
    std::string_view text;
    char value;
};
constexpr NamedEntity kNamedEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

enum class Encoding { Unknown, Utf8, Legacy };

// Bytes of a UTF-8 sequence by its lead byte, as the parser's table has them
// (1 for anything it does not take as a lead byte).
size_t SequenceLength(unsigned char lead) {
    if (lead >= kTwoByteLeadFirst && lead < kThreeByteLeadFirst) return 2;
    if (lead >= kThreeByteLeadFirst && lead < kFourByteLeadFirst) return 3;
    if (lead >= kFourByteLeadFirst && lead <= kFourByteLeadLast) return 4;
    return 1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

// A declaration without an encoding means UTF-8; the parser also takes any
// name that begins with "UTF-8" or "UTF8" (any case) as UTF-8.
Encoding DeclaredEncoding(std::string_view name) {
    return (name.empty() || StartsWithNoCase(name, "UTF-8") || StartsWithNoCase(name, "UTF8")) ? Encoding::Utf8
                                                                                             : Encoding::Legacy;
}

bool IsWhiteSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0 || c == '\n' || c == '\r'; }
bool IsLetter(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= kFirstNonAsciiLetter || std::isalpha(b) != 0;
}
bool IsLetterOrDigit(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= kFirstNonAsciiLetter || std::isalnum(b) != 0;
}
bool IsNameStart(char c) { return IsLetter(c) || c == '_'; }
bool IsNameChar(char c) { return IsLetterOrDigit(c) || c == '_' || c == '-' || c == '.' || c == ':'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + static_cast<int>(kHexLetterValue);
    if (c >= 'A' && c <= 'F') return c - 'A' + static_cast<int>(kHexLetterValue);
    return -1;
}

// The parser's conversion of a character reference to UTF-8 (nothing for
// values it cannot encode).
void AppendUtf8(uint32_t code, std::string& out) {
    constexpr uint32_t kOneByteEnd = 0x80, kTwoByteEnd = 0x800, kThreeByteEnd = 0x10000, kFourByteEnd = 0x200000;
    constexpr unsigned char kFirstMarks[] = {0x00, 0x00, utf8::kTwoByteLead, utf8::kThreeByteLead, utf8::kFourByteLead};
    using utf8::kBitsPerContinuation, utf8::kContinuationBits, utf8::kContinuationMark;
    size_t length = 0;
    if (code < kOneByteEnd) {
        length = 1;
    } else if (code < kTwoByteEnd) {
        length = 2;
    } else if (code < kThreeByteEnd) {
        length = 3;
    } else if (code < kFourByteEnd) {
        length = 4;
    } else {
        return;
    }
    char bytes[4] = {};
    for (size_t i = length - 1; i > 0; --i) {
        bytes[i] = static_cast<char>((code & kContinuationBits) | kContinuationMark);
        code >>= kBitsPerContinuation;
    }
    bytes[0] = static_cast<char>(code | kFirstMarks[length]);
    out.append(bytes, length);
}

class DepthScanner {
public:
    DepthScanner(std::string_view text, XmlEncoding encoding, size_t limit)
        : text_(text.substr(0, text.find('\0'))),
          limit_(limit),
          encoding_(encoding == XmlEncoding::Utf8 ? Encoding::Utf8 : Encoding::Unknown) {}

    size_t Measure();

private:
    enum class Node { None, Declaration, Comment, CData, Unknown, Element };

    char At(size_t p) const { return p < text_.size() ? text_[p] : '\0'; }
    // The parser's "!p || !*p".
    bool Ended(size_t p) const { return p == kNone || At(p) == '\0'; }
    bool StartsWith(size_t p, std::string_view tag, bool ignoreCase = false) const;

    size_t SkipWhiteSpace(size_t p) const;
    size_t ReadName(size_t p) const;
    size_t GetChar(size_t p, std::string* value) const;
    size_t GetEntity(size_t p, std::string* value) const;
    size_t ReadText(size_t p, bool trimWhiteSpace, std::string_view endTag, std::string* value) const;
    size_t ParseAttribute(size_t p, std::string_view* name, std::string* value) const;
    size_t ParseDeclaration(size_t p, std::string& encodingName) const;
    size_t ParseComment(size_t p) const;
    size_t ParseCData(size_t p) const;
    size_t ParseUnknown(size_t p) const;
    size_t ParseText(size_t p) const;
    size_t ParseLeaf(Node kind, size_t p, std::string& encodingName) const;
    Node Identify(size_t p) const;
    size_t ParseElement(size_t p);

    std::string_view text_;
    size_t limit_;
    Encoding encoding_;
    size_t deepest_ = 0;
    bool tooDeep_ = false;
};

bool DepthScanner::StartsWith(size_t p, std::string_view tag, bool ignoreCase) const {
    if (Ended(p)) return false;
    for (size_t i = 0; i < tag.size(); ++i) {
        const char c = At(p + i);
        if (c == '\0') return false;
        if (ignoreCase ? AsciiLower(c) != AsciiLower(tag[i]) : c != tag[i]) return false;
    }
    return true;
}

size_t DepthScanner::SkipWhiteSpace(size_t p) const {
    if (Ended(p)) return kNone;
    if (encoding_ != Encoding::Utf8) {
        while (At(p) != '\0' && IsWhiteSpace(At(p))) ++p;
        return p;
    }
    while (At(p) != '\0') {
        // In UTF-8 the parser also steps over byte-order marks and the two non-characters U+FFFE and U+FFFF.
        const auto b0 = static_cast<unsigned char>(At(p));
        const auto b1 = static_cast<unsigned char>(At(p + 1));
        const auto b2 = static_cast<unsigned char>(At(p + 2));
        if (b0 == kMarkLead && ((b1 == kBomSecond && b2 == kBomThird) ||
                                (b1 == kNonCharSecond && (b2 == kNonCharThirdA || b2 == kNonCharThirdB)))) {
            p += 3;
            continue;
        }
        if (!IsWhiteSpace(At(p))) break;
        ++p;
    }
    return p;
}

size_t DepthScanner::ReadName(size_t p) const {
    if (Ended(p) || !IsNameStart(At(p))) return kNone;
    while (At(p) != '\0' && IsNameChar(At(p))) ++p;
    return p;
}

size_t DepthScanner::GetChar(size_t p, std::string* value) const {
    const size_t length = encoding_ == Encoding::Utf8 ? SequenceLength(static_cast<unsigned char>(At(p))) : 1;
    if (length == 1) {
        if (At(p) == '&') return GetEntity(p, value);
        if (value) value->push_back(At(p));
        return p + 1;
    }
    // The whole sequence is taken, whatever its bytes are.
    for (size_t i = 0; value && i < length && At(p + i) != '\0'; ++i) value->push_back(At(p + i));
    return p + length;
}

size_t DepthScanner::GetEntity(size_t p, std::string* value) const {
    if (At(p + 1) == '#' && At(p + 2) != '\0') {
        // A character reference runs to the next ";" anywhere in the text,
        // as long as the digits just before that ";" make a number.
        const bool hex = At(p + 2) == 'x';
        if (hex && At(p + 3) == '\0') return kNone;
        const size_t semicolon = text_.find(';', p + (hex ? 3 : 2));
        if (semicolon == std::string_view::npos) return kNone;
        uint32_t code = 0;
        uint32_t multiplier = 1;
        for (size_t q = semicolon - 1; At(q) != (hex ? 'x' : '#'); --q) {
            const int digit = hex ? HexDigitValue(At(q)) : (At(q) >= '0' && At(q) <= '9' ? At(q) - '0' : -1);
            if (digit < 0) return kNone;
            code += multiplier * static_cast<uint32_t>(digit);
            multiplier *= hex ? kHexBase : kDecimalBase;
        }
        if (value) {
            if (encoding_ == Encoding::Utf8) {
                AppendUtf8(code, *value);
            } else {
                value->push_back(static_cast<char>(code));
            }
        }
        return semicolon + 1;
    }
    for (const NamedEntity& entity : kNamedEntities) {
        if (text_.compare(p, entity.text.size(), entity.text) == 0) {
            if (value) value->push_back(entity.value);
            return p + entity.text.size();
        }
    }
    return p + 1;  // an unknown "&" is dropped from the value
}

size_t DepthScanner::ReadText(size_t p, bool trimWhiteSpace, std::string_view endTag, std::string* value) const {
    if (trimWhiteSpace) p = SkipWhiteSpace(p);
    while (!Ended(p) && !StartsWith(p, endTag)) {
        // Element text (trimmed) condenses white space; white space is never an entity or a sequence.
        p = (trimWhiteSpace && IsWhiteSpace(At(p))) ? p + 1 : GetChar(p, value);
    }
    if (!Ended(p)) p += endTag.size();
    return Ended(p) ? kNone : p;
}

size_t DepthScanner::ParseAttribute(size_t p, std::string_view* name, std::string* value) const {
    p = SkipWhiteSpace(p);
    if (Ended(p)) return kNone;
    const size_t nameAt = p;
    p = ReadName(p);
    if (Ended(p)) return kNone;
    if (name) *name = text_.substr(nameAt, p - nameAt);
    p = SkipWhiteSpace(p);
    if (Ended(p) || At(p) != '=') return kNone;
    p = SkipWhiteSpace(p + 1);
    if (Ended(p)) return kNone;
    if (value) value->clear();
    const char quote = At(p);
    if (quote == '\'' || quote == '"') return ReadText(p + 1, false, std::string_view(&quote, 1), value);
    // Unquoted: up to white space or the end of the tag; a stray quote is an error.
    while (!Ended(p) && !IsWhiteSpace(At(p)) && At(p) != '/' && At(p) != '>') {
        if (At(p) == '\'' || At(p) == '"') return kNone;
        if (value) value->push_back(At(p));
        ++p;
    }
    return p;
}

size_t DepthScanner::ParseDeclaration(size_t p, std::string& encodingName) const {
    p = SkipWhiteSpace(p);
    if (Ended(p) || !StartsWith(p, "<?xml", true)) return kNone;
    p += std::string_view("<?xml").size();
    while (!Ended(p)) {
        if (At(p) == '>') return p + 1;
        p = SkipWhiteSpace(p);
        if (Ended(p)) break;
        if (StartsWith(p, "version", true) || StartsWith(p, "standalone", true)) {
            p = ParseAttribute(p, nullptr, nullptr);
        } else if (StartsWith(p, "encoding", true)) {
            p = ParseAttribute(p, nullptr, &encodingName);
        } else {
            while (At(p) != '\0' && At(p) != '>' && !IsWhiteSpace(At(p))) ++p;
        }
    }
    return kNone;
}

size_t DepthScanner::ParseComment(size_t p) const {
    p = SkipWhiteSpace(p);
    if (!StartsWith(p, "<!--")) return kNone;
    p += std::string_view("<!--").size();
    while (At(p) != '\0' && !StartsWith(p, "-->")) ++p;
    if (At(p) != '\0') p += std::string_view("-->").size();
    return p;
}

size_t DepthScanner::ParseCData(size_t p) const {
    if (!StartsWith(p, "<![CDATA[")) return kNone;
    p += std::string_view("<![CDATA[").size();
    while (At(p) != '\0' && !StartsWith(p, "]]>")) ++p;
    return ReadText(p, false, "]]>", nullptr);
}

size_t DepthScanner::ParseUnknown(size_t p) const {
    p = SkipWhiteSpace(p);
    if (Ended(p) || At(p) != '<') return kNone;
    ++p;
    while (At(p) != '\0' && At(p) != '>') ++p;
    return At(p) == '>' ? p + 1 : p;
}

size_t DepthScanner::ParseText(size_t p) const {
    p = ReadText(p, true, "<", nullptr);
    return Ended(p) ? kNone : p - 1;  // the "<" stays for what follows
}

size_t DepthScanner::ParseLeaf(Node kind, size_t p, std::string& encodingName) const {
    switch (kind) {
    case Node::Declaration: return ParseDeclaration(p, encodingName);
    case Node::Comment: return ParseComment(p);
    case Node::CData: return ParseCData(p);
    case Node::Unknown: return ParseUnknown(p);
    default: return kNone;
    }
}

DepthScanner::Node DepthScanner::Identify(size_t p) const {
    p = SkipWhiteSpace(p);
    if (Ended(p) || At(p) != '<') return Node::None;
    if (StartsWith(p, "<?xml", true)) return Node::Declaration;
    if (StartsWith(p, "<!--")) return Node::Comment;
    if (StartsWith(p, "<![CDATA[")) return Node::CData;
    if (StartsWith(p, "<!")) return Node::Unknown;
    if (IsNameStart(At(p + 1))) return Node::Element;
    return Node::Unknown;
}

// One element with everything inside it; the list of open elements stands
// for the parser's recursion.
size_t DepthScanner::ParseElement(size_t p) {
    std::vector<std::string_view> open;  // names of the elements whose content is being read
    std::vector<std::string_view> attributes;
    std::string unused;
    for (;;) {
        // A start tag at p: the parser is one level deeper from here on.
        deepest_ = std::max(deepest_, open.size() + 1);
        if (open.size() + 1 > limit_) {
            tooDeep_ = true;
            return kNone;
        }
        p = SkipWhiteSpace(p);
        if (Ended(p) || At(p) != '<') return kNone;
        p = SkipWhiteSpace(p + 1);
        const size_t nameAt = p;
        p = ReadName(p);
        if (Ended(p)) return kNone;
        const std::string_view name = text_.substr(nameAt, p - nameAt);
        attributes.clear();
        bool empty = false;
        for (;;) {
            p = SkipWhiteSpace(p);
            if (Ended(p)) return kNone;
            if (At(p) == '/') {
                if (At(p + 1) != '>') return kNone;
                p += 2;
                empty = true;
                break;
            }
            if (At(p) == '>') {
                ++p;
                break;
            }
            std::string_view attribute;
            p = ParseAttribute(p, &attribute, nullptr);
            if (Ended(p)) return kNone;
            if (std::find(attributes.begin(), attributes.end(), attribute) != attributes.end()) return kNone;
            attributes.push_back(attribute);
        }
        if (empty) {
            if (open.empty()) return p;
        } else {
            open.push_back(name);
        }
        // The content of the innermost open element, up to its end tag or a child element.
        p = SkipWhiteSpace(p);
        for (;;) {
            if (Ended(p)) return kNone;
            if (At(p) != '<') {
                p = SkipWhiteSpace(ParseText(p));
                continue;
            }
            if (StartsWith(p, "</")) {
                if (!StartsWith(p + 2, open.back())) return kNone;
                p = SkipWhiteSpace(p + 2 + open.back().size());
                if (Ended(p) || At(p) != '>') return kNone;
                open.pop_back();
                if (open.empty()) return p + 1;
                p = SkipWhiteSpace(p + 1);
                continue;
            }
            const Node kind = Identify(p);
            if (kind == Node::Element) break;
            p = SkipWhiteSpace(ParseLeaf(kind, p, unused));
        }
    }
}

size_t DepthScanner::Measure() {
    if (text_.empty()) return 0;
    if (encoding_ == Encoding::Unknown && StartsWith(0, "\xEF\xBB\xBF")) encoding_ = Encoding::Utf8;
    size_t p = SkipWhiteSpace(0);
    while (!Ended(p)) {
        const Node kind = Identify(p);
        if (kind == Node::None) break;
        if (kind == Node::Element) {
            p = ParseElement(p);
            if (tooDeep_) return limit_ + 1;
        } else {
            std::string encodingName;
            p = ParseLeaf(kind, p, encodingName);
            // The first declaration fixes an encoding that was left to detection.
            if (kind == Node::Declaration && encoding_ == Encoding::Unknown) encoding_ = DeclaredEncoding(encodingName);
        }
        p = SkipWhiteSpace(p);
    }
    return deepest_;
}

}  // namespace

size_t MeasureXmlDepth(std::string_view text, XmlEncoding encoding, size_t limit) {
    return DepthScanner(text, encoding, limit).Measure();
}

bool IsXmlDepthAllowed(std::string_view text, XmlEncoding encoding) {
    return MeasureXmlDepth(text, encoding, kMaxXmlDepth) <= kMaxXmlDepth;
}

std::string XmlParserInput(std::string_view text) {
    std::string input(text.substr(0, text.find('\0')));
    input.append(kXmlParserPadding, '\0');
    return input;
}

}  // namespace base
