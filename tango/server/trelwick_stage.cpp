#include "trelwick_stage.hpp"

#include "gpib_place.hpp"
#include "properties.hpp"

#include "drivers/wait_profile.hpp"
#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/gpib_units.hpp"
#include "platform/system_io/system_io.hpp"
#include "stage/coordinate_exchange.hpp"
#include "stage/records.hpp"

#include <cmath>
#include <functional>
#include <sstream>
#include <sys/time.h>
#include <utility>

namespace {

StageService* g_service = nullptr;
GpibPlace* g_gpib_place = nullptr;
// Simulate, Speed or WaitProfile refused, set before the device exists.
std::string g_start_property_fault;
HeadlessPanel* g_panel = nullptr;
StageView* g_view = nullptr;

const char* const kCoordinateNames[5] = {"X", "Y", "Roll", "Pitch", "Yaw"};
// Every attribute whose changes this server pushes itself (State and Status aside).
const char* const kPushedNames[] = {"X",         "Y",      "Roll",        "Pitch", "Yaw",
                                    "CamAngles", "Gauges", "Temperature", "Target"};

// How long Init waits for the operator thread to close the instruments: within a client's
// usual 3 s time-out. An operation that has not stopped by then is closed when it ends.
constexpr double kCloseSeconds = 2.5;

// How far a coordinate measured after a motion may be from its target (PositionTolerance,
// AngleTolerance): the potentiometers' resolution of X and Y, and of the angles.
constexpr double kPositionTolerance = 5e-6;
constexpr double kAngleTolerance = 5e-5;

Tango::DevState tango_state(StageState state) {
    switch (state) {
    case StageState::Off:
        return Tango::OFF;
    case StageState::On:
        return Tango::ON;
    case StageState::Moving:
    case StageState::Alarm: // a question waits: the operation is still running
        return Tango::MOVING;
    case StageState::Fault:
        return Tango::FAULT;
    }
    return Tango::UNKNOWN;
}

// --- Attributes ------------------------------------------------------------------------

// A coordinate; writing it moves that coordinate with the others at their present values.
class CoordinateAttr : public Tango::Attr {
public:
    CoordinateAttr(const char* name, int index)
        : Tango::Attr(name, Tango::DEV_DOUBLE, Tango::READ_WRITE), index_(index) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_coordinate(attribute, index_);
    }
    void write(Tango::DeviceImpl* device, Tango::WAttribute& attribute) override {
        Tango::DevDouble value = 0.0;
        attribute.get_write_value(value);
        static_cast<TrelwickStage*>(device)->write_coordinate(index_, value);
    }

private:
    int index_;
};

class FiveAttr : public Tango::SpectrumAttr {
public:
    FiveAttr(const char* name, StageFive StageSnapshot::*member)
        : Tango::SpectrumAttr(name, Tango::DEV_DOUBLE, Tango::READ, 5), member_(member) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_five(attribute, member_);
    }

private:
    StageFive StageSnapshot::*member_;
};

class QuestionAttr : public Tango::Attr {
public:
    QuestionAttr() : Tango::Attr("Question", Tango::DEV_STRING, Tango::READ) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_question(attribute);
    }
};

class TemperatureAttr : public Tango::Attr {
public:
    TemperatureAttr() : Tango::Attr("Temperature", Tango::DEV_DOUBLE, Tango::READ) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_temperature(attribute);
    }
};

// The wait profile of the process, chosen once at start.
class WaitProfileAttr : public Tango::Attr {
public:
    WaitProfileAttr() : Tango::Attr("WaitProfile", Tango::DEV_STRING, Tango::READ) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_wait_profile(attribute);
    }
};

