// The panel backend's handles, windows, event loop, values and attributes.
#include "paint_pacer.hpp"
#include "panel_model.hpp"

#include "platform/clock.hpp"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

// --- Lookup and commit ------------------------------------------------------------------

Panel* QtPanelBackend::Impl::panel(int handle) {
    const auto it = panels.find(handle);
    return it != panels.end() && it->second.window != nullptr ? &it->second : nullptr;
}

const Panel* QtPanelBackend::Impl::panel(int handle) const {
    const auto it = panels.find(handle);
    return it != panels.end() && it->second.window != nullptr ? &it->second : nullptr;
}

int QtPanelBackend::Impl::control(int handle, int id, Control*& out) {
    Panel* p = panel(handle);
    if (p == nullptr)
        return UIEHandleInvalid;
    const auto it = p->controls.find(id);
    if (it == p->controls.end() || it->second.widget == nullptr)
        return UIECtrlNotFound;
    out = &it->second;
    return 0;
}

int QtPanelBackend::Impl::graph(int handle, int id, Graph*& out) {
    Control* c = nullptr;
    if (const int status = control(handle, id, c); status != 0)
        return status;
    if (c->kind != CtrlKind::graph)
        return UIEAttributeNotValid;
    Graph& g = panel(handle)->graphs[id];
    if (g.view == nullptr)
        return UIECtrlNotFound;
    out = &g;
    return 0;
}

void QtPanelBackend::Impl::commit(int handle, int id) {
    Control* c = nullptr;
    if (control(handle, id, c) != 0 || c->callback == nullptr)
        return;
    const CtrlCallbackPtr callback = c->callback;
    if (operator_thread == nullptr || c->at_once) {
        // The callback may discard this very panel; nothing here is touched afterwards.
        callback(handle, id, EVENT_COMMIT, nullptr, 0, 0);
        return;
    }
    if (c->quits) {
        if (!quit_accepted())
            return;
    } else {
        if (operations > 0)
            return; // locked: the control is dimmed (this is a commit that raced the lock)
        ++operations;
        apply_lock();
    }
    const bool operation = !c->quits;
    QObject* receiver = context.get();
    operator_thread->post([this, receiver, callback, handle, id, operation] {
        // Ends the lock however the callback ends (a failure included).
        struct Ended {
            QtPanelBackend::Impl* impl;
            QObject* receiver;
            bool operation;
            ~Ended() {
                if (operation)
                    QMetaObject::invokeMethod(
                        receiver,
                        [impl = impl] {
                            --impl->operations;
                            impl->apply_lock();
                        },
                        Qt::QueuedConnection);
            }
        } ended{this, receiver, operation};
        // A click queued behind another action runs only if its control is still live, as
        // on one thread, where a control dimmed meanwhile takes no click.
        bool live = false;
        QMetaObject::invokeMethod(
            receiver, [&] { live = still_live(handle, id); }, Qt::BlockingQueuedConnection);
        if (live)
            callback(handle, id, EVENT_COMMIT, nullptr, 0, 0);
    });
}

bool QtPanelBackend::Impl::still_live(int handle, int id) {
    Control* c = nullptr;
    if (control(handle, id, c) != 0)
        return false;
    QWidget* window = panel(handle)->window;
    return !c->dimmed.value_or(!c->widget->isEnabledTo(window)) && c->widget->isVisibleTo(window);
}

namespace {

// An input the operator changes (a field that is not read-only, a ring, a switch) or a
// button: locked while an operation runs, unless it is Stop or Quit.
bool lockable(const Control& c) {
    if (c.at_once || c.quits || c.widget == nullptr)
        return false;
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(c.widget.data()))
        return !spin->isReadOnly();
    if (const auto* line = qobject_cast<const QLineEdit*>(c.widget.data()))
        return !line->isReadOnly();
    return qobject_cast<const QAbstractButton*>(c.widget.data()) != nullptr ||
           qobject_cast<const QComboBox*>(c.widget.data()) != nullptr;
}

} // namespace

void QtPanelBackend::Impl::apply_lock() {
    const bool locked = operations > 0;
    for (auto& [handle, p] : panels) {
        if (p.window == nullptr)
            continue;
        for (auto& [id, c] : p.controls) {
            if (!lockable(c))
                continue;
            if (!c.dimmed)
                c.dimmed = !c.widget->isEnabledTo(p.window);
            c.widget->setEnabled(!locked && !*c.dimmed);
        }
    }
}

