#include "scpi_text.hpp"

#include "platform/text.hpp"

#include <cctype>

namespace {

struct Node {
    std::string short_form;
    std::string long_form;
    bool optional = false;
};

std::vector<Node> pattern_nodes(std::string_view pattern) {
    std::vector<Node> nodes;
    Node node;
    bool in_brackets = false;
    auto flush = [&] {
        if (!node.long_form.empty()) {
            node.optional = node.optional || in_brackets;
            nodes.push_back(node);
        }
        node = Node{};
    };
    for (const char c : pattern) {
        if (c == '[') {
            flush();
            in_brackets = true;
        } else if (c == ']') {
            flush();
            in_brackets = false;
        } else if (c == ':') {
            flush();
        } else {
            node.long_form += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!std::islower(static_cast<unsigned char>(c)))
                node.short_form += c;
        }
    }
    flush();
    return nodes;
}

std::vector<std::string> header_nodes(std::string_view header) {
    std::vector<std::string> nodes;
    std::string node;
    for (const char c : header) {
        if (c == ':') {
            nodes.push_back(node);
            node.clear();
        } else {
            node += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    nodes.push_back(node);
    return nodes;
}

bool match_from(const std::vector<std::string>& h, std::size_t hi, const std::vector<Node>& p,
                std::size_t pi) {
    if (pi == p.size())
        return hi == h.size();
    if (p[pi].optional && match_from(h, hi, p, pi + 1))
        return true;
    if (hi < h.size() && (h[hi] == p[pi].short_form || h[hi] == p[pi].long_form))
        return match_from(h, hi + 1, p, pi + 1);
    return false;
}

std::string trimmed(std::string_view text) {
    std::size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    return std::string(text.substr(a, b - a));
}

} // namespace

bool scpi_header_matches(std::string_view header, std::string_view pattern) {
    if (!header.empty() && header.front() == ':')
        header.remove_prefix(1);
    const bool query = !header.empty() && header.back() == '?';
    const bool query_pattern = !pattern.empty() && pattern.back() == '?';
    if (query != query_pattern)
        return false;
    if (query) {
        header.remove_suffix(1);
        pattern.remove_suffix(1);
    }
    if (header.empty())
        return false;
    return match_from(header_nodes(header), 0, pattern_nodes(pattern), 0);
}

ScpiCommand scpi_split(std::string_view command) {
    ScpiCommand out;
    const std::string text = trimmed(command);
    std::size_t i = 0;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != ',')
        ++i;
    out.header = text.substr(0, i);
    const std::string rest = trimmed(std::string_view(text).substr(i));
    if (rest.empty())
        return out;
    std::string part;
    bool quoted = false;
    int depth = 0;
    for (const char c : rest) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '(')
            ++depth;
        else if (!quoted && c == ')' && depth > 0)
            --depth;
        if (c == ',' && !quoted && depth == 0) {
            out.params.push_back(trimmed(part));
            part.clear();
        } else {
            part += c;
        }
    }
    out.params.push_back(trimmed(part));
    return out;
}

std::vector<std::string> scpi_commands(std::string_view line) {
    std::vector<std::string> out;
    std::string part;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            out.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    out.push_back(part);
    return out;
}

std::optional<std::vector<int>> scpi_channel_list(std::string_view text) {
    const std::string t = trimmed(text);
    if (t.size() < 4 || t.compare(0, 2, "(@") != 0 || t.back() != ')')
        return std::nullopt;
    std::vector<int> channels;
    std::string_view body = std::string_view(t).substr(2, t.size() - 3);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        const std::string item = trimmed(body.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        const std::size_t colon = item.find(':');
        std::size_t used = 0;
        const auto first = parse_int_prefix(std::string_view(item).substr(0, colon), &used);
        if (!first || used != std::min(colon, item.size()) || *first < 100 || *first > 399)
            return std::nullopt;
        long long last = *first;
        if (colon != std::string::npos) {
            const std::string_view tail = std::string_view(item).substr(colon + 1);
            const auto l = parse_int_prefix(tail, &used);
            if (!l || used != tail.size() || *l < *first || *l > 399 || *l / 100 != *first / 100)
                return std::nullopt;
            last = *l;
        }
        for (long long c = *first; c <= last; ++c)
            channels.push_back(static_cast<int>(c));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return channels;
}

std::optional<bool> scpi_boolean(std::string_view text) {
    const std::string t = scpi_upper(text);
    if (t == "ON" || t == "1")
        return true;
    if (t == "OFF" || t == "0")
        return false;
    return std::nullopt;
}

std::string scpi_upper(std::string_view text) {
    std::string t = trimmed(text);
    for (char& c : t)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

std::optional<std::string> scpi_quoted(std::string_view text) {
    const std::string t = trimmed(text);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"')
        return std::nullopt;
    return t.substr(1, t.size() - 2);
}
