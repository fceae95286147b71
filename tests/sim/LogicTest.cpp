// The dispatcher and the logic server of platform-sim, driven over loopback
// by the project's own CServerLogic.
#include <chrono>
#include <thread>

#include "common/Split.h"
#include "tests/sim/LinkFixture.h"

using simtest::RecordingNotify;

namespace {

const char* const kCatalogue = R"({
  "relays": [{"name": "relay1", "rtmpPort": 1935}],
  "cameraDefaults": {"audio": {"codec": "none"}},
  "users": [
    {"name": "alice", "password": "secret", "userId": "u1", "permission": "1", "permissionName": "管理员",
     "viewNewVersion": "2.0.1", "longitude": "121.47", "latitude": "31.23", "version": "7", "nodes": ["n1", "n2"]},
    {"name": "bob", "password": "pw", "userId": "u2", "nodes": ["n2"]}
  ],
  "nodes": [
    {"id": "n1", "name": "Site A", "type": 9, "cameraVersion": "3", "channels": 8, "cameras": [
      {"id": "c1", "name": "Gate", "index": "1", "longitude": "121.5", "latitude": "31.2",
       "recordings": [{"day": "2024-05-01", "segments": [[0, 60]]}]},
      {"id": "c2", "name": "Hall", "index": "2", "online": false,
       "recordings": [{"day": "2024-05-01", "segments": [[0, 60]]}]},
      {"id": "c3", "name": "Old", "index": "3", "expires": "2020-01-01",
       "recordings": [{"day": "2024-05-01", "segments": [[0, 60]]}]},
      {"id": "c5", "name": "Lift", "index": "5"}
    ]},
    {"id": "n2", "name": "Site B", "type": 8, "online": false, "cameras": [{"id": "c4", "name": "Door"}]}
  ]
})";

class LogicServerTest : public simtest::SimLinkTest {
 protected:
  std::string config() const override { return kCatalogue; }

  // The node ids of the user's node list.
  static std::vector<std::string> nodeIds(CServerLogic& link, const std::string& userId) {
    NodeListReply nodes;
    EXPECT_TRUE(link.getNodeList(userId, nodes));
    return mc::splitText(nodes.nodeIdList, ';', true);
  }
  // The id of the node named `name`, or empty.
  static std::string nodeNamed(CServerLogic& link, const std::string& userId, const std::string& name) {
    NodeListReply nodes;
    EXPECT_TRUE(link.getNodeList(userId, nodes));
    const auto ids = mc::splitText(nodes.nodeIdList, ';', false);
    const auto names = mc::splitText(nodes.nodeNameList, ';', false);
    for (std::size_t i = 0; i < ids.size() && i < names.size(); ++i)
      if (names[i] == name) return ids[i];
    return {};
  }
};

TEST_F(LogicServerTest, DispatcherNamesTheLogicServerOfKnownUsers) {
  struct Case {
    const char* user;
    bool known;
  };
  for (const Case& c : {Case{"alice", true}, Case{"bob", true}, Case{"mallory", false}, Case{"", false}}) {
    SCOPED_TRACE(c.user);
    auto dispatcher = connect(sim().dispatcher());
    AppContext& app = AppContext::instance();
    app.userName = c.user;
    app.logicServerIp.clear();
    app.logicServerPort.clear();
    EXPECT_EQ(dispatcher->queryLogicServer(), c.known);
    if (c.known) {
      EXPECT_EQ(app.logicServerIp, sim().logic().host);
      EXPECT_EQ(app.logicServerPort, sim().logic().portText());
      // The hand-over works: the named address takes a login.
      auto logic = connect({app.logicServerIp, std::atoi(app.logicServerPort.c_str())});
      EXPECT_NE(logic->login(c.user, mc::md5Upper(c.user == std::string("alice") ? "secret" : "pw"), "qvb"),
                kLoginNoAnswer);
    }
    dispatcher->close();
  }
  // The dispatcher answers the hand-over only.
  auto dispatcher = connect(sim().dispatcher());
  EXPECT_EQ(dispatcher->login("alice", mc::md5Upper("secret"), "qvb"), kLoginRefused);
}

