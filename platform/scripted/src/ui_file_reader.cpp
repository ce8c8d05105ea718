#include "ui_file_reader.hpp"

#include "xml_tree.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

namespace {

// Resource files are a few hundred kilobytes; anything far larger is not one.
constexpr std::streamoff kMaxFileBytes = 16 * 1024 * 1024;

struct WidgetEntry {
    int parent = -1;
    std::string cls, name;
    std::map<std::string, std::string> props; // property name -> text of its value
    std::string title;                        // a tab page's title attribute
};

std::string trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// The value of a <property> or <attribute>: the text of its first child element
// (<number>, <double>, <bool>, <string>, ...). Compound values (rectangles, fonts, size
// policies) read as empty text.
std::string read_value(const XmlElement& holder) {
    if (holder.children.empty())
        return {};
    const XmlElement& first = holder.children.front();
    const std::string& n = first.name;
    if (n == "number" || n == "double" || n == "bool" || n == "string" || n == "enum" ||
        n == "cstring")
        return trimmed(first.all_text());
    return {};
}

// Reads the children of a widget (widget_level) or of a layout or layout item, which
// hold widgets at any depth.
void read_children(const XmlElement& parent, int owner, bool widget_level,
                   std::vector<WidgetEntry>& widgets) {
    for (const XmlElement& child : parent.children) {
        const std::string& name = child.name;
        if (name == "widget") {
            WidgetEntry entry;
            entry.parent = owner;
            entry.cls = std::string(child.attribute("class").value_or(""));
            entry.name = std::string(child.attribute("name").value_or(""));
            widgets.push_back(std::move(entry));
            read_children(child, static_cast<int>(widgets.size() - 1), true, widgets);
        } else if (widget_level && owner >= 0 && name == "property") {
            std::string key(child.attribute("name").value_or(""));
            widgets[static_cast<std::size_t>(owner)].props[key] = read_value(child);
        } else if (widget_level && owner >= 0 && name == "attribute") {
            if (child.attribute("name") == "title")
                widgets[static_cast<std::size_t>(owner)].title = read_value(child);
        } else if (name == "layout" || name == "item") {
            read_children(child, owner, false, widgets);
        }
    }
}

// A whole decimal integer with an optional sign, or nothing.
std::optional<long long> parse_integer(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> parse_double(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<long long> as_integer(const std::map<std::string, std::string>& props,
                                    const char* key) {
    const auto it = props.find(key);
    if (it == props.end())
        return std::nullopt;
    return parse_integer(it->second);
}

bool is_true(const std::map<std::string, std::string>& props, const char* key) {
    const auto it = props.find(key);
    return it != props.end() && it->second == "true";
}

bool is_false(const std::map<std::string, std::string>& props, const char* key) {
    const auto it = props.find(key);
    return it != props.end() && it->second == "false";
}

std::string text_of(const std::map<std::string, std::string>& props, const char* key) {
    const auto it = props.find(key);
    return it != props.end() ? it->second : std::string();
}

bool descends_from(const std::vector<WidgetEntry>& widgets, int index, int ancestor) {
    for (int at = widgets[static_cast<std::size_t>(index)].parent; at >= 0;
         at = widgets[static_cast<std::size_t>(at)].parent)
        if (at == ancestor)
            return true;
    return false;
}

CtrlValue initial_value(const WidgetEntry& w, const std::string& kind) {
    if (kind == "numeric_double") {
        return parse_double(text_of(w.props, "value")).value_or(0.0);
    }
    if (kind == "string")
        return text_of(w.props, "text");
    if (kind == "ring")
        return as_integer(w.props, "currentIndex").value_or(0);
    if (kind == "switch" || kind == "led")
        return is_true(w.props, "checked") ? 1LL : 0LL;
    return as_integer(w.props, "value").value_or(0);
}

} // namespace

int read_ui_panel(const std::string& ui_file, int resource_id, ScriptedPanel& panel) {
    std::ifstream file(ui_file, std::ios::binary);
    if (!file)
        return UIEFileNotFound;
    std::string document;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        document.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (static_cast<std::streamoff>(document.size()) > kMaxFileBytes)
            return UIEBadFileFormat;
    }
    if (file.bad())
        return UIEFileNotFound;
    const std::optional<XmlElement> root = parse_xml(document);
    if (!root || root->name != "ui")
        return UIEBadFileFormat;
    std::vector<WidgetEntry> widgets;
    read_children(*root, -1, false, widgets);

    int page = -1;
    for (std::size_t i = 0; i < widgets.size(); ++i)
        if (as_integer(widgets[i].props, "panelId") == resource_id)
            page = static_cast<int>(i);
    if (page < 0)
        return UIEPanelNotFound;

    const WidgetEntry& pw = widgets[static_cast<std::size_t>(page)];
    panel.resource_id = resource_id;
    panel.title = !pw.title.empty() ? pw.title : text_of(pw.props, "windowTitle");
    panel.controls.clear();
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const WidgetEntry& w = widgets[i];
        const auto id = as_integer(w.props, "ctrlId");
        if (!id || !descends_from(widgets, static_cast<int>(i), page))
            continue;
        ScriptedControl control;
        control.id = static_cast<int>(*id);
        control.name = w.name;
        control.kind = text_of(w.props, "ctrlKind");
        control.callback = text_of(w.props, "callback");
        control.accessible_name = text_of(w.props, "accessibleName");
        // Qt's default when the file names none.
        control.decimals =
            static_cast<int>(std::clamp(as_integer(w.props, "decimals").value_or(2), 0LL, 17LL));
        control.value = initial_value(w, control.kind);
        control.dimmed = is_false(w.props, "enabled");
        control.visible = !is_true(w.props, "startHidden");
        // Two controls with one id would make the panel ambiguous.
        if (!panel.controls.emplace(control.id, std::move(control)).second)
            return UIEBadFileFormat;
    }
    return 0;
}