bool QtPanelBackend::Impl::quit_accepted() {
    if (operator_thread == nullptr || !operator_thread->busy())
        return true;
    if (backend->confirm_popup("Quit", "An operation is running. Stop it and quit?", {}) != 1)
        return false;
    // The quit runs once the stopped operation has returned (or where it lets events run).
    platform_request_stop();
    return true;
}

void QtPanelBackend::Impl::close_requested(int handle) {
    // Closing the window while an operation runs is Quit: asked, then stopped and quit.
    // While nothing runs the window closes through the program's own buttons only.
    if (operator_thread == nullptr || !operator_thread->busy())
        return;
    Panel* p = panel(handle);
    if (p == nullptr)
        return;
    for (auto& [id, c] : p->controls)
        if (c.quits && c.callback != nullptr && c.widget != nullptr && c.widget->isEnabled()) {
            commit(handle, id);
            return;
        }
}

void QtPanelBackend::send_commits_to(OperatorThread* thread) {
    impl_->operator_thread = thread;
}

// --- Panels and the event loop ----------------------------------------------------------

QtPanelBackend::QtPanelBackend() : impl_(std::make_unique<Impl>()) {
    impl_->backend = this;
    impl_->context = std::make_unique<QObject>();
    // Panels close through the program's Quit and Exit buttons only.
    QApplication::setQuitOnLastWindowClosed(false);
}

QtPanelBackend::~QtPanelBackend() {
    // Taken out of the table first: closing a window moves the focus, and a field losing
    // it looks its panel up in the table, which must then be whole (and empty).
    std::map<int, Panel> doomed = std::move(impl_->panels);
    impl_->panels.clear();
    // Children first: a child panel's window belongs to its parent's window.
    for (auto& [handle, panel] : doomed) {
        if (panel.owned == nullptr && panel.window != nullptr) {
            panel.window->setParent(nullptr);
            panel.owned.reset(panel.window.data());
        }
    }
    doomed.clear();
    // Windows discarded from their own callbacks wait for deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int QtPanelBackend::load_panel(int parent_panel, const std::string& ui_file, int resource_id) {
    const int handle = impl_->next_handle;
    Panel panel;
    if (const int status = build_panel(*impl_, handle, parent_panel, ui_file, resource_id, panel);
        status < 0)
        return status;
    ++impl_->next_handle;
    impl_->panels.emplace(handle, std::move(panel));
    if (impl_->operations > 0)
        impl_->apply_lock(); // a panel an operation opens is locked with the others
    return handle;
}

int QtPanelBackend::display_panel(int panel) {
    Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return UIEHandleInvalid;
    QWidget* window = p->window;
    const bool shown_before = window->isVisible();
    window->show();
    window->raise();
    if (!impl_->draws_now())
        return 0; // the event loop is free and draws it
    // Drawn now: the operation that called this may keep the event loop blocked for a
    // long while. Operator input waits; layout and paint requests are handled, which
    // paints whatever changed since the last time. A panel on screen already is not
    // drawn whole again: the program calls this after every step of an operation, and a
    // whole repaint of the main panel costs milliseconds each time.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!shown_before) {
        const PaintPacer::DrawNow at_once;
        window->repaint();
    }
    return 0;
}

int QtPanelBackend::discard_panel(int panel) {
    Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return UIEHandleInvalid;
    // Child panels go with their parent's window.
    std::vector<int> children;
    for (const auto& [handle, other] : impl_->panels)
        if (other.parent == panel)
            children.push_back(handle);
    for (const int child : children)
        discard_panel(child);

    p = impl_->panel(panel);
    QWidget* window = p->window;
    window->hide();
    // Deleted later: the discard usually comes from a callback of one of its own buttons,
    // which is still being delivered.
    if (p->owned != nullptr)
        p->owned.release()->deleteLater();
    else
        window->deleteLater();
    impl_->panels.erase(panel);
    return 0;
}

int QtPanelBackend::set_active_panel(int panel) {
    Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return UIEHandleInvalid;
    // The active panel is the one in front, so a panel not yet shown is shown.
    p->window->show();
    p->window->raise();
    p->window->activateWindow();
    return 0;
}

int QtPanelBackend::set_active_ctrl(int panel, int control) {
    Control* c = nullptr;
    if (const int status = impl_->control(panel, control, c); status != 0)
        return status;
    c->widget->setFocus(Qt::OtherFocusReason);
    return 0;
}

