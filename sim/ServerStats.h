#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "sim/LogicService.h"

namespace sim {

// How a server answers one request kind; tests set it through the control port.
struct Fault {
  enum class Mode { Normal, Delay, Withhold, Mistime };
  Mode mode = Mode::Normal;
  int delayMs = 0;
  Params overrides;  // reply params replaced (or added) whatever the answer
};

// The last request of a kind, as received.
struct RequestRecord {
  int msgType = 0;
  std::int32_t timeSep = 0;
  Params params;
};

// Counters, remembered requests and faults of one server (dispatcher, logic
// server or a relay). Thread-safe.
class ServerStats {
 public:
  void connected();
  void disconnected();
  void refusedGarbage();
  void ignoredForeign();
  void request(const RequestRecord& record);
  void answered();

  Fault fault(int msgType) const;
  // Sets how the kind is answered; the kind's overrides stay.
  void setFault(int msgType, const Fault& fault);
  void setOverride(int msgType, const std::string& name, const std::string& value);
  void clearFaults();
  void clearFault(int msgType);

  bool last(int msgType, RequestRecord& record) const;
  void reset();

  // {"clients":N,"accepted":N,"garbage":N,"foreign":N,"answered":N,"requests":{"2":1,...},"faults":{...}}
  std::string json() const;
  int clients() const;

 private:
  mutable std::mutex lock_;
  int clients_ = 0;
  std::uint64_t accepted_ = 0;
  std::uint64_t garbage_ = 0;
  std::uint64_t foreign_ = 0;
  std::uint64_t answered_ = 0;
  std::map<int, std::uint64_t> requests_;
  std::map<int, RequestRecord> last_;
  std::map<int, Fault> faults_;
};

// One line of JSON text for a params map.
std::string paramsJson(const Params& params);

}  // namespace sim
