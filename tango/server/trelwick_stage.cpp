#include "trelwick_stage.hpp"

#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/gpib_units.hpp"
#include "stage/records.hpp"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <sys/time.h>

namespace {

StageService* g_service = nullptr;
HeadlessPanel* g_panel = nullptr;
StageView* g_view = nullptr;

const char* const kCoordinateNames[5] = {"X", "Y", "Roll", "Pitch", "Yaw"};

// How long Init waits for the operator thread to close the instruments: within a client's
// usual 3 s time-out. An operation that has not stopped by then is closed when it ends.
constexpr double kCloseSeconds = 2.5;

Tango::DevState tango_state(StageState state) {
    switch (state) {
    case StageState::Off:
        return Tango::OFF;
    case StageState::On:
        return Tango::ON;
    case StageState::Moving:
        return Tango::MOVING;
    case StageState::Alarm:
        return Tango::ALARM;
    case StageState::Fault:
        return Tango::FAULT;
    }
    return Tango::UNKNOWN;
}

// --- Attributes ------------------------------------------------------------------------

class CoordinateAttr : public Tango::Attr {
public:
    CoordinateAttr(const char* name, int index)
        : Tango::Attr(name, Tango::DEV_DOUBLE, Tango::READ), index_(index) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_coordinate(attribute, index_);
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

class TemperatureAttr : public Tango::Attr {
public:
    TemperatureAttr() : Tango::Attr("Temperature", Tango::DEV_DOUBLE, Tango::READ) {}
    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        static_cast<TrelwickStage*>(device)->read_temperature(attribute);
    }
};

void describe(Tango::Attr* attribute, const char* unit, const char* description) {
    Tango::UserDefaultAttrProp properties;
    properties.set_unit(unit);
    properties.set_description(description);
    attribute->set_default_properties(properties);
}

// --- Commands ----------------------------------------------------------------------------

// A command without argument: the service's answer, a refusal thrown as a DevFailed.
class PlainCommand : public Tango::Command {
public:
    using Action = std::function<CommandResult(StageService&)>;
    PlainCommand(const char* name, Action action)
        : Tango::Command(name, Tango::DEV_VOID, Tango::DEV_VOID), action_(std::move(action)) {}
    CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any& /*in*/) override {
        auto* stage = static_cast<TrelwickStage*>(device);
        TrelwickStage::answer(action_(stage->service()), get_name().c_str());
        return insert();
    }

private:
    Action action_;
};

// Move and MoveRelative: five doubles.
class FiveCommand : public Tango::Command {
public:
    using Action = std::function<CommandResult(StageService&, std::span<const double>)>;
    FiveCommand(const char* name, const char* description, Action action)
        : Tango::Command(name, Tango::DEVVAR_DOUBLEARRAY, Tango::DEV_VOID, description, ""),
          action_(std::move(action)) {}
    CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any& in) override {
        const Tango::DevVarDoubleArray* values = nullptr;
        extract(in, values);
        std::vector<double> five(values->get_buffer(), values->get_buffer() + values->length());
        auto* stage = static_cast<TrelwickStage*>(device);
        TrelwickStage::answer(action_(stage->service(), five), get_name().c_str());
        return insert();
    }

private:
    Action action_;
};

