// trelwick-sim: the simulated stage as a program of its own. The CM6K6 and the EV-16P
// answer on pseudo-terminals, the HP34970 on a TCP port; the lines printed at start point
// an unmodified trelwick at them through its real serial and TCP transports, and the last
// names the control socket through which faults are switched while it runs.
#include "platform/platform.hpp"
#include "sim/control_socket.hpp"
#include "sim/pty_port.hpp"
#include "sim/scaled_clock.hpp"
#include "sim/sim_control.hpp"
#include "sim/sim_stage.hpp"
#include "sim/tcp_scpi_server.hpp"
#include "sim_options.hpp"
#include "trelwick/version.hpp"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <string_view>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) {
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("trelwick-sim %s\n", kTrelwickVersion);
            return 0;
        }
    }
    std::string error;
    const auto options = parse_sim_options(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "trelwick-sim: %s\n%s", error.c_str(), kSimToolUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kSimToolUsage, stdout);
        return 0;
    }
    if (options->list_scenarios) {
        std::fputs(sim_scenario_list().c_str(), stdout);
        return 0;
    }
    const auto config = sim_bench_config(*options, error);
    if (!config) {
        std::fprintf(stderr, "trelwick-sim: %s\n", error.c_str());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = on_signal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ScaledClock clock(options->speed);
    platform_use_clock(&clock);
    SimStage stage(*config);
    stage.set_history_limit(options->history);
    stage.cm6k6().set_reset_seconds(sim_reset_seconds(options->speed));
    stage.power_on(platform_now_seconds());
    if (!apply_sim_faults(*options, stage, platform_now_seconds(), error)) {
        std::fprintf(stderr, "trelwick-sim: %s\n", error.c_str());
        return 2;
    }

    PtyPort cm6k6, ev16p;
    TcpScpiServer daq;
    ControlSocket control;
    const std::string control_path =
        options->control_path.empty() ? default_control_path() : options->control_path;
    if (!cm6k6.open(&stage.cm6k6(), error) || !ev16p.open(&stage.ev16p(), error) ||
        !daq.open(&stage.hp34970(), options->tcp_port, error) ||
        !control.open(control_path, error)) {
        std::fprintf(stderr, "trelwick-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("TRELWICK_COM%d=%s\n", kSimCm6k6Port, cm6k6.path().c_str());
    std::printf("TRELWICK_COM%d=%s\n", kSimEv16pPort, ev16p.path().c_str());
    std::printf("TRELWICK_GPIB%d_%d=127.0.0.1:%d\n", kSimGpibBoard, kSimGpibAddress, daq.port());
    std::printf("TRELWICK_SIM_CONTROL=%s\n", control.path().c_str());
    std::fflush(stdout);
    const auto run_control = [&stage](std::string_view line) {
        const double at = platform_now_seconds();
        stage.advance(at); // the command acts on the stage as it stands now
        return sim_control(stage, line, at);
    };

    while (g_stop == 0) {
        double now = platform_now_seconds();
        // Sleep until input comes or the next reply is due (at most a tenth of a second).
        const double due =
            std::min({cm6k6.next_output(now), ev16p.next_output(now), daq.next_output(now)});
        double wait = std::clamp((due - now) / clock.speed(), 0.0, 0.1);
        std::vector<pollfd> fds = {{cm6k6.fd(), POLLIN, 0},
                                   {ev16p.fd(), POLLIN, 0},
                                   {daq.listen_fd(), POLLIN, 0},
                                   {control.listen_fd(), POLLIN, 0},
                                   {daq.client_fd(), POLLIN, 0}};
        for (const int fd : control.client_fds())
            fds.push_back({fd, POLLIN, 0});
        const int ms = static_cast<int>(std::ceil(wait * 1000.0));
        if (poll(fds.data(), fds.size(), ms) < 0 && g_stop != 0)
            break;
        now = platform_now_seconds();
        if ((fds[0].revents & POLLIN) != 0)
            cm6k6.pump_in(now);
        if ((fds[1].revents & POLLIN) != 0)
            ev16p.pump_in(now);
        if ((fds[2].revents & POLLIN) != 0)
            daq.accept_client(now);
        if ((fds[3].revents & POLLIN) != 0)
            control.accept_client();
        if ((fds[4].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            daq.pump_in(now);
        bool asked = false;
        for (std::size_t i = 5; i < fds.size(); ++i)
            asked = asked || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (asked)
            control.pump(run_control);
        cm6k6.pump_out(now);
        ev16p.pump_out(now);
        daq.pump_out(now);
    }
    platform_use_clock(nullptr);
    return 0;
}
