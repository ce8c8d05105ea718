// Loading one panel from the Qt Designer resource file: the page with the wanted panelId
// is taken out of the file's tab widget and becomes a window of its own; every widget
// that carries a ctrlId becomes a control, bound to its callback by name.
#include "exact_spin_box.hpp"
#include "paint_pacer.hpp"
#include "panel_model.hpp"

#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUiLoader>

#include <optional>

namespace {

std::optional<CtrlKind> kind_from_name(const QString& name) {
    static const std::pair<const char*, CtrlKind> kinds[] = {
        {"numeric_double", CtrlKind::numeric_double},
        {"numeric_int", CtrlKind::numeric_int},
        {"numeric_u16", CtrlKind::numeric_u16},
        {"string", CtrlKind::string},
        {"command", CtrlKind::command},
        {"ring", CtrlKind::ring},
        {"switch", CtrlKind::switch_},
        {"led", CtrlKind::led},
        {"graph", CtrlKind::graph},
    };
    for (const auto& [text, kind] : kinds)
        if (name == QLatin1String(text))
            return kind;
    return std::nullopt;
}

// The widget class the resource file must use for each kind.
bool class_fits(CtrlKind kind, QWidget* widget) {
    switch (kind) {
    case CtrlKind::numeric_double:
        return qobject_cast<QDoubleSpinBox*>(widget) != nullptr;
    case CtrlKind::numeric_int:
    case CtrlKind::numeric_u16:
        return qobject_cast<QSpinBox*>(widget) != nullptr;
    case CtrlKind::string:
        return qobject_cast<QLineEdit*>(widget) != nullptr;
    case CtrlKind::command:
        return qobject_cast<QPushButton*>(widget) != nullptr;
    case CtrlKind::ring:
        return qobject_cast<QComboBox*>(widget) != nullptr;
    case CtrlKind::switch_:
        return qobject_cast<QCheckBox*>(widget) != nullptr;
    case CtrlKind::led:
        return qobject_cast<QRadioButton*>(widget) != nullptr;
    case CtrlKind::graph:
        return true;
    }
    return false;
}

// Builds the file's real-valued fields as fields that keep the program's values exactly.
class PanelLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& class_name, QWidget* parent,
                          const QString& name) override {
        if (class_name == QLatin1String("QDoubleSpinBox")) {
            auto* field = new ExactSpinBox(parent); // owned by its parent widget
            field->setObjectName(name);
            return field;
        }
        return QUiLoader::createWidget(class_name, parent, name);
    }
};

// Panels close only through the program's own buttons (Quit, Exit), which also take the
// instruments down; the window's close button is refused.
// While an operation runs, a close is taken as the panel's Quit (asked first).
class CloseGuard : public QObject {
public:
    CloseGuard(QObject* parent, QtPanelBackend::Impl& impl, int handle)
        : QObject(parent), impl_(impl), handle_(handle) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            impl_.close_requested(handle_);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QtPanelBackend::Impl& impl_;
    int handle_;
};

// Notes an Enter in an editable field, so that Enter commits even an unchanged value.
class EnterWatch : public QObject {
public:
    EnterWatch(QObject* parent, QtPanelBackend::Impl& impl, int handle, int id)
        : QObject(parent), impl_(impl), handle_(handle), id_(id) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            Control* control = nullptr;
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                impl_.control(handle_, id_, control) == 0)
                control->enter_pressed = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QtPanelBackend::Impl& impl_;
    int handle_;
    int id_;
};

// An edit that ended: a commit when the value changed since the last commit or the
// program's last write, or when the operator pressed Enter.
void edit_finished(QtPanelBackend::Impl& impl, int handle, int id) {
    Control* control = nullptr;
    if (impl.control(handle, id, control) != 0)
        return;
    const CtrlValue now = read_control(*control);
    const bool changed = !same_value(now, control->committed);
    const bool enter = std::exchange(control->enter_pressed, false);
    control->committed = now;
    if (changed || enter)
        impl.commit(handle, id);
}

