// platform-sim: the simulated platform (dispatcher, logic server, relays and
// a control port) for the demo and the integration tests. See sim/README.md.
#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "sim/SimConfig.h"
#include "sim/Simulator.h"

namespace {

void usage(FILE* out) {
  std::fputs("usage: platform-sim --config FILE\n"
             "Serves the catalogue of FILE (JSON, see sim/README.md) until SIGINT or SIGTERM.\n"
             "Prints one line per listener once listening: dispatcher, logic, relay (one per relay), control,\n"
             "each as \"ROLE HOST:PORT\".\n",
             out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string configPath;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) configPath = argv[++i];
    else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    } else {
      usage(stderr);
      return 2;
    }
  }
  if (configPath.empty()) {
    usage(stderr);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  av_log_set_level(AV_LOG_ERROR);

  sim::SimConfig config;
  try {
    config = sim::SimConfig::load(configPath);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "platform-sim: %s\n", e.what());
    return 2;
  }

  sim::Simulator simulator(config);
  try {
    simulator.start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "platform-sim: cannot listen: %s\n", e.what());
    return 3;
  }
  boost::asio::signal_set signals(simulator.service(), SIGINT, SIGTERM);
  signals.async_wait([&simulator](const boost::system::error_code& ec, int) {
    if (!ec) simulator.stop();
  });
  for (const sim::ListenerInfo& l : simulator.listeners())
    std::printf("%s %s:%d\n", l.role.c_str(), l.host.c_str(), l.port);
  std::fflush(stdout);
  simulator.run();
  return 0;
}
