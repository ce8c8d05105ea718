#include "sim/sim_stage.hpp"

#include "platform/link/link_backends.hpp"

SimStage::SimStage(StageModelConfig config)
    : model_(config), cm6k6_(model_), ev16p_(model_), hp34970_(model_) {
    auto sync = [this](double now) { advance(now); };
    cm6k6_.set_sync(sync);
    ev16p_.set_sync(sync);
    hp34970_.set_sync(sync);
}

void SimStage::power_on(double now) {
    model_.reset(now);
    cm6k6_.power_on(now);
    ev16p_.power_on(now);
    hp34970_.power_on(now);
    cm6k6_.faults() = Cm6k6Faults{};
    ev16p_.faults() = Ev16pFaults{};
    hp34970_.faults() = Hp34970Faults{};
}

void SimStage::advance(double now) {
    // Each instrument runs what is due by now; the motion controller first, so relays and
    // readings see the motors where they are. A call from inside another's work returns.
    if (advancing_)
        return;
    advancing_ = true;
    cm6k6_.advance(now);
    hp34970_.advance(now);
    ev16p_.advance(now);
    advancing_ = false;
}

void SimStage::attach(LinkSerialBackend& serial, LinkGpibBackend& gpib) {
    serial.attach(kSimCm6k6Port, &cm6k6_);
    serial.attach(kSimEv16pPort, &ev16p_);
    gpib.attach(kSimGpibBoard, kSimGpibAddress, &hp34970_);
}