TEST_F(LogicServerTest, LoginChecksTheUpperCaseDigestAndAnswersTheUsersFields) {
  struct Case {
    const char* user;
    std::string digest;
    int result;
  };
  const Case cases[] = {
      {"alice", mc::md5Upper("wrong"), kLoginRefused},
      {"alice", mc::md5Upper("secret").substr(0, 31) + "x", kLoginRefused},
      {"nobody", mc::md5Upper("secret"), kLoginRefused},
      {"alice", "secret", kLoginRefused},  // the password itself is never accepted
      {"alice", mc::md5Upper("secret"), kLoginSucceeded},
  };
  auto link = connect(sim().logic());
  for (const Case& c : cases) EXPECT_EQ(link->login(c.user, c.digest, "qvb"), c.result) << c.user << " " << c.digest;

  const AppContext& app = AppContext::instance();
  EXPECT_EQ(app.userId, "u1");
  EXPECT_EQ(app.nodeVersion, "7");
  EXPECT_EQ(app.permission, "1");
  EXPECT_EQ(app.permissionName, "管理员");
  EXPECT_EQ(app.newVersion, "2.0.1");
  EXPECT_EQ(app.longitude, "121.47");
  EXPECT_EQ(app.latitude, "31.23");
  EXPECT_EQ(app.sysTime.size(), 19u);
  // The simulator saw exactly what the client sent.
  const std::string last = sim().controlOk("last logic 2");
  EXPECT_NE(last.find(mc::md5Upper("secret")), std::string::npos) << last;
  EXPECT_NE(last.find("\"oemId\":\"qvb\""), std::string::npos) << last;

  // A user without coordinates gets none; the client then uses its defaults.
  auto other = connect(sim().logic());
  EXPECT_EQ(other->login("bob", mc::md5Upper("pw"), "qvb"), kLoginSucceeded);
  EXPECT_EQ(app.longitude, "116.404");
  EXPECT_EQ(app.latitude, "39.915");
}

TEST_F(LogicServerTest, CatalogueRequestsNeedALoginAndTheUsersOwnData) {
  auto link = connect(sim().logic());
  NodeListReply nodes;
  std::string version;
  EXPECT_FALSE(link->getNodeList("u1", nodes));
  EXPECT_FALSE(link->getCatalogueVersion("u1", version));
  EXPECT_EQ(link->login("bob", mc::md5Upper("pw"), "qvb"), kLoginSucceeded);
  EXPECT_FALSE(link->getNodeList("u1", nodes)) << "another user's list";
  CameraListReply cameras;
  EXPECT_FALSE(link->getCameraList("n1", cameras)) << "a node bob does not see";
  EXPECT_TRUE(link->getCameraList("n2", cameras));
  EXPECT_EQ(cameras.cameraIdList, "c4");
}

TEST_F(LogicServerTest, NodeAndCameraListsAreParallelSemicolonTexts) {
  auto link = loggedIn("alice", "secret");
  NodeListReply nodes;
  ASSERT_TRUE(link->getNodeList("u1", nodes));
  EXPECT_EQ(nodes.nodeIdList, "n1;n2");
  EXPECT_EQ(nodes.nodeNameList, "Site A;Site B");
  EXPECT_EQ(nodes.cameraCountList, "8;1");
  EXPECT_EQ(nodes.cameraVersionList, "3;1");
  EXPECT_EQ(nodes.nodeTypeList, "9;8");

  CameraListReply c;
  ASSERT_TRUE(link->getCameraList("n1", c));
  const std::string port = sim().relay().portText();
  EXPECT_EQ(c.cameraIdList, "c1;c2;c3;c5");
  EXPECT_EQ(c.cameraNameList, "Gate;Hall;Old;Lift");
  EXPECT_EQ(c.transpondIPList, "127.0.0.1;127.0.0.1;127.0.0.1;127.0.0.1");
  EXPECT_EQ(c.transpondPortList, port + ";" + port + ";" + port + ";" + port);
  EXPECT_EQ(c.expiredList, ";;2020-01-01;");
  EXPECT_EQ(c.cameraLongitudeList, "121.5;;;");
  EXPECT_EQ(c.cameraLatitudeList, "31.2;;;");
  EXPECT_EQ(c.cameraIndexList, "1;2;3;5");
  EXPECT_EQ(c.transRtmpPortList, "1935;1935;1935;1935");
  EXPECT_FALSE(link->getCameraList("no-such-node", c));
}