// The class's defaults of an attribute; the database may override each. `change` is the
// smallest change that makes an event (both the change and the archive event), empty for
// a text.
void describe(Tango::Attr* attribute, const char* unit, const char* format, const char* description,
              const char* change, float limit = 0.0F) {
    Tango::UserDefaultAttrProp properties;
    properties.set_unit(unit);
    properties.set_standard_unit(*unit != '\0' ? "1" : "");
    properties.set_display_unit(unit);
    properties.set_format(format);
    properties.set_description(description);
    if (*change != '\0') {
        properties.set_event_abs_change(change);
        properties.set_archive_event_abs_change(change);
    }
    if (limit > 0.0F) {
        // The coordinate box's own limits, as the float it holds them in.
        std::ostringstream low, high;
        low.precision(10);
        high.precision(10);
        low << -static_cast<double>(limit);
        high << static_cast<double>(limit);
        properties.set_min_value(low.str().c_str());
        properties.set_max_value(high.str().c_str());
    }
    attribute->set_default_properties(properties);
}

// --- Commands ----------------------------------------------------------------------------

// The states a command is taken in: TANGO answers API_CommandNotAllowed in the others.
enum class Allowed { Idle, BringUp, Question, Always };

bool allowed_in(Allowed allowed, Tango::DevState state) {
    switch (allowed) {
    case Allowed::Idle:
        return state == Tango::ON || state == Tango::ALARM;
    case Allowed::BringUp:
        return state == Tango::OFF || state == Tango::ON || state == Tango::ALARM ||
               state == Tango::FAULT;
    case Allowed::Question:
        return state == Tango::MOVING;
    case Allowed::Always:
        return true;
    }
    return false;
}

// A command without argument: the service's answer, a refusal thrown as a DevFailed.
class PlainCommand : public Tango::Command {
public:
    using Action = std::function<CommandResult(StageService&)>;
    PlainCommand(const char* name, Allowed allowed, Action action)
        : Tango::Command(name, Tango::DEV_VOID, Tango::DEV_VOID), allowed_(allowed),
          action_(std::move(action)) {}
    bool is_allowed(Tango::DeviceImpl* device, const CORBA::Any& /*in*/) override {
        auto* stage = static_cast<TrelwickStage*>(device);
        // A refused property is mended in the database, then Init: no bring-up before.
        if (allowed_ == Allowed::BringUp && stage->property_fault())
            return false;
        return allowed_in(allowed_, stage->command_state());
    }
    CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any& /*in*/) override {
        auto* stage = static_cast<TrelwickStage*>(device);
        stage->run_command(get_name().c_str(), [&] { return action_(stage->service()); });
        return insert();
    }

private:
    Allowed allowed_;
    Action action_;
};

// Move and MoveRelative: five doubles.
class FiveCommand : public Tango::Command {
public:
    using Action = std::function<CommandResult(StageService&, std::span<const double>)>;
    FiveCommand(const char* name, const char* description, bool relative, Action action)
        : Tango::Command(name, Tango::DEVVAR_DOUBLEARRAY, Tango::DEV_VOID, description, ""),
          relative_(relative), action_(std::move(action)) {}
    bool is_allowed(Tango::DeviceImpl* device, const CORBA::Any& /*in*/) override {
        return allowed_in(Allowed::Idle, static_cast<TrelwickStage*>(device)->command_state());
    }
    CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any& in) override {
        const Tango::DevVarDoubleArray* values = nullptr;
        extract(in, values);
        std::vector<double> five(values->get_buffer(), values->get_buffer() + values->length());
        auto* stage = static_cast<TrelwickStage*>(device);
        stage->check_target(five, relative_, get_name().c_str());
        stage->run_command(get_name().c_str(), [&] { return action_(stage->service(), five); });
        return insert();
    }

private:
    bool relative_;
    Action action_;
};

// The instruments' places on this machine, from the device properties: a serial device
// for each COM port, a socket for the GPIB unit. They are handed to the platform as the
// values it reads, under its lock, when a port or unit is opened (an empty one gives the
// environment's back).
void place_instruments(const std::string& cm6k6, const std::string& ev16p,
                       const std::string& hp34970, std::optional<std::pair<int, int>> gpib) {
    param_structure param{};
    instrument_addresses addresses{};
    fill_param_structure(param, addresses, 0);
    platform_system_io_set_variable(com_port_variable(addresses.cm_com_port), cm6k6);
    platform_system_io_set_variable(com_port_variable(addresses.ev_com_port), ev16p);
    // The unit's socket belongs to where it is placed on the GPIB.
    const auto [board, address] =
        gpib.value_or(std::pair{addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr});
    platform_system_io_set_variable(gpib_endpoint_variable(board, address), hp34970);
    if (g_gpib_place != nullptr)
        g_gpib_place->place(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr, gpib);
}

