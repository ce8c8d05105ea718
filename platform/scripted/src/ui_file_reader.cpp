#include "ui_file_reader.hpp"

#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace {

struct WidgetEntry {
    int parent = -1;
    std::string cls, name;
    std::map<std::string, std::string> props; // property name -> text of its value
    std::string title;                        // a tab page's title attribute
};

// Reads the value of a <property> or <attribute>: the text of its first child element
// (<number>, <double>, <bool>, <string>, ...). Compound values (rectangles, fonts, size
// policies) read as empty text.
std::string read_value(QXmlStreamReader& xml) {
    std::string value;
    bool first = true;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (first && (name == u"number" || name == u"double" || name == u"bool" ||
                      name == u"string" || name == u"enum" || name == u"cstring")) {
            value =
                xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toStdString();
        } else {
            xml.skipCurrentElement();
        }
        first = false;
    }
    return value;
}

// Reads the children of a widget (widget_level) or of a layout or layout item, which
// hold widgets at any depth.
void read_children(QXmlStreamReader& xml, int owner, bool widget_level,
                   std::vector<WidgetEntry>& widgets) {
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == u"widget") {
            WidgetEntry entry;
            entry.parent = owner;
            entry.cls = xml.attributes().value(QStringLiteral("class")).toString().toStdString();
            entry.name = xml.attributes().value(QStringLiteral("name")).toString().toStdString();
            widgets.push_back(std::move(entry));
            read_children(xml, static_cast<int>(widgets.size() - 1), true, widgets);
        } else if (widget_level && owner >= 0 && name == u"property") {
            std::string key =
                xml.attributes().value(QStringLiteral("name")).toString().toStdString();
            widgets[static_cast<std::size_t>(owner)].props[key] = read_value(xml);
        } else if (widget_level && owner >= 0 && name == u"attribute") {
            const bool is_title = xml.attributes().value(QStringLiteral("name")) == u"title";
            std::string value = read_value(xml);
            if (is_title)
                widgets[static_cast<std::size_t>(owner)].title = std::move(value);
        } else if (name == u"layout" || name == u"item") {
            read_children(xml, owner, false, widgets);
        } else {
            xml.skipCurrentElement();
        }
    }
}

std::optional<long long> as_integer(const std::map<std::string, std::string>& props,
                                    const char* key) {
    const auto it = props.find(key);
    if (it == props.end())
        return std::nullopt;
    bool ok = false;
    const long long value = QString::fromStdString(it->second).toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
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
        bool ok = false;
        const double v = QString::fromStdString(text_of(w.props, "value")).toDouble(&ok);
        return ok ? v : 0.0;
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
    QFile file(QString::fromStdString(ui_file));
    if (!file.exists())
        return UIEFileNotFound;
    if (!file.open(QIODevice::ReadOnly))
        return UIEFileNotFound;
    QXmlStreamReader xml(&file);
    std::vector<WidgetEntry> widgets;
    if (!xml.readNextStartElement() || xml.name() != u"ui")
        return UIEBadFileFormat;
    read_children(xml, -1, false, widgets);
    if (xml.hasError())
        return UIEBadFileFormat;

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
