#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "core/ThreadPool.h"
#include "link/Base64.h"
#include "link/CServerLogic.h"
#include "tests/link/ClientFixture.h"
#include "tests/link/FakeLogicServer.h"
#include "tests/support/TempFolder.h"

using namespace mc::test;
using Clock = std::chrono::steady_clock;
using Params = std::map<std::string, std::string>;

namespace {

long long millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Records what the link tells its owner.
class RecordingNotify : public IServerNotify {
 public:
  void OnServerDisconnected() override { note([this] { ++disconnected; }); }
  void OnServerReconnected() override { note([this] { ++reconnected; }); }
  void OnServerMessage(const MessageEnvelope& envelope) override {
    note([&] { messages.push_back(envelope.msgType); });
  }
  void OnNodeActive(const std::string& nodeId, const std::string& active) override {
    note([&] { nodeNotices.emplace_back(nodeId, active); });
  }
  void OnCameraActive(const std::string& cameraId, const std::string& active) override {
    note([&] { cameraNotices.emplace_back(cameraId, active); });
  }

  bool waitFor(const std::function<bool()>& predicate, int timeoutMs = 8000) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
  }

  std::mutex mutex;
  std::condition_variable changed;
  int disconnected = 0;
  int reconnected = 0;
  std::vector<std::int32_t> messages;
  std::vector<std::pair<std::string, std::string>> nodeNotices;
  std::vector<std::pair<std::string, std::string>> cameraNotices;

 private:
  void note(const std::function<void()>& change) {
    {
      std::lock_guard lock(mutex);
      change();
    }
    changed.notify_all();
  }
};

class ServerLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setApplicationFolder(temp_.path());  // before any pool thread opens its log
    callbacks_ = ThreadPool::create(2);
    pools_->init();
    logic_ = CServerLogic::create(notify_, pools_, callbacks_);
  }
  void TearDown() override {
    closeAndExpectReleased(logic_);
    callbacks_->stop();
    pools_->release();
  }

  void connect() {
    ASSERT_TRUE(logic_->connect("127.0.0.1", server_.portText()));
    ASSERT_TRUE(server_.waitForConnections(1));
  }

  // Answers every request of `msgType` with status and params.
  void answer(std::int32_t msgType, Params params) {
    server_.setResponder([msgType, params](const MessageEnvelope& request) {
      if (request.msgType != msgType) return std::vector<MessageEnvelope>{};
      return std::vector<MessageEnvelope>{FakeLogicServer::reply(request, params)};
    });
  }

  TempFolder temp_;
  std::shared_ptr<ClientBufferPool> pools_ = ClientBufferPool::create();
  std::shared_ptr<ThreadPool> callbacks_;
  std::shared_ptr<RecordingNotify> notify_ = std::make_shared<RecordingNotify>();
  FakeLogicServer server_;
  std::shared_ptr<CServerLogic> logic_;
};

}  // namespace