// Holds the device's monitor while events are pushed from the pusher thread, as a command
// holds it; taking it throws a DevFailed when the device stays busy past its time-out.
class DeviceMonitorHold {
public:
    explicit DeviceMonitorHold(Tango::DeviceImpl& device) : monitor_(device.get_dev_monitor()) {
        monitor_.get_monitor();
    }
    ~DeviceMonitorHold() { monitor_.rel_monitor(); }
    DeviceMonitorHold(const DeviceMonitorHold&) = delete;
    DeviceMonitorHold& operator=(const DeviceMonitorHold&) = delete;

private:
    Tango::TangoMonitor& monitor_;
};

} // namespace

void trelwick_stage_use_service(StageService* service, HeadlessPanel* panel, StageView* view) {
    g_service = service;
    g_panel = panel;
    g_view = view;
}

void trelwick_stage_use_gpib_place(GpibPlace* place) {
    g_gpib_place = place;
}

void trelwick_stage_property_fault(std::string reason) {
    g_start_property_fault = std::move(reason);
}

// --- The device ----------------------------------------------------------------------------

TrelwickStage::TrelwickStage(Tango::DeviceClass* device_class, const char* name)
    : TANGO_BASE_CLASS(device_class, name, "The positioning stage on five cams", Tango::UNKNOWN,
                       "") {
    init_device();
    pusher_ = std::thread([this] { pusher_loop(); });
    g_view->set_listener([this](const StageChange& change) {
        if (change.state)
            note_outcome(*change.state);
        {
            const std::lock_guard lock(events_mutex_);
            if (change.state)
                states_.push_back(*change.state);
            pending_.status = pending_.status || change.status;
            for (std::size_t i = 0; i < 5; ++i)
                pending_.coordinate[i] = pending_.coordinate[i] || change.coordinate[i];
            events_waiting_ = true;
        }
        events_queued_.notify_one();
    });
}

TrelwickStage::~TrelwickStage() {
    g_view->set_listener({});
    {
        const std::lock_guard lock(events_mutex_);
        stopping_ = true;
    }
    events_queued_.notify_one();
    if (pusher_.joinable())
        pusher_.join();
    delete_device();
}

StageService& TrelwickStage::service() {
    return *g_service;
}

void TrelwickStage::init_device() {
    {
        const std::lock_guard lock(outcome_mutex_);
        short_reason_.clear();
    }
    const bool bring_up = read_properties();
    // Pushed by this server when they change (State and Status on every change, the values
    // by their abs_change), for subscribers and archivers without a polling set-up.
    set_change_event("State", true, false);
    set_change_event("Status", true, false);
    set_archive_event("State", true, false);
    set_archive_event("Status", true, false);
    set_change_event("Question", true, false);
    set_archive_event("Question", true, false);
    for (const char* name : kPushedNames) {
        set_change_event(name, true, true);
        set_archive_event(name, true, true);
    }
    set_state(tango_state(g_view->state()));
    status_ = current_status();
    set_status(status_);
    if (bring_up && property_fault_.empty()) {
        const CommandResult result = g_service->bring_up();
        if (!result.accepted)
            WARN_STREAM << "BringUpAtStart: " << result.refusal << std::endl;
    }
}

// TANGO's Init and the server's end: the instruments are closed and the stage is OFF.
void TrelwickStage::delete_device() {
    g_service->close_instruments(kCloseSeconds);
}

