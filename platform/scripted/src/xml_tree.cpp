#include "xml_tree.hpp"

#include <charconv>
#include <cstdint>

namespace {

// Deeper than any resource file goes; deep enough that the recursion stays small.
constexpr int kMaxDepth = 200;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_name_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || u >= 0x80;
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<XmlElement> document() {
        if (!skip_misc())
            return std::nullopt;
        XmlElement root;
        if (!at('<') || !element(root, 0))
            return std::nullopt;
        if (!skip_misc() || pos_ != s_.size())
            return std::nullopt;
        return root;
    }

private:
    bool at(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
    bool starts(std::string_view what) const { return s_.substr(pos_).starts_with(what); }
    void skip_space() {
        while (pos_ < s_.size() && is_space(s_[pos_]))
            ++pos_;
    }
    // Moves past the first `end` from here; false when there is none.
    bool skip_past(std::string_view end) {
        const std::size_t found = s_.find(end, pos_);
        if (found == std::string_view::npos)
            return false;
        pos_ = found + end.size();
        return true;
    }

    // Whitespace, comments, processing instructions and a document type outside the root.
    bool skip_misc() {
        for (;;) {
            skip_space();
            if (starts("<?")) {
                if (!skip_past("?>"))
                    return false;
            } else if (starts("<!--")) {
                if (!skip_past("-->"))
                    return false;
            } else if (starts("<!DOCTYPE")) {
                const std::size_t end = s_.find('>', pos_);
                // A document type with its own declarations ([...]) is not for us.
                if (end == std::string_view::npos ||
                    s_.substr(pos_, end - pos_).find('[') != std::string_view::npos)
                    return false;
                pos_ = end + 1;
            } else {
                return true;
            }
        }
    }

    bool name(std::string& out) {
        const std::size_t from = pos_;
        while (pos_ < s_.size() && is_name_char(s_[pos_]))
            ++pos_;
        if (pos_ == from)
            return false;
        out.assign(s_.substr(from, pos_ - from));
        return true;
    }

    // Decodes the entity at pos_ ('&') into `out`.
    bool entity(std::string& out) {
        const std::size_t semi = s_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 12)
            return false;
        const std::string_view ref = s_.substr(pos_ + 1, semi - pos_ - 1);
        pos_ = semi + 1;
        if (ref == "amp")
            out += '&';
        else if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "quot")
            out += '"';
        else if (ref == "apos")
            out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
                cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            append_utf8(out, cp);
        } else {
            return false;
        }
        return true;
    }

    bool attribute_value(std::string& out) {
        if (!at('"') && !at('\''))
            return false;
        const char quote = s_[pos_++];
        while (pos_ < s_.size() && s_[pos_] != quote) {
            if (s_[pos_] == '<')
                return false;
            if (s_[pos_] == '&') {
                if (!entity(out))
                    return false;
            } else {
                out += s_[pos_++];
            }
        }
        if (pos_ >= s_.size())
            return false;
        ++pos_;
        return true;
    }

    // An element starting at '<', up to and including its end tag.
    bool element(XmlElement& e, int depth) {
        if (depth > kMaxDepth)
            return false;
        ++pos_; // '<'
        if (!name(e.name))
            return false;
        for (;;) {
            const bool spaced = pos_ < s_.size() && is_space(s_[pos_]);
            skip_space();
            if (starts("/>")) {
                pos_ += 2;
                return true;
            }
            if (at('>')) {
                ++pos_;
                break;
            }
            std::string key, value;
            if (!spaced || !name(key))
                return false;
            skip_space();
            if (!at('='))
                return false;
            ++pos_;
            skip_space();
            if (!attribute_value(value) || e.attribute(key))
                return false;
            e.attributes.emplace_back(std::move(key), std::move(value));
        }
        return content(e, depth);
    }

    bool content(XmlElement& e, int depth) {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '&') {
                if (!entity(e.text))
                    return false;
            } else if (c != '<') {
                e.text += c;
                ++pos_;
            } else if (starts("</")) {
                pos_ += 2;
                std::string closing;
                if (!name(closing) || closing != e.name)
                    return false;
                skip_space();
                if (!at('>'))
                    return false;
                ++pos_;
                return true;
            } else if (starts("<!--")) {
                if (!skip_past("-->"))
                    return false;
            } else if (starts("<![CDATA[")) {
                pos_ += 9;
                const std::size_t end = s_.find("]]>", pos_);
                if (end == std::string_view::npos)
                    return false;
                e.text.append(s_.substr(pos_, end - pos_));
                pos_ = end + 3;
            } else if (starts("<?")) {
                if (!skip_past("?>"))
                    return false;
            } else {
                XmlElement child;
                if (!element(child, depth + 1))
                    return false;
                e.children.push_back(std::move(child));
            }
        }
        return false; // the document ended inside the element
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

void gather_text(const XmlElement& e, std::string& out) {
    // Own text and children's text interleave in the document; the resource file never
    // mixes them, so own text first is enough.
    out += e.text;
    for (const XmlElement& child : e.children)
        gather_text(child, out);
}

} // namespace

std::optional<std::string_view> XmlElement::attribute(std::string_view key) const {
    for (const auto& [k, v] : attributes)
        if (k == key)
            return std::string_view(v);
    return std::nullopt;
}

std::string XmlElement::all_text() const {
    std::string out;
    gather_text(*this, out);
    return out;
}

std::optional<XmlElement> parse_xml(std::string_view document) {
    return Parser(document).document();
}
