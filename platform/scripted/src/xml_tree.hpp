// A small XML reader for the resource file: the whole document as a tree of elements
// with their attributes and text, without any library. It takes what Qt Designer writes
// (declaration, comments, CDATA, the five named entities and character references) and
// refuses anything malformed; nesting is bounded so that no file can exhaust the stack.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text; // the element's own character data, entities decoded
    std::vector<XmlElement> children;

    // The value of attribute `key`, or nothing.
    std::optional<std::string_view> attribute(std::string_view key) const;
    // The character data of the element and of all its descendants, in document order.
    std::string all_text() const;
};

// The document's root element; nothing when the text is not well-formed XML.
std::optional<XmlElement> parse_xml(std::string_view document);