bool TrelwickStage::read_properties() {
    QuestionSettings settings;
    std::string cm6k6, ev16p, hp34970;
    std::optional<std::pair<int, int>> gpib;
    double position_tolerance = kPositionTolerance;
    double angle_tolerance = kAngleTolerance;
    bool bring_up = false;
    std::string fault = g_start_property_fault;
    const auto refuse = [&fault](const std::string& error) {
        if (fault.empty())
            fault = error;
    };
    if (Tango::Util::_UseDb) {
        Tango::DbData data;
        for (const char* name :
             {"Questions", "QuestionTimeout", "CM6K6Device", "EV16PDevice", "HP34970Socket",
              "BringUpAtStart", "PositionTolerance", "AngleTolerance", "HP34970Gpib"})
            data.push_back(Tango::DbDatum(name));
        get_db_device()->get_property(data);
        std::string text;
        if (!data[0].is_empty()) {
            data[0] >> text;
            const auto policy = question_policy_from_text(text);
            if (!policy)
                refuse("Property Questions is \"" + text + "\": it must be refuse or ask");
            settings.policy = policy.value_or(QuestionPolicy::Refuse);
        }
        if (!data[1].is_empty()) {
            data[1] >> text;
            const PropertyValue<double> seconds =
                parse_number_property("QuestionTimeout", text, 0.0, 86400.0);
            if (!seconds.value)
                refuse(seconds.error);
            settings.timeout_seconds = seconds.value.value_or(settings.timeout_seconds);
        }
        if (!data[2].is_empty())
            data[2] >> cm6k6;
        if (!data[3].is_empty())
            data[3] >> ev16p;
        if (!data[4].is_empty())
            data[4] >> hp34970;
        if (!data[5].is_empty()) {
            data[5] >> text;
            const PropertyValue<bool> flag = parse_flag_property("BringUpAtStart", text);
            if (!flag.value)
                refuse(flag.error);
            bring_up = flag.value.value_or(false);
        }
        if (!data[8].is_empty()) {
            data[8] >> text;
            const PropertyValue<std::pair<int, int>> place =
                parse_gpib_property("HP34970Gpib", text);
            if (!place.value)
                refuse(place.error);
            gpib = place.value;
        }
        for (std::size_t i = 6; i < 8; ++i) {
            if (data[i].is_empty())
                continue;
            data[i] >> text;
            const char* name = i == 6 ? "PositionTolerance" : "AngleTolerance";
            const PropertyValue<double> tolerance = parse_number_property(name, text, 0.0, 1.0);
            if (!tolerance.value)
                refuse(tolerance.error);
            else
                (i == 6 ? position_tolerance : angle_tolerance) = *tolerance.value;
        }
    }
    g_panel->set_questions(settings);
    place_instruments(cm6k6, ev16p, hp34970, gpib);
    {
        const std::lock_guard lock(outcome_mutex_);
        property_fault_ = fault;
        position_tolerance_ = position_tolerance;
        angle_tolerance_ = angle_tolerance;
    }
    if (!fault.empty())
        ERROR_STREAM << fault << std::endl;
    return bring_up;
}

// Runs on the operator thread as the state changes: an operation that ended (MOVING to ON)
// with a message shown or stopped by the operator did not reach its end; a later one that
// did clears it.
void TrelwickStage::note_outcome(StageState state) {
    const std::lock_guard lock(outcome_mutex_);
    if (state == StageState::On && !running_command_.empty()) {
        const std::string status = g_view->snapshot().status;
        const std::size_t newline = status.find('\n');
        const std::string line = status.substr(0, newline);
        if (newline != std::string::npos)
            short_reason_ =
                running_command_ + " did not complete: " +
                status.substr(newline + 1, status.find('\n', newline + 1) - newline - 1);
        else if (line.rfind("Stopped", 0) == 0)
            short_reason_ = running_command_ + " did not complete: " + line;
        else if (const std::string off = off_target(running_command_); !off.empty())
            short_reason_ = running_command_ + " did not complete: " + off;
        else
            short_reason_.clear();
        running_command_.clear();
    }
    if (state == StageState::Off || state == StageState::Fault) {
        short_reason_.clear();
        running_command_.clear();
    }
}

bool TrelwickStage::property_fault() {
    const std::lock_guard lock(outcome_mutex_);
    return !property_fault_.empty();
}