TEST_F(LogicServerTest, OnlineStateAnswersTheOnLineIdsAmongThoseAsked) {
  auto link = loggedIn("alice", "secret");
  std::string nodes, cameras;
  ASSERT_TRUE(link->getOnlineState("n1;n2;", "c1;c2;c3;c4;c5;ghost;", nodes, cameras));
  EXPECT_EQ(nodes, "n1;");
  EXPECT_EQ(cameras, "c1;c3;c5;");  // c2 is off line, c4 sits on an off-line node

  sim().controlOk("camera-online c2 1");
  sim().controlOk("node-online n2 1");
  sim().controlOk("camera-online c5 0");
  ASSERT_TRUE(link->getOnlineState("n1;n2;", "c1;c2;c3;c4;c5;", nodes, cameras));
  EXPECT_EQ(nodes, "n1;n2;");
  EXPECT_EQ(cameras, "c1;c2;c3;c4;");
}

TEST_F(LogicServerTest, VersionStampsChangeWheneverTheCatalogueChanges) {
  auto link = loggedIn("alice", "secret");
  std::string v0, v1, v2, v3;
  ASSERT_TRUE(link->getCatalogueVersion("u1", v0));
  EXPECT_EQ(v0, "7");

  ASSERT_TRUE(link->renameNode("u1", "n1", "Site A2"));
  ASSERT_TRUE(link->getCatalogueVersion("u1", v1));
  EXPECT_NE(v1, v0);
  NodeListReply nodes;
  ASSERT_TRUE(link->getNodeList("u1", nodes));
  EXPECT_EQ(nodes.nodeNameList, "Site A2;Site B");
  EXPECT_EQ(nodes.cameraVersionList, "3;1") << "a node name is not part of its camera list";

  ASSERT_TRUE(link->updateCamera({"n1", "c1", "Gate 2", "121.6", "31.3"}));
  ASSERT_TRUE(link->getCatalogueVersion("u1", v2));
  EXPECT_NE(v2, v1);
  ASSERT_TRUE(link->getNodeList("u1", nodes));
  const auto versions = mc::splitText(nodes.cameraVersionList, ';', false);
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_NE(versions[0], "3");
  EXPECT_EQ(versions[1], "1");
  CameraListReply cameras;
  ASSERT_TRUE(link->getCameraList("n1", cameras));
  EXPECT_EQ(mc::splitText(cameras.cameraNameList, ';', false).front(), "Gate 2");
  EXPECT_EQ(mc::splitText(cameras.cameraLongitudeList, ';', false).front(), "121.6");

  // Refused changes leave the stamp alone.
  EXPECT_FALSE(link->renameNode("u1", "no-such-node", "x"));
  EXPECT_FALSE(link->renameNode("u1", "n1", ""));
  EXPECT_FALSE(link->renameNode("u1", "n1", "A;B")) << "a name would split the lists";
  EXPECT_FALSE(link->updateCamera({"n1", "c1", "Gate;3", "", ""}));
  EXPECT_FALSE(link->updateCamera({"n1", "c4", "wrong node", "", ""}));
  ASSERT_TRUE(link->getCatalogueVersion("u1", v3));
  EXPECT_EQ(v3, v2);

  // bob shares n2 only: n1's changes are not his.
  auto bob = loggedIn("bob", "pw");
  std::string bobVersion;
  ASSERT_TRUE(bob->getCatalogueVersion("u2", bobVersion));
  EXPECT_EQ(bobVersion, "1");
}

