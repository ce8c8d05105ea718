#include "sim/sim_stage.hpp"

#include "platform/link/link_backends.hpp"
#include "sim/sim_control.hpp"

#include <algorithm>

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
    schedule_.clear();
}

void SimStage::advance(double now) {
    // The instruments' work runs in time order across all three, one piece at a time, so
    // a relay the switch unit closed at t1 is closed for a controller command at t2 > t1
    // whichever instrument was asked first. At equal times the controller goes first, so
    // relays and readings see the motors where they are. A call from inside another's
    // work returns.
    if (advancing_)
        return;
    advancing_ = true;
    for (;;) {
        const double c = cm6k6_.next_event();
        const double h = hp34970_.next_event();
        const double e = ev16p_.next_event();
        const double s = schedule_.empty() ? kSimNever : schedule_.front().first;
        const double first = std::min({c, h, e, s});
        if (first > now)
            break;
        if (s == first) {
            const std::string line = std::move(schedule_.front().second);
            schedule_.pop_front();
            sim_control(*this, line, s);
        } else if (c == first)
            cm6k6_.step(now);
        else if (h == first)
            hp34970_.step(now);
        else
            ev16p_.step(now);
    }
    advancing_ = false;
}

void SimStage::schedule(double at, std::string line) {
    auto it = schedule_.begin();
    while (it != schedule_.end() && it->first <= at)
        ++it;
    schedule_.insert(it, {at, std::move(line)});
}

void SimStage::set_history_limit(std::size_t n) {
    cm6k6_.set_history_limit(n);
    ev16p_.set_history_limit(n);
    hp34970_.set_history_limit(n);
}

void SimStage::attach(LinkSerialBackend& serial, LinkGpibBackend& gpib) {
    serial.attach(kSimCm6k6Port, &cm6k6_);
    serial.attach(kSimEv16pPort, &ev16p_);
    gpib.attach(kSimGpibBoard, kSimGpibAddress, &hp34970_);
}