TEST_F(ServerLogicTest, EveryRequestKindSendsItsParamsAndReadsItsReply) {
  AppContext& context = AppContext::instance();
  context.userName = "alice";
  connect();

  std::string text1, text2, error;
  NodeListReply nodes;
  CameraListReply cameras;
  PlaybackTicket ticket;
  EhomeParams ehome;

  struct Case {
    const char* name;
    std::int32_t msgType;
    Params sent;                 // params the server must receive
    Params reply;                // besides status "1"
    bool hasError;               // the kind hands errorMsg back on refusal
    std::function<bool()> call;  // the request
    std::function<void()> check; // its outputs after success
  };
  const Case cases[] = {
      {"queryLogicServer", 1, {{"userName", "alice"}}, {{"LogicServerIp", "127.0.0.9"}, {"LogicServerPort", "7001"}},
       false, [&] { return logic_->queryLogicServer(); },
       [&] {
         EXPECT_EQ(context.logicServerIp, "127.0.0.9");
         EXPECT_EQ(context.logicServerPort, "7001");
       }},
      {"getNodeList", 3, {{"userId", "u1"}},
       {{"nodeNameList", "a;b"}, {"nodeIdList", "1;2"}, {"cameraCountList", "3;4"}, {"cameraVersionList", "5;6"},
        {"nodeTypeList", "7;8"}},
       false, [&] { return logic_->getNodeList("u1", nodes); },
       [&] {
         EXPECT_EQ(nodes.nodeNameList, "a;b");
         EXPECT_EQ(nodes.nodeIdList, "1;2");
         EXPECT_EQ(nodes.cameraCountList, "3;4");
         EXPECT_EQ(nodes.cameraVersionList, "5;6");
         EXPECT_EQ(nodes.nodeTypeList, "7;8");
       }},
      {"getOnlineState", 4, {{"nodeIdList", "1;2;"}, {"cameraIdList", "c1;c2;"}},
       {{"nodeIdList", "2;"}, {"cameraIdList", "c1;"}}, false,
       [&] {
         text1 = text2 = "stale";
         return logic_->getOnlineState("1;2;", "c1;c2;", text1, text2);
       },
       [&] {
         EXPECT_EQ(text1, "2;");
         EXPECT_EQ(text2, "c1;");
       }},
      {"getCameraList", 5, {{"nodeId", "n1"}},
       {{"cameraIdList", "c1"}, {"cameraNameList", "门口"}, {"transpondIPList", "127.0.0.2"},
        {"transpondPortList", "9000"}, {"expiredList", "0"}, {"cameraLongitudeList", "116.1"},
        {"cameraLatitudeList", "39.1"}, {"cameraIndexList", "0"}, {"transRtmpPortList", "1935"}},
       false, [&] { return logic_->getCameraList("n1", cameras); },
       [&] {
         EXPECT_EQ(cameras.cameraIdList, "c1");
         EXPECT_EQ(cameras.cameraNameList, "门口");
         EXPECT_EQ(cameras.transpondIPList, "127.0.0.2");
         EXPECT_EQ(cameras.transpondPortList, "9000");
         EXPECT_EQ(cameras.expiredList, "0");
         EXPECT_EQ(cameras.cameraLongitudeList, "116.1");
         EXPECT_EQ(cameras.cameraLatitudeList, "39.1");
         EXPECT_EQ(cameras.cameraIndexList, "0");
         EXPECT_EQ(cameras.transRtmpPortList, "1935");
       }},
      {"getCatalogueVersion", 22, {{"userId", "u1"}}, {{"version", "42"}}, false,
       [&] { return logic_->getCatalogueVersion("u1", text1); }, [&] { EXPECT_EQ(text1, "42"); }},
      {"requestPlayback", 16, {{"msgType", "Playback"}, {"cameraId", "c9"}},
       {{"msgType", "Playback"}, {"cameraId", "c9"}, {"playBackId", "pb-1"}}, true,
       [&] {
         const bool ok = logic_->requestPlayback("c9", ticket);
         error = ticket.errorMsg;
         return ok;
       },
       [&] {
         EXPECT_EQ(ticket.playBackId, "pb-1");
         EXPECT_EQ(ticket.status, "1");
       }},
      {"registerIpcDevice", 63,
       {{"mac", "m"}, {"nodeName", "n"}, {"cameraNameList", "通道1"}, {"cameraIndexList", "0"},
        {"cameraLongitude", "1"}, {"cameraLatitude", "2"}, {"type", "3"}},
       {}, true, [&] { return logic_->registerIpcDevice({"m", "n", "通道1", "0", "1", "2", "3"}, error); }, [] {}},
      {"registerNvrDevice", 64,
       {{"mac", "m"}, {"nodeName", "n"}, {"cameraLongitude", "1"}, {"cameraLatitude", "2"}, {"type", "3"}}, {}, true,
       [&] { return logic_->registerNvrDevice({"m", "n", "1", "2", "3"}, error); }, [] {}},
      {"registerOtherDevice", 65,
       {{"mac", "m"}, {"nodeName", "n"}, {"nodeType", "5"}, {"cameraNum", "4"}, {"longitude", "1"}, {"latitude", "2"}},
       {}, true, [&] { return logic_->registerOtherDevice({"m", "n", "5", "4", "1", "2"}, error); }, [] {}},
      {"addCamera", 20,
       {{"nodeId", "n1"}, {"nodeType", "5"}, {"cameraName", "c"}, {"cameraIndex", "2"}, {"cameraLongitude", "1"},
        {"cameraLatitude", "2"}},
       {}, true, [&] { return logic_->addCamera({"n1", "5", "c", "2", "1", "2"}, error); }, [] {}},
      {"renameNode", 46, {{"userId", "u1"}, {"nodeId", "n1"}, {"nodeName", "新"}}, {}, false,
       [&] { return logic_->renameNode("u1", "n1", "新"); }, [] {}},
      {"updateCamera", 47,
       {{"nodeId", "n1"}, {"cameraId", "c1"}, {"cameraName", "c"}, {"longitude", "1"}, {"latitude", "2"}}, {}, false,
       [&] { return logic_->updateCamera({"n1", "c1", "c", "1", "2"}); }, [] {}},
      {"deleteCamera", 45, {{"nodeId", "n1"}, {"cameraId", "c1"}}, {}, true,
       [&] { return logic_->deleteCamera("n1", "c1", error); }, [] {}},
      {"deleteNode", 27, {{"sonId", "u1"}, {"nodeId", "n1"}}, {}, true,
       [&] { return logic_->deleteNode("u1", "n1", error); }, [] {}},
      {"registerEhomeDevice", 98,
       {{"mac", "m"}, {"nodeName", "n"}, {"nodeType", "5"}, {"cameraList", "1;2"}, {"userId", "u1"}},
       {{"EhomeIp", "127.0.0.3"}, {"EhomePort", "7660"}, {"EhomeID", "dev"}}, true,
       [&] { return logic_->registerEhomeDevice({"m", "n", "5", "1;2", "u1"}, ehome, error); },
       [&] {
         EXPECT_EQ(ehome.EhomeIp, "127.0.0.3");
         EXPECT_EQ(ehome.EhomePort, "7660");
         EXPECT_EQ(ehome.EhomeID, "dev");
       }},
      {"getEhomeParams", 99, {{"nodeId", "n1"}},
       {{"EhomeIp", "127.0.0.4"}, {"EhomePort", "7661"}, {"EhomeID", "dev2"}}, true,
       [&] { return logic_->getEhomeParams("n1", ehome, error); },
       [&] {
         EXPECT_EQ(ehome.EhomeIp, "127.0.0.4");
         EXPECT_EQ(ehome.EhomeID, "dev2");
       }},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Refused first: the kind fails, handing the server's text back where it has one.
    Params refused = c.reply;
    refused["status"] = "0";
    refused["errorMsg"] = "拒绝";
    error.clear();
    answer(c.msgType, refused);
    const std::size_t before = server_.requests().size();
    EXPECT_FALSE(c.call());
    EXPECT_EQ(error, c.hasError ? "拒绝" : "");
    ASSERT_EQ(server_.requests().size(), before + 1);
    const MessageEnvelope request = server_.requests().back();
    EXPECT_EQ(request.msgType, c.msgType);
    EXPECT_EQ(request.version, 1);
    EXPECT_EQ(request.appId, 1);
    EXPECT_EQ(request.clientType, 2);
    Params sent = request.params;
    if (c.msgType == 16) {
      EXPECT_FALSE(sent["msgId"].empty()) << "the tick count";
      sent.erase("msgId");
    }
    EXPECT_EQ(sent, c.sent);

    Params accepted = c.reply;
    accepted["status"] = "1";
    answer(c.msgType, accepted);
    EXPECT_TRUE(c.call());
    c.check();
  }
}

