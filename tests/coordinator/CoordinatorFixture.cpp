#include "tests/coordinator/CoordinatorFixture.h"

#include <gtest/gtest.h>

#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "link/CMainLogic.h"

namespace coordtest {

const char* const kCatalogue = R"({
  "cameraDefaults": {"audio": {"codec": "none"}},
  "users": [
    {"name": "alice", "password": "secret", "userId": "u1", "nodes": ["n1", "n2"]}
  ],
  "nodes": [
    {"id": "n1", "name": "O'Brien's yard", "type": 9, "cameras": [
      {"id": "cam-gate", "name": "Gate", "index": "1", "longitude": "121.5", "latitude": "31.25",
       "recordings": [{"day": -1, "segments": [[60, 120]]}]},
      {"id": "cam-hall", "name": "it's the hall", "index": "2", "online": false,
       "recordings": [{"day": -1, "segments": [[60, 120]]}]},
      {"id": "cam-old", "name": "Old", "index": "3", "expires": "2020-01-01"}
    ]},
    {"id": "n2", "name": "Depot", "type": 8, "online": false, "cameras": [{"id": "cam-door", "name": "Door"}]}
  ]
})";

MessageRecorder::MessageRecorder() {
  mc::setPostMessageHook([this](mc::WindowHandle window, mc::WindowMessage message) {
    {
      std::lock_guard lock(mutex_);
      messages_.emplace_back(window, std::move(message));
    }
    posted_.notify_all();
    return true;
  });
}

MessageRecorder::~MessageRecorder() { mc::setPostMessageHook({}); }

bool MessageRecorder::waitFor(std::uint32_t id, mc::WindowMessage& message, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  std::size_t seen = 0;
  return posted_.wait_for(lock, limit, [&] {
    for (; seen < messages_.size(); ++seen) {
      if (messages_[seen].second.id == id) {
        message = messages_[seen].second;
        return true;
      }
    }
    return false;
  });
}

std::vector<std::pair<mc::WindowHandle, mc::WindowMessage>> MessageRecorder::messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

void CoordinatorTest::SetUp() {
  sim = std::make_unique<mc::test::SimProcess>(config());
  setApplicationFolder(home.path());
}

void CoordinatorTest::TearDown() {
  if (auto logic = AppContext::instance().getMainLogic()) {
    logic->closeServer();
    logic->shutdown();
  }
}

void CoordinatorTest::writeConfig(const std::vector<std::pair<std::string, std::string>>& servers) {
  std::string ips, ports;
  for (const auto& [ip, port] : servers) {
    ips += ip + ";";
    ports += port + ";";
  }
  if (servers.empty()) {
    ips = sim->dispatcher().host;
    ports = sim->dispatcher().portText();
  }
  mc::test::writeFile(home.file("Config.ini"), "[Server]\nIP=" + ips + "\nPORT=" + ports + "\n");
  mc::test::writeFile(home.file("LockSetConfig.ini"), "[Client]\nVersion=1.0.0\n");
}

void CoordinatorTest::loadWith(const std::vector<std::pair<std::string, std::string>>& servers) {
  writeConfig(servers);
  ASSERT_TRUE(AppContext::instance().loadConfiguration(home.path()));
}

void CoordinatorTest::connectAndLogin(const std::string& user, const std::string& password) {
  loadWith({{sim->dispatcher().host, sim->dispatcher().portText()}});
  AppContext& context = AppContext::instance();
  context.userName = user;
  context.password = password;
  std::string error;
  ASSERT_TRUE(logic().connectServer(error)) << error;
  ASSERT_TRUE(logic().accountLogin());
}

CMainLogic& CoordinatorTest::logic() { return *AppContext::instance().getMainLogic(); }

Json::Value CoordinatorTest::controlJson(const std::string& command) {
  Json::Value value;
  Json::Reader().parse(sim->controlOk(command), value);
  return value;
}

int CoordinatorTest::requests(int kind) {
  return controlJson("stats")["logic"]["requests"][std::to_string(kind)].asInt();
}

}  // namespace coordtest