TEST_F(LogicServerTest, DeletionsRemoveTheEntryForEveryone) {
  auto link = loggedIn("alice", "secret");
  std::string error, before, after;
  ASSERT_TRUE(link->getCatalogueVersion("u1", before));
  ASSERT_TRUE(link->deleteCamera("n1", "c2", error)) << error;
  CameraListReply cameras;
  ASSERT_TRUE(link->getCameraList("n1", cameras));
  EXPECT_EQ(cameras.cameraIdList, "c1;c3;c5");
  EXPECT_FALSE(link->deleteCamera("n1", "c2", error));
  EXPECT_EQ(error, "摄像头不存在");
  EXPECT_FALSE(link->deleteCamera("n1", "c4", error)) << "c4 belongs to n2";

  ASSERT_TRUE(link->deleteNode("u1", "n2", error)) << error;
  EXPECT_EQ(nodeIds(*link, "u1"), std::vector<std::string>{"n1"});
  ASSERT_TRUE(link->getCatalogueVersion("u1", after));
  EXPECT_NE(after, before);
  EXPECT_FALSE(link->deleteNode("u1", "n2", error));
  EXPECT_EQ(error, "节点不存在");
  EXPECT_FALSE(link->deleteNode("u2", "n1", error)) << "sonId must be the user logged in";

  auto bob = loggedIn("bob", "pw");
  EXPECT_TRUE(nodeIds(*bob, "u2").empty());
}

TEST_F(LogicServerTest, RegistrationsAppearInTheNextNodeList) {
  auto link = loggedIn("alice", "secret");
  std::string error;
  ASSERT_TRUE(link->registerIpcDevice({"IPC-1", "Shop IPC", "通道1", "0", "120.1", "30.2", "8"}, error)) << error;
  ASSERT_TRUE(link->registerNvrDevice({"NVR-1", "Shop NVR", "120.1", "30.2", "9"}, error)) << error;
  ASSERT_TRUE(link->registerOtherDevice({"OTH-1", "Phone", "11", "3", "120.1", "30.2"}, error)) << error;
  EhomeParams ehome;
  ASSERT_TRUE(link->registerEhomeDevice({"DS-2CD0001", "Hik", "16", "1;2;", "u1"}, ehome, error)) << error;
  EXPECT_EQ(ehome.EhomeIp, "127.0.0.1");
  EXPECT_EQ(ehome.EhomePort, "7660");
  EXPECT_EQ(ehome.EhomeID, "DS-2CD0001");

  struct Expect {
    const char* name;
    const char* type;
    const char* count;
    const char* cameraIndexes;
  };
  const Expect expected[] = {
      {"Shop IPC", "8", "1", "0"}, {"Shop NVR", "9", "16", ""}, {"Phone", "11", "3", "0;1;2"}, {"Hik", "16", "2", "1;2"}};
  NodeListReply nodes;
  ASSERT_TRUE(link->getNodeList("u1", nodes));
  const auto names = mc::splitText(nodes.nodeNameList, ';', false);
  const auto types = mc::splitText(nodes.nodeTypeList, ';', false);
  const auto counts = mc::splitText(nodes.cameraCountList, ';', false);
  const auto ids = mc::splitText(nodes.nodeIdList, ';', false);
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.name);
    const auto at = std::find(names.begin(), names.end(), e.name);
    ASSERT_NE(at, names.end());
    const std::size_t i = static_cast<std::size_t>(at - names.begin());
    EXPECT_EQ(types[i], e.type);
    EXPECT_EQ(counts[i], e.count);
    CameraListReply cameras;
    ASSERT_TRUE(link->getCameraList(ids[i], cameras));
    EXPECT_EQ(cameras.cameraIndexList, e.cameraIndexes);
  }
  // The EHome node keeps its parameters; other nodes have none.
  EhomeParams again;
  EXPECT_TRUE(link->getEhomeParams(nodeNamed(*link, "u1", "Hik"), again, error));
  EXPECT_EQ(again.EhomeID, "DS-2CD0001");
  EXPECT_FALSE(link->getEhomeParams(nodeNamed(*link, "u1", "Shop NVR"), again, error));
  EXPECT_EQ(error, "该节点不是EHome设备");

  // A camera added to the recorder shows in its list; its channel is taken then.
  const std::string nvr = nodeNamed(*link, "u1", "Shop NVR");
  ASSERT_TRUE(link->addCamera({nvr, "9", "Entrance", "1", "120.1", "30.2"}, error)) << error;
  CameraListReply nvrCameras;
  ASSERT_TRUE(link->getCameraList(nvr, nvrCameras));
  EXPECT_EQ(nvrCameras.cameraNameList, "Entrance");
  EXPECT_FALSE(link->addCamera({nvr, "9", "Twice", "1", "", ""}, error));
  EXPECT_EQ(error, "通道已存在");
}