// The instruments' places on this machine, from the device properties: a serial device
// for each COM port, a socket for the GPIB unit. They are handed to the platform as the
// overrides it reads when a port or unit is opened.
void place_instruments(const std::string& cm6k6, const std::string& ev16p,
                       const std::string& hp34970) {
    param_structure param{};
    instrument_addresses addresses{};
    fill_param_structure(param, addresses, 0);
    if (!cm6k6.empty())
        ::setenv(com_port_variable(addresses.cm_com_port).c_str(), cm6k6.c_str(), 1);
    if (!ev16p.empty())
        ::setenv(com_port_variable(addresses.ev_com_port).c_str(), ev16p.c_str(), 1);
    if (!hp34970.empty())
        ::setenv(gpib_endpoint_variable(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr)
                     .c_str(),
                 hp34970.c_str(), 1);
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

// --- The device ----------------------------------------------------------------------------

TrelwickStage::TrelwickStage(Tango::DeviceClass* device_class, const char* name)
    : TANGO_BASE_CLASS(device_class, name) {
    init_device();
    pusher_ = std::thread([this] { pusher_loop(); });
    g_view->set_listener([this](const StageChange& change) {
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
    read_properties();
    // Pushed by this server when they change, without the archive's change criteria.
    set_change_event("State", true, false);
    set_change_event("Status", true, false);
    for (const char* name : kCoordinateNames)
        set_change_event(name, true, false);
    set_state(tango_state(g_view->state()));
}

// TANGO's Init and the server's end: the instruments are closed and the stage is OFF.
void TrelwickStage::delete_device() {
    g_service->close_instruments(kCloseSeconds);
}

void TrelwickStage::read_properties() {
    QuestionSettings settings;
    std::string cm6k6, ev16p, hp34970;
    if (Tango::Util::_UseDb) {
        Tango::DbData data;
        for (const char* name :
             {"Questions", "QuestionTimeout", "CM6K6Device", "EV16PDevice", "HP34970Socket"})
            data.push_back(Tango::DbDatum(name));
        get_db_device()->get_property(data);
        if (!data[0].is_empty()) {
            std::string text;
            data[0] >> text;
            const auto policy = question_policy_from_text(text);
            if (!policy)
                std::fprintf(
                    stderr, "trelwick-tango: Questions is \"%s\"; taking \"refuse\" (or \"ask\")\n",
                    text.c_str());
            settings.policy = policy.value_or(QuestionPolicy::Refuse);
        }
        if (!data[1].is_empty()) {
            double seconds = 0.0;
            data[1] >> seconds;
            if (std::isfinite(seconds) && seconds >= 0.0 && seconds <= 86400.0)
                settings.timeout_seconds = seconds;
        }
        if (!data[2].is_empty())
            data[2] >> cm6k6;
        if (!data[3].is_empty())
            data[3] >> ev16p;
        if (!data[4].is_empty())
            data[4] >> hp34970;
    }
    g_panel->set_questions(settings);
    place_instruments(cm6k6, ev16p, hp34970);
}

Tango::DevState TrelwickStage::dev_state() {
    const Tango::DevState state = tango_state(g_view->state());
    set_state(state);
    return state;
}

Tango::ConstDevString TrelwickStage::dev_status() {
    status_ = g_view->snapshot().status;
    set_status(status_);
    return status_.c_str();
}

void TrelwickStage::read_attr_hardware(std::vector<long>& /*attributes*/) {
    read_ = g_view->snapshot();
}

void TrelwickStage::read_coordinate(Tango::Attribute& attribute, int index) {
    double& value = read_.coordinates[static_cast<std::size_t>(index)];
    attribute.set_value(&value);
    if (!std::isfinite(value))
        attribute.set_quality(Tango::ATTR_INVALID);
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

void TrelwickStage::answer(const CommandResult& result, const char* command) {
    if (!result.accepted)
        Tango::Except::throw_exception("TrelwickStage_Refused", result.refusal,
                                       std::string("TrelwickStage::") + command);
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
            push_change_event("State");
        }
        set_state(tango_state(now.state));
        if (now.status != pushed_status_) {
            pushed_status_ = now.status;
            status_ = now.status;
            set_status(status_);
            push_change_event("Status");
        }
        timeval when{};
        gettimeofday(&when, nullptr);
        for (std::size_t i = 0; i < 5; ++i) {
            if (!change.coordinate[i])
                continue;
            pushed_[i] = now.coordinates[i];
            push_change_event(kCoordinateNames[i], &pushed_[i], when,
                              std::isfinite(pushed_[i]) ? Tango::ATTR_VALID : Tango::ATTR_INVALID);
        }
    } catch (const Tango::DevFailed& failure) {
        // A client that went away, or the device busy past the monitor's time-out: the
        // next change pushes the values again.
        if (failure.errors.length() > 0)
            std::fprintf(stderr, "trelwick-tango: event not pushed: %s\n",
                         failure.errors[0].desc.in());
    }
}

// --- The class ------------------------------------------------------------------------------

TrelwickStageClass* TrelwickStageClass::instance_ = nullptr;

TrelwickStageClass::TrelwickStageClass(std::string& name) : Tango::DeviceClass(name) {}

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
    command_list.push_back(
        new PlainCommand("BringUp", [](StageService& s) { return s.bring_up(); }));
    command_list.push_back(
        new FiveCommand("Move", "X, Y, Roll, Pitch, Yaw to move to",
                        [](StageService& s, std::span<const double> v) { return s.move(v); }));
    command_list.push_back(new FiveCommand(
        "MoveRelative", "differences of X, Y, Roll, Pitch, Yaw",
        [](StageService& s, std::span<const double> v) { return s.move_relative(v); }));
    command_list.push_back(new PlainCommand("Home", [](StageService& s) { return s.home(); }));
    command_list.push_back(
        new PlainCommand("ReadPosition", [](StageService& s) { return s.read_position(); }));
    command_list.push_back(
        new PlainCommand("ReadGauges", [](StageService& s) { return s.read_gauges(); }));
    command_list.push_back(
        new PlainCommand("ZeroGauges", [](StageService& s) { return s.zero_gauges(); }));
    command_list.push_back(new PlainCommand("Stop", [](StageService& s) {
        s.stop();
        return CommandResult{};
    }));
    command_list.push_back(
        new PlainCommand("Confirm", [](StageService& s) { return s.confirm(); }));
    command_list.push_back(new PlainCommand("Refuse", [](StageService& s) { return s.refuse(); }));
}

void TrelwickStageClass::attribute_factory(std::vector<Tango::Attr*>& attributes) {
    const char* const units[5] = {"m", "m", "rad", "rad", "rad"};
    for (int i = 0; i < 5; ++i) {
        auto* coordinate = new CoordinateAttr(kCoordinateNames[i], i);
        describe(coordinate, units[i], "present coordinate; NaN (INVALID) until measured");
        attributes.push_back(coordinate);
    }
    auto* cams = new FiveAttr("CamAngles", &StageSnapshot::cam_angles);
    describe(cams, "rad", "cam angles 1-5 from their potentiometer zero");
    attributes.push_back(cams);
    auto* gauges = new FiveAttr("Gauges", &StageSnapshot::gauges);
    describe(gauges, "m", "gauges 1-5 of the main panel; NaN until read");
    attributes.push_back(gauges);
    auto* temperature = new TemperatureAttr();
    describe(temperature, "degC", "the data-acquisition unit's temperature channel");
    attributes.push_back(temperature);
    auto* target = new FiveAttr("Target", &StageSnapshot::target);
    describe(target, "m, m, rad, rad, rad", "X, Y, Roll, Pitch, Yaw of the last target");
    attributes.push_back(target);
}

void TrelwickStageClass::device_factory(const Tango::DevVarStringArray* devices) {
    // One stage per server process: a second device name would drive the same instruments.
    if (devices->length() > 1)
        std::fprintf(stderr, "trelwick-tango: one stage per server; serving %s only\n",
                     (*devices)[0].in());
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