// After a motion the program called done: the first coordinate measured farther from the
// target than the tolerance (a motor that stalled while the controller counted on), as
// "X is 0.0004906, 9.4e-06 from its target 0.0005"; empty when every one is within it.
std::string TrelwickStage::off_target(const std::string& command) const {
    const bool motion = command == "Move" || command == "MoveRelative" || command == "Home" ||
                        command.rfind("write ", 0) == 0;
    if (!motion)
        return {};
    const StageSnapshot now = g_view->snapshot();
    for (std::size_t i = 0; i < 5; ++i) {
        const double tolerance = i <= COORD_Y ? position_tolerance_ : angle_tolerance_;
        const double miss = std::fabs(now.coordinates[i] - now.target[i]);
        if (miss <= tolerance) // a NaN (not measured) fails too
            continue;
        std::ostringstream why;
        why.precision(7);
        why << kCoordinateNames[i] << " is " << now.coordinates[i] << ", " << miss
            << " from its target " << now.target[i];
        return why.str();
    }
    return {};
}

Tango::DevState TrelwickStage::command_state() {
    const std::lock_guard lock(outcome_mutex_);
    if (!property_fault_.empty())
        return Tango::FAULT;
    const Tango::DevState state = tango_state(g_view->state());
    return state == Tango::ON && !short_reason_.empty() ? Tango::ALARM : state;
}

Tango::DevState TrelwickStage::dev_state() {
    set_state(command_state());
    // The base class's evaluation last: an attribute beyond its alarm levels gives ALARM.
    return TANGO_BASE_CLASS::dev_state();
}

std::string TrelwickStage::current_status() {
    const std::string view_status = g_view->snapshot().status;
    const std::lock_guard lock(outcome_mutex_);
    if (!property_fault_.empty())
        return property_fault_;
    if (!short_reason_.empty() && g_view->state() == StageState::On)
        return short_reason_ + "\n" + view_status;
    // At start and after Init, before the window would show anything.
    if (view_status.empty() && g_view->state() == StageState::Off)
        return kNotBroughtUpText;
    return view_status;
}

Tango::ConstDevString TrelwickStage::dev_status() {
    status_ = current_status();
    set_status(status_);
    // The base class adds the attributes beyond their alarm levels in ALARM.
    return TANGO_BASE_CLASS::dev_status();
}

void TrelwickStage::read_attr_hardware(std::vector<long>& /*attributes*/) {
    read_ = g_view->snapshot();
    const std::lock_guard lock(outcome_mutex_);
    read_after_failure_ = !short_reason_.empty();
}

void TrelwickStage::read_coordinate(Tango::Attribute& attribute, int index) {
    double& value = read_.coordinates[static_cast<std::size_t>(index)];
    attribute.set_value(&value);
    attribute.set_quality(coordinate_quality(read_.state, value, read_after_failure_));
}

Tango::AttrQuality TrelwickStage::coordinate_quality(StageState state, double value,
                                                     bool after_failure) {
    if (!std::isfinite(value))
        return Tango::ATTR_INVALID;
    // Known to be changing while an operation runs; after one that did not complete, the
    // last value measured is not a confirmed position.
    if (state == StageState::Moving || state == StageState::Alarm)
        return Tango::ATTR_CHANGING;
    return after_failure ? Tango::ATTR_WARNING : Tango::ATTR_VALID;
}

void TrelwickStage::read_question(Tango::Attribute& attribute) {
    question_ = read_.question;
    read_question_text_ = question_.data();
    attribute.set_value(&read_question_text_);
}

void TrelwickStage::read_wait_profile(Tango::Attribute& attribute) {
    wait_profile_ = wait_profile_name(wait_profile());
    read_wait_profile_text_ = wait_profile_.data();
    attribute.set_value(&read_wait_profile_text_);
}

void TrelwickStage::read_five(Tango::Attribute& attribute, StageFive StageSnapshot::*member) {
    StageFive& five = read_.*member;
    attribute.set_value(five.data(), 5);
    bool any_measured = false;
    for (const double value : five)
        any_measured = any_measured || std::isfinite(value);
    if (!any_measured)
        attribute.set_quality(Tango::ATTR_INVALID);
}