TEST_F(LogicServerTest, RegistrationsThatMakeNoSenseAreRefusedWithAReadableText) {
  auto link = loggedIn("alice", "secret");
  std::string error;
  ASSERT_TRUE(link->registerNvrDevice({"NVR-1", "First", "", "", "9"}, error));
  struct Case {
    const char* what;
    std::function<bool(std::string&)> request;
    const char* errorMsg;
  };
  const Case cases[] = {
      {"duplicate mac", [&](std::string& e) { return link->registerNvrDevice({"NVR-1", "Again", "", "", "9"}, e); },
       "设备已注册"},
      {"no node name", [&](std::string& e) { return link->registerNvrDevice({"NVR-2", "", "", "", "9"}, e); },
       "缺少参数：nodeName"},
      {"no mac", [&](std::string& e) { return link->registerIpcDevice({"", "X", "a", "1", "", "", "8"}, e); },
       "缺少参数：mac"},
      {"lists of different lengths",
       [&](std::string& e) { return link->registerIpcDevice({"IPC-9", "X", "a;b", "1", "", "", "8"}, e); },
       "摄像头名称与通道号数量不一致"},
      {"camera type code", [&](std::string& e) { return link->registerOtherDevice({"O-1", "X", "13", "1", "", ""}, e); },
       "设备类型错误：13"},
      {"bad channel count",
       [&](std::string& e) { return link->registerOtherDevice({"O-2", "X", "1", "many", "", ""}, e); },
       "通道数错误：many"},
      {"a name holding the list separator",
       [&](std::string& e) { return link->registerNvrDevice({"NVR-3", "East;West", "", "", "9"}, e); },
       "参数不能包含分号：nodeName"},
      {"a coordinate holding the list separator",
       [&](std::string& e) { return link->addCamera({"n1", "9", "X", "9", "1;2", ""}, e); },
       "参数不能包含分号：cameraLongitude"},
      {"camera to an unknown node",
       [&](std::string& e) { return link->addCamera({"no-such-node", "9", "X", "1", "", ""}, e); }, "节点不存在"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    error.clear();
    EXPECT_FALSE(c.request(error));
    EXPECT_EQ(error, c.errorMsg);
  }
  EhomeParams ehome;
  EXPECT_FALSE(link->registerEhomeDevice({"DS-1", "Hik", "16", "1;", "u2"}, ehome, error)) << "another user's id";
}

TEST_F(LogicServerTest, PlaybackTicketsOnlyForCamerasWithRecordings) {
  auto link = loggedIn("alice", "secret");
  struct Case {
    const char* camera;
    bool granted;
    const char* errorMsg;
  };
  const Case cases[] = {
      {"c1", true, ""},
      {"c2", false, "设备不在线"},
      {"c3", false, "服务已过期"},
      {"c5", false, "前端设备不支持"},
      {"ghost", false, "摄像头不存在"},
  };
  std::string first;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.camera);
    PlaybackTicket ticket;
    EXPECT_EQ(link->requestPlayback(c.camera, ticket), c.granted);
    EXPECT_EQ(ticket.status, c.granted ? "1" : "0");
    EXPECT_EQ(ticket.errorMsg, c.errorMsg);
    if (c.granted) {
      EXPECT_FALSE(ticket.playBackId.empty());
      first = ticket.playBackId;
    }
  }
  PlaybackTicket again;
  ASSERT_TRUE(link->requestPlayback("c1", again));
  EXPECT_NE(again.playBackId, first) << "every request gets a ticket of its own";
}

TEST_F(LogicServerTest, WithheldAnswerFailsTheRequestAfterFiveSeconds) {
  auto link = loggedIn("alice", "secret");
  sim().controlOk("withhold logic 22");
  std::string version;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link->getCatalogueVersion("u1", version));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(4900));
  EXPECT_LT(waited, std::chrono::milliseconds(7000));
  // The request arrived; only the answer was held back.
  EXPECT_NE(sim().controlOk("stats").find("\"22\":1"), std::string::npos);

  // Other kinds are answered meanwhile, and a late answer within the limit still counts.
  NodeListReply nodes;
  EXPECT_TRUE(link->getNodeList("u1", nodes));
  sim().controlOk("delay logic 22 1500");
  const auto delayed = std::chrono::steady_clock::now();
  EXPECT_TRUE(link->getCatalogueVersion("u1", version));
  EXPECT_GE(std::chrono::steady_clock::now() - delayed, std::chrono::milliseconds(1400));
  sim().controlOk("normal logic");
  EXPECT_TRUE(link->getCatalogueVersion("u1", version));
}