int QtPanelBackend::run_user_interface() {
    QEventLoop loop;
    impl_->loops.push_back(&loop);
    const int code = loop.exec();
    impl_->loops.pop_back();
    return code;
}

int QtPanelBackend::quit_user_interface(int code) {
    // Ends the innermost loop once the callback that asked for it has returned.
    if (!impl_->loops.empty())
        impl_->loops.back()->exit(code);
    return 0;
}

void QtPanelBackend::process_system_events(double wait_seconds) {
    // Used where the program runs on the window's own thread (the GUI tests); the program
    // itself runs on the operator thread, whose waits never come here. Pending events run
    // at once. With none pending, the thread sleeps out a short slice, so a wait loop
    // around this call stays responsive without keeping a core busy.
    const double slice =
        std::isfinite(wait_seconds) ? std::clamp(wait_seconds, 0.0, kEventWaitSeconds) : 0.0;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const bool handled = dispatcher != nullptr && dispatcher->processEvents(QEventLoop::AllEvents);
    if (!handled && slice > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(slice));
    platform_clock().pass_event_wait(slice);
}

// --- Values and attributes --------------------------------------------------------------

int QtPanelBackend::get_value(int panel, int control, CtrlValue& out) {
    Control* c = nullptr;
    if (const int status = impl_->control(panel, control, c); status != 0)
        return status;
    if (c->kind == CtrlKind::graph)
        return UIEAttributeNotValid;
    out = read_control(*c);
    return 0;
}

int QtPanelBackend::set_value(int panel, int control, const CtrlValue& value) {
    Control* c = nullptr;
    if (const int status = impl_->control(panel, control, c); status != 0)
        return status;
    return write_control(*c, value, impl_->draws_now());
}

int QtPanelBackend::get_attribute(int panel, int control, int attribute, int& out) {
    Control* c = nullptr;
    if (const int status = impl_->control(panel, control, c); status != 0)
        return status;
    QWidget* window = impl_->panel(panel)->window;
    switch (attribute) {
    case ATTR_DIMMED:
        out = c->dimmed.value_or(!c->widget->isEnabledTo(window)) ? 1 : 0;
        return 0;
    case ATTR_VISIBLE:
        out = c->widget->isVisibleTo(window) ? 1 : 0;
        return 0;
    case ATTR_CTRL_VAL: {
        const CtrlValue value = read_control(*c);
        if (const auto* i = std::get_if<long long>(&value)) {
            // Integer controls hold ints; anything wider has no int to give.
            if (*i < std::numeric_limits<int>::min() || *i > std::numeric_limits<int>::max())
                return UIEValueNotRepresentable;
            out = static_cast<int>(*i);
            return 0;
        }
        return UIEValueTypeMismatch;
    }
    default:
        return UIEAttributeNotValid;
    }
}

int QtPanelBackend::set_attribute(int panel, int control, int attribute, int value) {
    Control* c = nullptr;
    if (const int status = impl_->control(panel, control, c); status != 0)
        return status;
    switch (attribute) {
    case ATTR_DIMMED:
        c->dimmed = value != 0;
        // A locked input stays dimmed until the operation ends; then it shows this.
        c->widget->setEnabled(value == 0 && !(impl_->operations > 0 && lockable(*c)));
        break;
    case ATTR_VISIBLE:
        c->widget->setVisible(value != 0);
        break;
    case ATTR_CTRL_VAL:
        return write_control(*c, static_cast<long long>(value), impl_->draws_now());
    default:
        return UIEAttributeNotValid;
    }
    if (impl_->draws_now() && c->widget->window()->isVisible()) {
        const PaintPacer::DrawNow at_once;
        c->widget->repaint();
    }
    return 0;
}

int QtPanelBackend::set_panel_title(int panel, const std::string& title) {
    Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return UIEHandleInvalid;
    p->window->setWindowTitle(QString::fromStdString(title));
    return 0;
}

void QtPanelBackend::beep() {
    QApplication::beep();
}

// --- For tests --------------------------------------------------------------------------

QWidget* QtPanelBackend::panel_window(int panel) const {
    const Panel* p = impl_->panel(panel);
    return p != nullptr ? p->window.data() : nullptr;
}

QWidget* QtPanelBackend::control_widget(int panel, int control) const {
    const Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return nullptr;
    const auto it = p->controls.find(control);
    return it != p->controls.end() ? it->second.widget.data() : nullptr;
}