void TrelwickStage::read_temperature(Tango::Attribute& attribute) {
    attribute.set_value(&read_.temperature);
    if (!std::isfinite(read_.temperature))
        attribute.set_quality(Tango::ATTR_INVALID);
}

void TrelwickStage::write_coordinate(int index, double value) {
    if (command_state() != Tango::ON && command_state() != Tango::ALARM)
        Tango::Except::throw_exception("API_AttrNotAllowed",
                                       std::string("A coordinate is written in ON or ALARM, not ") +
                                           Tango::DevStateName[command_state()],
                                       "TrelwickStage::write_coordinate");
    StageFive target = g_view->snapshot().coordinates;
    for (std::size_t i = 0; i < target.size(); ++i)
        if (!std::isfinite(target[i]))
            Tango::Except::throw_exception("TrelwickStage_NotMeasured",
                                           std::string(kCoordinateNames[i]) +
                                               " is not measured: run ReadPosition first",
                                           "TrelwickStage::write_coordinate");
    target[static_cast<std::size_t>(index)] = value;
    const std::vector<double> five(target.begin(), target.end());
    const std::string name = std::string("write ") + kCoordinateNames[index];
    check_target(five, false, name.c_str());
    run_command(name.c_str(), [&] { return g_service->move(five); });
}

void TrelwickStage::check_target(const std::vector<double>& values, bool relative,
                                 const char* command) {
    const std::string origin = std::string("TrelwickStage::") + command;
    if (values.size() != 5)
        Tango::Except::throw_exception(
            "TrelwickStage_WrongLength",
            std::string(kFiveValuesText) + ", not " + std::to_string(values.size()), origin);
    const StageFive now = g_view->snapshot().coordinates;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double limit = coordinate_input_limit(i);
        // A relative move is checked where it ends, as an absolute one is.
        const double target = relative ? values[i] + now[i] : values[i];
        if (coordinate_input_within(values[i], limit) && coordinate_input_within(target, limit))
            continue;
        std::ostringstream why;
        why.precision(10);
        why << kValueOutOfRangeText << "\n"
            << kCoordinateNames[i] << (relative ? " would be " : " = ") << target
            << ", beyond the limit +/-" << limit;
        Tango::Except::throw_exception("TrelwickStage_OutOfRange", why.str(), origin);
    }
}

void TrelwickStage::run_command(const char* command, const std::function<CommandResult()>& action) {
    const std::string name = command;
    const bool operation = name != "Stop" && name != "Confirm" && name != "Refuse";
    std::string before;
    if (operation) {
        // Named before the operation is queued, so that its end, however soon, knows it.
        const std::lock_guard lock(outcome_mutex_);
        before = std::exchange(running_command_, name);
    }
    const CommandResult result = action();
    if (result.accepted)
        return;
    if (operation) {
        const std::lock_guard lock(outcome_mutex_);
        running_command_ = before;
    }
    const char* reason =
        result.refusal == kNoQuestionText ? "TrelwickStage_NoQuestion" : "TrelwickStage_Refused";
    Tango::Except::throw_exception(reason, result.refusal, "TrelwickStage::" + name);
}

void TrelwickStage::pusher_loop() {
    // TANGO's monitors tell threads apart by their omniORB identity: this thread needs one.
    omni_thread::create_dummy();
    for (;;) {
        StageChange change;
        std::deque<StageState> states;
        {
            std::unique_lock lock(events_mutex_);
            events_queued_.wait(lock, [this] { return stopping_ || events_waiting_; });
            if (stopping_)
                break;
            change = pending_;
            pending_ = StageChange{};
            states.swap(states_);
            events_waiting_ = false;
        }
        push_changes(states, change);
    }
    omni_thread::release_dummy();
}