// Connects the operator's commit of a control to its callback. Writes by the program go
// through other signals (valueChanged, toggled, currentIndexChanged) and so never commit.
void bind_events(QtPanelBackend::Impl& impl, int handle, int id, Control& control) {
    QWidget* widget = control.widget;
    switch (control.kind) {
    case CtrlKind::command:
        QObject::connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, widget,
                         [&impl, handle, id] { impl.commit(handle, id); });
        break;
    case CtrlKind::switch_:
        QObject::connect(static_cast<QCheckBox*>(widget), &QCheckBox::clicked, widget,
                         [&impl, handle, id] { impl.commit(handle, id); });
        break;
    case CtrlKind::ring:
        QObject::connect(static_cast<QComboBox*>(widget), &QComboBox::activated, widget,
                         [&impl, handle, id] { impl.commit(handle, id); });
        break;
    case CtrlKind::numeric_double:
    case CtrlKind::numeric_int:
    case CtrlKind::numeric_u16:
        widget->installEventFilter(new EnterWatch(widget, impl, handle, id));
        QObject::connect(static_cast<QAbstractSpinBox*>(widget), &QAbstractSpinBox::editingFinished,
                         widget, [&impl, handle, id] { edit_finished(impl, handle, id); });
        break;
    case CtrlKind::string:
        widget->installEventFilter(new EnterWatch(widget, impl, handle, id));
        QObject::connect(static_cast<QLineEdit*>(widget), &QLineEdit::editingFinished, widget,
                         [&impl, handle, id] { edit_finished(impl, handle, id); });
        break;
    case CtrlKind::led:
    case CtrlKind::graph:
        break;
    }
}

// Lamps show a state; the operator cannot change them: clicks and keys never reach them.
class LampGuard : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

void make_lamp(QWidget* widget) {
    auto* lamp = static_cast<QRadioButton*>(widget);
    lamp->setAutoExclusive(false);
    lamp->setFocusPolicy(Qt::NoFocus);
    lamp->setAttribute(Qt::WA_TransparentForMouseEvents);
    lamp->installEventFilter(new LampGuard(lamp));
}

} // namespace

int build_panel(QtPanelBackend::Impl& impl, int handle, int parent, const std::string& ui_file,
                int resource_id, Panel& out) {
    QWidget* parent_window = nullptr;
    if (parent > 0) {
        Panel* p = impl.panel(parent);
        if (p == nullptr || p->window == nullptr)
            return UIEHandleInvalid;
        parent_window = p->window;
    }

    QFile file(QString::fromStdString(ui_file));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return UIEFileNotFound;
    PanelLoader loader;
    std::unique_ptr<QWidget> root(loader.load(&file));
    if (root == nullptr)
        return UIEBadFileFormat;
    auto* tabs = qobject_cast<QTabWidget*>(root.get());
    if (tabs == nullptr)
        return UIEBadFileFormat;

    int index = -1;
    for (int i = 0; i < tabs->count() && index < 0; ++i) {
        bool ok = false;
        if (tabs->widget(i)->property("panelId").toInt(&ok) == resource_id && ok)
            index = i;
    }
    if (index < 0)
        return UIEPanelNotFound;

    const QString title = tabs->tabText(index);
    std::unique_ptr<QWidget> page(tabs->widget(index));
    tabs->removeTab(index);
    page->setParent(parent_window, Qt::Window);
    page->setWindowTitle(title);
    page->installEventFilter(new CloseGuard(page.get(), impl, handle));
    new PaintPacer(page.get());

    Panel panel;
    panel.parent = parent;
    std::vector<QWidget*> hidden;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        const QVariant id_property = widget->property("ctrlId");
        if (!id_property.isValid())
            continue;
        bool ok = false;
        const int id = id_property.toInt(&ok);
        const auto kind = kind_from_name(widget->property("ctrlKind").toString());
        if (!ok || !kind || !class_fits(*kind, widget) || panel.controls.count(id) != 0)
            return UIEBadFileFormat;

        const bool start_hidden = widget->property("startHidden").toBool();
        Control control;
        control.kind = *kind;
        control.widget = widget;
        const QString callback = widget->property("callback").toString();
        if (!callback.isEmpty())
            control.callback = platform_find_callback(callback.toStdString());
        control.at_once = widget->property("runsAtOnce").toBool();
        control.quits = widget->property("quitsProgram").toBool();
        if (*kind == CtrlKind::graph) {
            Graph& graph = panel.graphs[id];
            make_graph(widget, graph);
            control.widget = graph.view.data();
            widget = control.widget;
        } else {
            if (*kind == CtrlKind::led)
                make_lamp(widget);
            control.committed = read_control(control);
        }
        if (start_hidden)
            hidden.push_back(widget);
        panel.controls.emplace(id, std::move(control));
    }
    for (QWidget* widget : hidden)
        widget->hide();
    for (auto& [id, control] : panel.controls)
        bind_events(impl, handle, id, control);

    panel.window = page.get();
    if (parent_window == nullptr)
        panel.owned = std::move(page);
    else
        page.release(); // the parent panel's window owns it now
    out = std::move(panel);
    return 0;
}
