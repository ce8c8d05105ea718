// The TANGO device class TrelwickStage: one stage per server process, a thin adapter
// between the control system and the StageService. Commands are checked and queued by the
// service and answered at once; attributes are the view's last values; State, Status and
// the coordinates push change events from a thread of their own, so the operator thread
// never waits for the control system.
#pragma once

#include "headless/stage_service.hpp"

#include <tango.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The service every TrelwickStage device of this process drives (one stage per process).
void trelwick_stage_use_service(StageService* service, HeadlessPanel* panel, StageView* view);
// A property read at the server's start (Simulate, Speed, WaitProfile) that could not be taken: the
// device stays in FAULT with this reason as its Status. Empty: none.
void trelwick_stage_property_fault(std::string reason);
// The GPIB backend that places the data-acquisition unit (the HP34970Gpib property).
class GpibPlace;
void trelwick_stage_use_gpib_place(GpibPlace* place);

class TrelwickStage : public TANGO_BASE_CLASS {
public:
    TrelwickStage(Tango::DeviceClass* device_class, const char* name);
    ~TrelwickStage() override;

    void init_device() override;
    void delete_device() override;
    Tango::DevState dev_state() override;
    Tango::ConstDevString dev_status() override;
    void read_attr_hardware(std::vector<long>& attributes) override;

    // What the attribute classes and the commands call.
    void read_coordinate(Tango::Attribute& attribute, int index);
    void read_five(Tango::Attribute& attribute, StageFive StageSnapshot::*member);
    void read_temperature(Tango::Attribute& attribute);
    void read_question(Tango::Attribute& attribute);
    void read_wait_profile(Tango::Attribute& attribute);
    // A Move of coordinate `index` to `value`, the others at their present values.
    void write_coordinate(int index, double value);
    StageService& service();
    // The state the commands are allowed by: FAULT for a refused property, ALARM after an
    // operation that did not complete, else the service's state as TANGO names it.
    Tango::DevState command_state();
    bool property_fault();
    // Throws TrelwickStage_WrongLength or TrelwickStage_OutOfRange (naming the coordinate,
    // the value and the limit) for a target the coordinate box would refuse; a relative
    // one is checked where it would end.
    void check_target(const std::vector<double>& values, bool relative, const char* command);
    // Runs `action` as the operation `command` (whose end is then judged by its name);
    // throws the service's refusal as a DevFailed.
    void run_command(const char* command, const std::function<CommandResult()>& action);

private:
    // Reads the device properties; true when BringUpAtStart asks for a bring-up.
    bool read_properties();
    void note_outcome(StageState state);
    std::string current_status();
    std::string off_target(const std::string& command) const;
    static Tango::AttrQuality coordinate_quality(StageState state, double value,
                                                 bool after_failure);
    void pusher_loop();
    void push_changes(const std::deque<StageState>& states, const StageChange& change);
    void push_five(const char* name, const StageFive& now, StageFive& pushed, timeval when);

    StageSnapshot read_; // the values of one read request
    bool read_after_failure_ = false;
    std::string question_;
    Tango::DevString read_question_text_ = nullptr;
    std::string wait_profile_; // "designed" or "fast", as read last
    Tango::DevString read_wait_profile_text_ = nullptr;
    std::string status_; // what dev_status() returned last
    // The operation's outcome, written on the operator thread and the command threads.
    std::mutex outcome_mutex_;
    std::string property_fault_;      // a property that could not be taken
    std::string running_command_;     // the command whose operation runs
    std::string short_reason_;        // why the last operation did not complete; empty: it did
    double position_tolerance_ = 0.0; // X and Y, m
    double angle_tolerance_ = 0.0;    // Roll, Pitch and Yaw, rad
    // Change events, handed from the operator thread to the pusher thread.
    std::mutex events_mutex_;
    std::condition_variable events_queued_;
    std::deque<StageState> states_; // every state, in order
    StageChange pending_{};         // the other values: only the latest is pushed
    bool events_waiting_ = false;
    bool stopping_ = false;
    std::thread pusher_;
    StageFive pushed_{};
    StageFive pushed_cams_{};
    StageFive pushed_gauges_{};
    StageFive pushed_target_{};
    double pushed_temperature_ = 0.0;
    std::string pushed_question_;
    Tango::DevString question_text_ = nullptr;
    StageState pushed_state_ = StageState::Off;
    std::string pushed_status_;
};

class TrelwickStageClass : public Tango::DeviceClass {
public:
    static TrelwickStageClass* init(const char* name);
    static TrelwickStageClass* instance();

protected:
    explicit TrelwickStageClass(std::string& name);

private:
    void command_factory() override;
    void attribute_factory(std::vector<Tango::Attr*>& attributes) override;
    void device_factory(const Tango::DevVarStringArray* devices) override;

    static TrelwickStageClass* instance_;
};