void TrelwickStage::push_changes(const std::deque<StageState>& states, const StageChange& change) {
    const StageSnapshot now = g_view->snapshot();
    try {
        const DeviceMonitorHold hold(*this);
        // A change event says that a value changed: the same state or text twice in a row
        // is pushed once.
        for (const StageState state : states) {
            if (state == pushed_state_)
                continue;
            pushed_state_ = state;
            set_state(tango_state(state));
            if (state == StageState::On)
                set_state(command_state());
            push_change_event("State");
            push_archive_event("State");
        }
        set_state(command_state());
        timeval when{};
        gettimeofday(&when, nullptr);
        const std::string status = current_status();
        if (status != pushed_status_) {
            pushed_status_ = status;
            status_ = status;
            set_status(status_);
            push_change_event("Status");
            push_archive_event("Status");
            if (now.question != pushed_question_) {
                pushed_question_ = now.question;
                question_text_ = pushed_question_.data();
                push_change_event("Question", &question_text_, when, Tango::ATTR_VALID);
                push_archive_event("Question", &question_text_, when, Tango::ATTR_VALID);
            }
        }
        bool after_failure = false;
        {
            const std::lock_guard lock(outcome_mutex_);
            after_failure = !short_reason_.empty();
        }
        for (std::size_t i = 0; i < 5; ++i) {
            if (!change.coordinate[i] && states.empty())
                continue;
            pushed_[i] = now.coordinates[i];
            const Tango::AttrQuality quality =
                coordinate_quality(now.state, pushed_[i], after_failure);
            push_change_event(kCoordinateNames[i], &pushed_[i], when, quality);
            push_archive_event(kCoordinateNames[i], &pushed_[i], when, quality);
        }
        push_five("CamAngles", now.cam_angles, pushed_cams_, when);
        push_five("Gauges", now.gauges, pushed_gauges_, when);
        push_five("Target", now.target, pushed_target_, when);
        pushed_temperature_ = now.temperature;
        const Tango::AttrQuality temperature_quality =
            std::isfinite(pushed_temperature_) ? Tango::ATTR_VALID : Tango::ATTR_INVALID;
        push_change_event("Temperature", &pushed_temperature_, when, temperature_quality);
        push_archive_event("Temperature", &pushed_temperature_, when, temperature_quality);
    } catch (const Tango::DevFailed& failure) {
        // A client that went away, or the device busy past the monitor's time-out: the
        // next change pushes the values again.
        if (failure.errors.length() > 0)
            WARN_STREAM << "event not pushed: " << failure.errors[0].desc.in() << std::endl;
    }
}

void TrelwickStage::push_five(const char* name, const StageFive& now, StageFive& pushed,
                              timeval when) {
    pushed = now;
    bool any_measured = false;
    for (const double value : pushed)
        any_measured = any_measured || std::isfinite(value);
    const Tango::AttrQuality quality = any_measured ? Tango::ATTR_VALID : Tango::ATTR_INVALID;
    push_change_event(name, pushed.data(), when, quality, 5);
    push_archive_event(name, pushed.data(), when, quality, 5);
}

// --- The class ------------------------------------------------------------------------------

TrelwickStageClass* TrelwickStageClass::instance_ = nullptr;

TrelwickStageClass::TrelwickStageClass(std::string& name) : Tango::DeviceClass(name) {
    set_type("TrelwickStage");
}

TrelwickStageClass* TrelwickStageClass::init(const char* name) {
    if (instance_ == nullptr) {
        std::string class_name(name);
        instance_ = new TrelwickStageClass(class_name); // owned by TANGO's server from here
    }
    return instance_;
}

TrelwickStageClass* TrelwickStageClass::instance() {
    return instance_;
}

