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
#include <mutex>
#include <string>
#include <thread>

// The service every TrelwickStage device of this process drives (one stage per process).
void trelwick_stage_use_service(StageService* service, HeadlessPanel* panel, StageView* view);

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
    StageService& service();
    // Throws the refusal as a DevFailed.
    static void answer(const CommandResult& result, const char* command);

private:
    void read_properties();
    void pusher_loop();
    void push_changes(const std::deque<StageState>& states, const StageChange& change);

    StageSnapshot read_; // the values of one read request
    std::string status_; // what dev_status() returned last
    // Change events, handed from the operator thread to the pusher thread.
    std::mutex events_mutex_;
    std::condition_variable events_queued_;
    std::deque<StageState> states_; // every state, in order
    StageChange pending_{};         // the other values: only the latest is pushed
    bool events_waiting_ = false;
    bool stopping_ = false;
    std::thread pusher_;
    StageFive pushed_{};
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
