// What the Qt panel backend keeps per loaded panel: its window, its controls by id with
// their kind and bound callback, and the state of each graph. Shared by the backend's
// source files only.
#pragma once

#include "platform/operator_thread.hpp"
#include "platform/qt/qt_panel_backend.hpp"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QEventLoop;
class QScatterSeries;
class QValueAxis;

enum class CtrlKind {
    numeric_double,
    numeric_int,
    numeric_u16,
    string,
    command,
    ring,
    switch_,
    led,
    graph,
};

struct Control {
    CtrlKind kind = CtrlKind::command;
    QPointer<QWidget> widget;
    CtrlCallbackPtr callback = nullptr;
    // The value as last set by the program or committed by the operator: an edit that
    // ends without changing it (focus leaving the field) is no commit.
    CtrlValue committed;
    bool enter_pressed = false;
    // Runs on the window's thread at once, never queued (Stop: a request for the operator
    // thread, seen at once).
    bool at_once = false;
    // Ends the program (Quit): while an operation runs, the operator is asked first.
    bool quits = false;
    // Dimmed by the program (ATTR_DIMMED), once the program or a lock has set it; unset:
    // as the widget is. The widget itself is also dimmed while the inputs are locked.
    std::optional<bool> dimmed;
};

struct Plot {
    QScatterSeries* series;
    double x, y;
};

struct Graph {
    QPointer<QChartView> view;
    QChart* chart = nullptr;
    QValueAxis* x_axis = nullptr;
    QValueAxis* y_axis = nullptr;
    std::map<std::pair<int, int>, QScatterSeries*> series; // by point style and colour
    std::map<int, Plot> plots;                             // by plot handle
    int next_plot = 1;
};

struct Panel {
    int parent = 0;
    // A top-level panel is owned here; a child panel belongs to its parent's window.
    std::unique_ptr<QWidget> owned;
    QPointer<QWidget> window;
    std::map<int, Control> controls;
    std::map<int, Graph> graphs;
};

struct QtPanelBackend::Impl {
    std::map<int, Panel> panels;
    int next_handle = 1;
    std::vector<QEventLoop*> loops; // nested run_user_interface calls, innermost last
    QtPanelBackend* backend = nullptr;
    // The operator thread the commits go to; none: callbacks run here, inline.
    OperatorThread* operator_thread = nullptr;
    // Operations posted to the operator thread and not yet ended. While there is one, the
    // operator's inputs and operation buttons are locked (dimmed): what the fields show is
    // what the operation reads, and no second operation is queued behind it. Stop and
    // Quit stay live.
    int operations = 0;
    // Receives the operator thread's word that an operation ended (lives with the backend).
    std::unique_ptr<QObject> context;

    // True when no operator thread keeps this thread's event loop free: a change must be
    // drawn at once, or it would not show until the operation ends.
    bool draws_now() const { return operator_thread == nullptr; }

    Panel* panel(int handle);
    const Panel* panel(int handle) const;
    // Sets `out` to the control, or returns UIEHandleInvalid / UIECtrlNotFound.
    int control(int handle, int id, Control*& out);
    int graph(int handle, int id, Graph*& out);

    // Calls the control's callback with the commit event, if it has one, or queues it
    // for the operator thread.
    void commit(int handle, int id);
    // The window of a panel was closed by the window system.
    void close_requested(int handle);
    // While an operation runs, asks whether to stop it and quit: false to stay.
    bool quit_accepted();
    // Dims (or restores) every lockable control of every panel as `operations` says.
    void apply_lock();
    // Whether the operator's click on the control may still run: the control exists and
    // the program has not dimmed or hidden it since.
    bool still_live(int handle, int id);
};

// Loading (panel_loading.cpp): builds the panel from page `resource_id` of the file;
// returns 0 or a negative status.
int build_panel(QtPanelBackend::Impl& impl, int handle, int parent, const std::string& ui_file,
                int resource_id, Panel& out);

// Values (control_values.cpp).
CtrlValue read_control(const Control& control);
// Equal values; two values that are not a number count as the same.
bool same_value(const CtrlValue& a, const CtrlValue& b);
int write_control(Control& control, const CtrlValue& value, bool draw_now);

// Graph (graph.cpp): replaces the placeholder widget by a chart view.
void make_graph(QWidget* placeholder, Graph& graph);