TEST_F(ServerLogicTest, RequestsGoOutAsCompactFramedEnvelopes) {
  AppContext::instance().userName = "alice";
  connect();
  answer(1, {{"status", "1"}});
  ASSERT_TRUE(logic_->queryLogicServer());
  const auto body = server_.rawBodies().at(0);
  ASSERT_GE(body.size(), 2u);
  EXPECT_EQ(body.front(), '1');
  EXPECT_EQ(body.back(), 0);
  std::string json;
  ASSERT_TRUE(base64Decode(std::string(body.begin() + 1, body.end() - 1), json));
  EXPECT_EQ(json, "{\"TimeSep\":0,\"appId\":1,\"clientType\":2,\"msgType\":1,\"params\":{\"userName\":\"alice\"},"
                  "\"version\":1}\n");
}

TEST_F(ServerLogicTest, LoginFillsTheContextOnlyOnSuccess) {
  AppContext& context = AppContext::instance();
  connect();
  const Params full = {{"status", "1"},          {"userId", "u7"},          {"viewUpdateUrl", "http://u"},
                       {"uploadUrl", "http://l"}, {"nodeVersion", "9"},      {"ShowMsg", "hello"},
                       {"permission", "p"},       {"permissionName", "pn"}, {"viewNewVersion", "2.0"},
                       {"sysTime", "t"},          {"longitude", "120.1"},    {"latitude", "30.2"}};

  context.userId = "before";
  Params refused = full;
  refused["status"] = "0";
  answer(2, refused);
  EXPECT_EQ(logic_->login("bob", "DIGEST", "qvb"), kLoginRefused);
  EXPECT_EQ(context.loginName, "bob") << "stored before sending";
  EXPECT_EQ(context.userId, "before") << "a refusal changes no login field";
  const Params sent = server_.requests().back().params;
  EXPECT_EQ(sent, (Params{{"oemId", "qvb"}, {"userName", "bob"}, {"password", "DIGEST"}}));

  answer(2, full);
  EXPECT_EQ(logic_->login("bob", "DIGEST", "qvb"), kLoginSucceeded);
  EXPECT_EQ(context.userId, "u7");
  EXPECT_EQ(context.viewUpdateUrl, "http://u");
  EXPECT_EQ(context.uploadUrl, "http://l");
  EXPECT_EQ(context.nodeVersion, "9");
  EXPECT_EQ(context.showMsg, "hello");
  EXPECT_EQ(context.permission, "p");
  EXPECT_EQ(context.permissionName, "pn");
  EXPECT_EQ(context.newVersion, "2.0");
  EXPECT_EQ(context.sysTime, "t");
  EXPECT_EQ(context.longitude, "120.1");
  EXPECT_EQ(context.latitude, "30.2");

  // One empty coordinate: both become the defaults.
  Params noLatitude = full;
  noLatitude["latitude"] = "";
  answer(2, noLatitude);
  EXPECT_EQ(logic_->login("bob", "DIGEST", "qvb"), kLoginSucceeded);
  EXPECT_EQ(context.longitude, "116.404");
  EXPECT_EQ(context.latitude, "39.915");

  logic_->setAnswerLimit(200);
  server_.setResponder({});
  EXPECT_EQ(logic_->login("bob", "DIGEST", "qvb"), kLoginNoAnswer);
}

