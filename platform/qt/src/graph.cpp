// The graph control: a Qt Charts view with two value axes, one scatter series per point
// style and colour, and a plot handle for every point.
#include "panel_model.hpp"

#include <QChart>
#include <QChartView>
#include <QLayout>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace {

// A tick spacing of 1, 2 or 5 times a power of ten giving about `ticks` intervals.
double nice_interval(double span, int ticks) {
    const double raw = span / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double step : {1.0, 2.0, 5.0})
        if (raw <= step * magnitude)
            return step * magnitude;
    return 10.0 * magnitude;
}

void set_range(QValueAxis* axis, double min, double max, int ticks) {
    axis->setRange(min, max);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(nice_interval(max - min, ticks));
}

QScatterSeries* series_for(Graph& graph, int style, int color) {
    QScatterSeries*& series = graph.series[{style, color}];
    if (series != nullptr)
        return series;
    series = new QScatterSeries(); // owned by the chart from addSeries on
    const QColor rgb(QRgb(static_cast<unsigned>(color) & 0xFFFFFFu));
    series->setColor(rgb);
    series->setBorderColor(rgb);
    // Measured points as round dots, a fitted curve as a line of small squares.
    if (style == VAL_SOLID_SQUARE) {
        series->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        series->setMarkerSize(5.0);
    } else {
        series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        series->setMarkerSize(8.0);
    }
    graph.chart->addSeries(series);
    series->attachAxis(graph.x_axis);
    series->attachAxis(graph.y_axis);
    return series;
}

bool finite_range(double min, double max) {
    return std::isfinite(min) && std::isfinite(max) && min < max;
}

// Limits that hold every point of the graph on one axis; false when there are none.
bool data_range(const Graph& graph, bool x, double& min, double& max) {
    bool any = false;
    for (const auto& [handle, plot] : graph.plots) {
        const double v = x ? plot.x : plot.y;
        min = any ? std::min(min, v) : v;
        max = any ? std::max(max, v) : v;
        any = true;
    }
    if (any && min == max) {
        min -= 1.0;
        max += 1.0;
    }
    return any;
}

} // namespace

void make_graph(QWidget* placeholder, Graph& graph) {
    auto* chart = new QChart(); // owned by the view
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* x_axis = new QValueAxis(chart);
    auto* y_axis = new QValueAxis(chart);
    x_axis->setTitleText("Point / motor revolutions");
    y_axis->setTitleText("Gauge reading");
    x_axis->setLabelFormat("%.0f");
    y_axis->setLabelFormat("%.4g");
    for (QValueAxis* axis : {x_axis, y_axis})
        axis->setTickType(QValueAxis::TicksDynamic);
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);
    // The limits a fresh test panel starts with.
    set_range(x_axis, 0.0, 120.0, 12);
    set_range(y_axis, -1.0, 1.0, 8);

    QWidget* parent = placeholder->parentWidget();
    auto* view = new QChartView(chart, parent);
    view->setObjectName(placeholder->objectName());
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(placeholder->minimumSize());
    view->setSizePolicy(placeholder->sizePolicy());
    view->setToolTip(placeholder->toolTip());
    view->setAccessibleName(placeholder->accessibleName());
    view->setAccessibleDescription(placeholder->accessibleDescription());
    for (const QByteArray& name : placeholder->dynamicPropertyNames())
        view->setProperty(name.constData(), placeholder->property(name.constData()));
    if (parent != nullptr && parent->layout() != nullptr) {
        std::unique_ptr<QLayoutItem> old(parent->layout()->replaceWidget(placeholder, view));
    }
    placeholder->hide();
    placeholder->deleteLater();

    graph.view = view;
    graph.chart = chart;
    graph.x_axis = x_axis;
    graph.y_axis = y_axis;
}

int QtPanelBackend::plot_point(int panel, int control, double x, double y, int point_style,
                               int color) {
    Graph* graph = nullptr;
    if (const int status = impl_->graph(panel, control, graph); status != 0)
        return status;
    if (!std::isfinite(x) || !std::isfinite(y))
        return UIEValueTypeMismatch;
    QScatterSeries* series = series_for(*graph, point_style, color);
    series->append(x, y);
    const int handle = graph->next_plot++;
    graph->plots.emplace(handle, Plot{series, x, y});
    return handle;
}

int QtPanelBackend::delete_graph_plot(int panel, int control, int plot, int /*refresh*/) {
    Graph* graph = nullptr;
    if (const int status = impl_->graph(panel, control, graph); status != 0)
        return status;
    if (plot == VAL_ALL_PLOTS) {
        graph->chart->removeAllSeries(); // deletes them
        graph->series.clear();
        graph->plots.clear();
        return 0;
    }
    const auto it = graph->plots.find(plot);
    if (it == graph->plots.end())
        return UIEAttributeNotValid;
    it->second.series->remove(it->second.x, it->second.y);
    graph->plots.erase(it);
    return 0;
}

int QtPanelBackend::set_axis_range(int panel, int control, int x_mode, double x_min, double x_max,
                                   int y_mode, double y_min, double y_max) {
    Graph* graph = nullptr;
    if (const int status = impl_->graph(panel, control, graph); status != 0)
        return status;
    for (const int mode : {x_mode, y_mode})
        if (mode != VAL_MANUAL && mode != VAL_AUTOSCALE && mode != VAL_NO_CHANGE)
            return UIEAttributeNotValid;
    // Both requests are checked before either axis changes.
    if ((x_mode == VAL_MANUAL && !finite_range(x_min, x_max)) ||
        (y_mode == VAL_MANUAL && !finite_range(y_min, y_max)))
        return UIEAttributeNotValid;

    const struct {
        int mode;
        double min, max;
        QValueAxis* axis;
        bool is_x;
        int ticks;
    } axes[] = {{x_mode, x_min, x_max, graph->x_axis, true, 12},
                {y_mode, y_min, y_max, graph->y_axis, false, 8}};
    for (const auto& a : axes) {
        double min = a.min;
        double max = a.max;
        if (a.mode == VAL_NO_CHANGE)
            continue;
        if (a.mode == VAL_AUTOSCALE && !data_range(*graph, a.is_x, min, max))
            continue;
        set_range(a.axis, min, max, a.ticks);
    }
    return 0;
}

bool QtPanelBackend::graph_state(int panel, int control, GraphState& out) const {
    const Panel* p = impl_->panel(panel);
    if (p == nullptr)
        return false;
    const auto it = p->graphs.find(control);
    if (it == p->graphs.end() || it->second.view == nullptr)
        return false;
    const Graph& g = it->second;
    out = GraphState{g.x_axis->min(),
                     g.x_axis->max(),
                     g.y_axis->min(),
                     g.y_axis->max(),
                     static_cast<int>(g.plots.size()),
                     static_cast<int>(g.series.size())};
    return true;
}
