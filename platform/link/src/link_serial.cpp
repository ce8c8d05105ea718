#include "platform/link/link_backends.hpp"

#include "link_read.hpp"
#include "platform/clock.hpp"
#include "platform/instrument_diagnosis.hpp"

#include <cstring>
#include <limits>
#include <string_view>

void LinkSerialBackend::attach(int port, LinkPeer* peer) {
    Port& p = ports_[port];
    p.peer = peer;
    p.open = false;
    p.pending.clear();
}

LinkSerialBackend::Port* LinkSerialBackend::open_port(int port) {
    const auto it = ports_.find(port);
    if (it == ports_.end() || it->second.peer == nullptr || !it->second.open)
        return nullptr;
    return &it->second;
}

int LinkSerialBackend::open_com_config(int port, const std::string& /*device_name*/, long baud,
                                       int parity, int data_bits, int stop_bits,
                                       int /*input_queue*/, int /*output_queue*/) {
    if (port < 1 || port > 255)
        return kRS232InvalidPort;
    const auto it = ports_.find(port);
    if (it == ports_.end() || it->second.peer == nullptr) {
        // Nothing is plugged into this port.
        instrument_diagnosis_record(
            serial_instrument_key(port),
            {describe_port(port), "nothing on this port",
             served_ports().empty()
                 ? std::string("the simulated stage serves no serial port")
                 : "set the instrument back to a port the simulated stage serves (" +
                       served_ports() + ") on the Parameters panel"});
        return kRS232InvalidPort;
    }
    instrument_diagnosis_forget(serial_instrument_key(port));
    Port& p = it->second;
    p.open = true;
    p.pending.clear();
    LinkSettings settings;
    settings.baud = baud;
    settings.parity = parity;
    settings.data_bits = data_bits;
    settings.stop_bits = stop_bits;
    p.peer->configure(settings, platform_now_seconds());
    return 0;
}

int LinkSerialBackend::flush_in_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    p->pending.clear();
    // Whatever has arrived by now is in the input queue and goes; what is still on its
    // way arrives later.
    (void)p->peer->take_output(platform_now_seconds(), std::numeric_limits<std::size_t>::max());
    return 0;
}

int LinkSerialBackend::flush_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    p->peer->discard_unsent(platform_now_seconds());
    return 0;
}

int LinkSerialBackend::drain_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    // The clock's own wait, not Delay: a Stop must not cut this short (what is going out
    // may be the halt's kill).
    const double now = platform_now_seconds();
    const double done = p->peer->sent_by(now);
    if (done > now && done < kLinkNever)
        platform_clock().delay(done - now);
    return 0;
}

int LinkSerialBackend::com_wrt(int port, const char* buffer, int count) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    if (write_failure_ != 0)
        return write_failure_;
    p->peer->receive(std::string_view(buffer, static_cast<std::size_t>(count)),
                     platform_now_seconds());
    return count;
}

int LinkSerialBackend::com_rd_term(int port, char* buffer, int count, int termination_byte) {
    Port* p = open_port(port);
    last_read_error_ = 0;
    if (p == nullptr)
        return last_read_error_ = kRS232PortNotOpen;
    const LinkReadResult r = link_read(*p->peer, p->pending, static_cast<std::size_t>(count),
                                       termination_byte, kSerialReadTimeoutSeconds);
    std::size_t n = r.bytes.size();
    if (r.terminated)
        --n; // the terminator is not stored
    std::memcpy(buffer, r.bytes.data(), n);
    if (r.timed_out && !r.terminated)
        last_read_error_ = kRS232Timeout;
    if (n == 0 && r.timed_out)
        return kRS232Timeout;
    return static_cast<int>(n);
}

std::string LinkSerialBackend::describe_port(int port) const {
    return serial_instrument_key(port) + " -> the simulated stage in this program";
}

std::string LinkSerialBackend::served_ports() const {
    std::string list;
    for (const auto& [number, p] : ports_)
        if (p.peer != nullptr)
            list += (list.empty() ? "" : ", ") + serial_instrument_key(number);
    return list;
}