// Commands, attributes and devices are handed to TANGO, which owns and deletes them.
void TrelwickStageClass::command_factory() {
    command_list.push_back(new PlainCommand("BringUp", Allowed::BringUp,
                                            [](StageService& s) { return s.bring_up(); }));
    command_list.push_back(
        new FiveCommand("Move", "X, Y (m), Roll, Pitch, Yaw (rad) to move to", false,
                        [](StageService& s, std::span<const double> v) { return s.move(v); }));
    command_list.push_back(new FiveCommand(
        "MoveRelative", "differences of X, Y (m), Roll, Pitch, Yaw (rad)", true,
        [](StageService& s, std::span<const double> v) { return s.move_relative(v); }));
    command_list.push_back(
        new PlainCommand("Home", Allowed::Idle, [](StageService& s) { return s.home(); }));
    command_list.push_back(new PlainCommand("ReadPosition", Allowed::Idle,
                                            [](StageService& s) { return s.read_position(); }));
    command_list.push_back(new PlainCommand("ReadGauges", Allowed::Idle,
                                            [](StageService& s) { return s.read_gauges(); }));
    command_list.push_back(new PlainCommand("ZeroGauges", Allowed::Idle,
                                            [](StageService& s) { return s.zero_gauges(); }));
    command_list.push_back(new PlainCommand("Stop", Allowed::Always, [](StageService& s) {
        s.stop();
        return CommandResult{};
    }));
    command_list.push_back(new PlainCommand("Confirm", Allowed::Question,
                                            [](StageService& s) { return s.confirm(); }));
    command_list.push_back(
        new PlainCommand("Refuse", Allowed::Question, [](StageService& s) { return s.refuse(); }));
}

void TrelwickStageClass::attribute_factory(std::vector<Tango::Attr*>& attributes) {
    const char* const units[5] = {"m", "m", "rad", "rad", "rad"};
    const char* const formats[5] = {"%.7f", "%.7f", "%.6f", "%.6f", "%.6f"};
    const char* const changes[5] = {"1e-7", "1e-7", "1e-6", "1e-6", "1e-6"};
    for (int i = 0; i < 5; ++i) {
        auto* coordinate = new CoordinateAttr(kCoordinateNames[i], i);
        describe(coordinate, units[i], formats[i],
                 "present coordinate; NaN (INVALID) until measured, CHANGING while an "
                 "operation runs; a write moves this coordinate, the others staying",
                 changes[i], coordinate_input_limit(static_cast<std::size_t>(i)));
        attributes.push_back(coordinate);
    }
    auto* cams = new FiveAttr("CamAngles", &StageSnapshot::cam_angles);
    describe(cams, "rad", "%.6f", "cam angles 1-5 from their potentiometer zero", "1e-6");
    attributes.push_back(cams);
    auto* gauges = new FiveAttr("Gauges", &StageSnapshot::gauges);
    describe(gauges, "m", "%.7f", "gauges 1-5 of the main panel; NaN until read", "1e-7");
    attributes.push_back(gauges);
    auto* temperature = new TemperatureAttr();
    describe(temperature, "degC", "%.2f", "the data-acquisition unit's temperature channel",
             "0.01");
    attributes.push_back(temperature);
    auto* target = new FiveAttr("Target", &StageSnapshot::target);
    describe(target, "", "%.7f", "X, Y (m), Roll, Pitch, Yaw (rad) of the last target", "1e-7");
    attributes.push_back(target);
    auto* question = new QuestionAttr();
    describe(question, "", "%s",
             "the question waiting for Confirm or Refuse (Questions = ask); empty when none", "");
    attributes.push_back(question);
    auto* waits = new WaitProfileAttr();
    describe(waits, "", "%s",
             "the wait profile of this server, designed or fast (WaitProfile or --wait-profile, "
             "read at start)",
             "");
    attributes.push_back(waits);
}

void TrelwickStageClass::device_factory(const Tango::DevVarStringArray* devices) {
    // One stage per server process: a second device name would drive the same instruments.
    if (devices->length() > 1)
        Tango::Except::throw_exception(
            "TrelwickStage_OneStage",
            std::string("One stage per server: register one TrelwickStage device, not ") +
                std::to_string(devices->length()),
            "TrelwickStageClass::device_factory");
    if (devices->length() == 0)
        return;
    auto* device = new TrelwickStage(this, (*devices)[0].in());
    device_list.push_back(device);
    if (Tango::Util::_UseDb && !Tango::Util::_FileDb)
        export_device(device);
    else
        export_device(device, device->get_name().c_str());
}

void Tango::DServer::class_factory() {
    add_class(TrelwickStageClass::init("TrelwickStage"));
}