TEST_F(ServerLogicTest, RequestsFailAtOnceWithoutAConnection) {
  EXPECT_FALSE(logic_->connect("", server_.portText()));
  EXPECT_FALSE(logic_->connect("127.0.0.1", ""));
  const auto start = Clock::now();
  std::string text, other;
  EXPECT_FALSE(logic_->queryLogicServer());
  EXPECT_EQ(logic_->login("a", "b", "c"), kLoginNoAnswer);
  EXPECT_FALSE(logic_->getCatalogueVersion("u", text));
  EXPECT_FALSE(logic_->getOnlineState("1", "2", text, other));
  PlaybackTicket ticket;
  EXPECT_FALSE(logic_->requestPlayback("c1", ticket));
  EXPECT_EQ(ticket.errorMsg, "前端设备不支持");
  EXPECT_LT(millisecondsSince(start), 500) << "nothing waits for an answer";
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(ServerLogicTest, ALateReplyNeitherRescuesItsCallNorAnswersTheNextOne) {
  logic_->setAnswerLimit(300);
  connect();
  server_.setResponder([](const MessageEnvelope& request) {
    if (request.param("userId") == "slow") std::this_thread::sleep_for(std::chrono::milliseconds(700));
    return std::vector<MessageEnvelope>{
        FakeLogicServer::reply(request, {{"status", "1"}, {"version", request.param("userId")}})};
  });
  std::string version;
  EXPECT_FALSE(logic_->getCatalogueVersion("slow", version));
  EXPECT_TRUE(version.empty());
  ASSERT_TRUE(notify_->waitFor([&] { return notify_->messages.size() == 1; })) << "the late reply arrives";

  EXPECT_TRUE(logic_->getCatalogueVersion("fast", version));
  EXPECT_EQ(version, "fast") << "the next call waits for its own reply";
}

TEST_F(ServerLogicTest, RequestsOfDifferentKindsRunSideBySide) {
  connect();
  // The version request is held back and answered after the node list.
  server_.setResponder([held = std::make_shared<MessageEnvelope>()](const MessageEnvelope& request) {
    if (request.msgType == 22) {
      *held = request;
      return std::vector<MessageEnvelope>{};
    }
    return std::vector<MessageEnvelope>{
        FakeLogicServer::reply(request, {{"status", "1"}, {"nodeIdList", "n"}}),
        FakeLogicServer::reply(*held, {{"status", "1"}, {"version", "v"}})};
  });
  std::string version;
  std::thread versionCall([&] { EXPECT_TRUE(logic_->getCatalogueVersion("u", version)); });
  ASSERT_TRUE(server_.waitForRequests(1));
  NodeListReply nodes;
  EXPECT_TRUE(logic_->getNodeList("u", nodes));
  versionCall.join();
  EXPECT_EQ(nodes.nodeIdList, "n");
  EXPECT_EQ(version, "v");
}

TEST_F(ServerLogicTest, APlaybackReplyForAnotherCameraIsIgnoredUntilTheAnswerLimit) {
  connect();
  server_.setResponder([](const MessageEnvelope& request) {
    return std::vector<MessageEnvelope>{
        FakeLogicServer::reply(request, {{"msgType", "Playback"}, {"cameraId", "other"}, {"status", "1"},
                                         {"playBackId", "wrong"}}),
        FakeLogicServer::reply(request, {{"msgType", "Stop"}, {"cameraId", request.param("cameraId")},
                                         {"status", "1"}, {"playBackId", "wrong"}})};
  });
  PlaybackTicket ticket;
  const auto start = Clock::now();
  EXPECT_FALSE(logic_->requestPlayback("c1", ticket));
  const auto waited = millisecondsSince(start);
  EXPECT_GE(waited, 4900) << "the answer limit is five seconds";
  EXPECT_LT(waited, 7000);
  EXPECT_EQ(ticket.errorMsg, "前端设备不支持");
  EXPECT_TRUE(ticket.playBackId.empty());
  EXPECT_EQ(notify_->messages.size(), 2u) << "both replies were received and passed on";
}

TEST_F(ServerLogicTest, ForeignMessagesAreDroppedAndNoticesNeedBothFields) {
  logic_->setAnswerLimit(300);
  connect();
  MessageEnvelope notice;
  const auto pushNotice = [&](std::int32_t msgType, Params params, std::int32_t clientType = 2) {
    notice.msgType = msgType;
    notice.clientType = clientType;
    notice.params = std::move(params);
    ASSERT_TRUE(server_.push(notice));
  };
  pushNotice(14, {{"nodeId", "n5"}, {"active", "1"}});
  pushNotice(14, {{"nodeId", "n6"}, {"active", ""}});
  pushNotice(15, {{"cameraId", "c5"}, {"active", "0"}});
  pushNotice(15, {{"active", "1"}});
  pushNotice(14, {{"nodeId", "n7"}, {"active", "1"}}, 3);  // not for this kind of client
  pushNotice(77, {{"anything", "x"}});
  ASSERT_TRUE(server_.pushBody({'1', 'Z', 'm', '9', 0}));  // malformed
  pushNotice(78, {});
  ASSERT_TRUE(notify_->waitFor([&] { return !notify_->messages.empty() && notify_->messages.back() == 78; }));
  std::lock_guard lock(notify_->mutex);
  EXPECT_EQ(notify_->messages, (std::vector<std::int32_t>{14, 14, 15, 15, 77, 78}));
  EXPECT_EQ(notify_->nodeNotices, (std::vector<std::pair<std::string, std::string>>{{"n5", "1"}}));
  EXPECT_EQ(notify_->cameraNotices, (std::vector<std::pair<std::string, std::string>>{{"c5", "0"}}));
}

TEST_F(ServerLogicTest, AReplyWithoutClientTypeTwoAnswersNothing) {
  logic_->setAnswerLimit(300);
  connect();
  server_.setResponder([](const MessageEnvelope& request) {
    auto reply = FakeLogicServer::reply(request, {{"status", "1"}, {"version", "v"}});
    reply.clientType = 0;  // what a reply without the member decodes to
    return std::vector<MessageEnvelope>{reply};
  });
  std::string version;
  EXPECT_FALSE(logic_->getCatalogueVersion("u", version));
  EXPECT_TRUE(notify_->messages.empty());
}

TEST_F(ServerLogicTest, ConnectionEventsReachTheOwnerOnlyWhileItExists) {
  connect();
  server_.dropConnection();
  ASSERT_TRUE(notify_->waitFor([&] { return notify_->disconnected == 1 && notify_->reconnected == 1; }));

  std::weak_ptr<RecordingNotify> watch = notify_;
  auto owner = std::move(notify_);
  notify_ = std::make_shared<RecordingNotify>();  // the fixture's; not the link's
  owner.reset();
  EXPECT_TRUE(eventually([&] { return watch.expired(); })) << "the link holds its owner weakly";
  ASSERT_TRUE(server_.waitForConnections(2));
  server_.dropConnection();
  ASSERT_TRUE(server_.waitForConnections(3));
  // The link carries on without an owner.
  answer(22, {{"status", "1"}, {"version", "v"}});
  std::string version;
  EXPECT_TRUE(eventually([&] { return logic_->getCatalogueVersion("u", version); }));
}

TEST_F(ServerLogicTest, ReceivedMessagesAreLoggedByTheReceivingComponent) {
  connect();
  answer(22, {{"status", "1"}, {"version", "v1"}});
  std::string version;
  ASSERT_TRUE(logic_->getCatalogueVersion("u", version));
  std::string logs;
  ASSERT_TRUE(eventually([&] {
    logs.clear();
    for (const auto& entry : std::filesystem::directory_iterator(temp_.path() + "/Log"))
      logs += readFile(entry.path().string());
    return logs.find("接收到 ENCODRTYPE_BASE64 命令 data:") != std::string::npos;
  }));
  EXPECT_NE(logs.find("\"version\":\"v1\""), std::string::npos) << logs;
  EXPECT_NE(logs.find("CServerLogic.cpp:"), std::string::npos) << logs;
}