TEST_F(LogicServerTest, DroppedLinksComeBackAndLogInAgain) {
  auto notify = std::make_shared<RecordingNotify>();
  auto link = loggedIn("alice", "secret", notify);
  EXPECT_EQ(sim().controlOk("drop logic"), "1");
  ASSERT_TRUE(notify->waitFor([](const RecordingNotify& n) { return n.reconnectsLocked() >= 1; },
                              std::chrono::seconds(10)));
  NodeListReply nodes;
  EXPECT_FALSE(link->getNodeList("u1", nodes)) << "a new link starts logged out";
  EXPECT_EQ(link->login("alice", mc::md5Upper("secret"), "qvb"), kLoginSucceeded);
  EXPECT_TRUE(link->getNodeList("u1", nodes));

  // A stopped logic server refuses connections until it starts again.
  sim().controlOk("stop logic");
  ASSERT_TRUE(notify->waitFor([](const RecordingNotify& n) { return n.disconnectsLocked() >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(notify->reconnects(), 1);
  sim().controlOk("start logic");
  ASSERT_TRUE(notify->waitFor([](const RecordingNotify& n) { return n.reconnectsLocked() >= 2; },
                              std::chrono::seconds(10)));
  EXPECT_EQ(link->login("alice", mc::md5Upper("secret"), "qvb"), kLoginSucceeded);
}

TEST_F(LogicServerTest, StateNoticesReachTheLinksOfUsersWhoSeeTheEntry) {
  auto aliceSeen = std::make_shared<RecordingNotify>();
  auto bobSeen = std::make_shared<RecordingNotify>();
  auto alice = loggedIn("alice", "secret", aliceSeen);
  auto bob = loggedIn("bob", "pw", bobSeen);
  auto anonymous = std::make_shared<RecordingNotify>();
  connect(sim().logic(), anonymous);  // not logged in: no notices

  sim().controlOk("camera-online c1 0");
  ASSERT_TRUE(aliceSeen->waitFor([](const RecordingNotify& n) { return !n.camerasLocked().empty(); }));
  EXPECT_EQ(aliceSeen->cameras(), (RecordingNotify::Pairs{{"c1", "0"}}));

  sim().controlOk("node-online n2 1");
  auto sawNode = [](const RecordingNotify& n) { return !n.nodesLocked().empty() && !n.camerasLocked().empty(); };
  ASSERT_TRUE(bobSeen->waitFor(sawNode));
  EXPECT_EQ(bobSeen->nodes(), (RecordingNotify::Pairs{{"n2", "1"}}));
  EXPECT_EQ(bobSeen->cameras(), (RecordingNotify::Pairs{{"c4", "1"}})) << "bob saw nothing of c1";
  ASSERT_TRUE(aliceSeen->waitFor([](const RecordingNotify& n) { return n.camerasLocked().size() >= 2; }));
  EXPECT_EQ(aliceSeen->nodes(), (RecordingNotify::Pairs{{"n2", "1"}}));
  EXPECT_EQ(aliceSeen->cameras(), (RecordingNotify::Pairs{{"c1", "0"}, {"c4", "1"}}));

  // Setting a state it already has tells nobody.
  sim().controlOk("camera-online c4 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(bobSeen->cameras().size(), 1u);
  EXPECT_TRUE(anonymous->cameras().empty());
  EXPECT_TRUE(anonymous->nodes().empty());

  // Messages made up by the test reach every link as sent: the client drops
  // a notice without its state.
  EXPECT_EQ(sim().controlOk(R"(send logic 14 {"nodeId":"n1","active":""})"), "3");
  EXPECT_EQ(sim().controlOk(R"(send logic 14 {"nodeId":"n1","active":"0"})"), "3");
  ASSERT_TRUE(bobSeen->waitFor([](const RecordingNotify& n) { return n.nodesLocked().size() >= 2; }));
  EXPECT_EQ(bobSeen->nodes(), (RecordingNotify::Pairs{{"n2", "1"}, {"n1", "0"}}));
}

}  // namespace
