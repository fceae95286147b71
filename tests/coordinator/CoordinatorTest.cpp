// The coordinator against platform-sim: the dispatcher hand-over, the login,
// the catalogue kept in step through the local store, notices and the
// re-login after a lost link.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "link/CServerLogic.h"
#include "link/StartupSequence.h"
#include "store/LocalDb.h"
#include "tests/coordinator/CoordinatorFixture.h"

using coordtest::CoordinatorTest;
using coordtest::MessageRecorder;

namespace {

// A loopback port nobody listens on: bound, then released.
std::string deadPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return std::to_string(ntohs(address.sin_port));
}

std::shared_ptr<SxtParam> camera(CMainLogic& logic, const std::string& id) {
  return std::dynamic_pointer_cast<SxtParam>(logic.findParam(id));
}

std::vector<CameraRow> storedCameras(const std::string& nodeId) {
  std::vector<CameraRow> rows;
  EXPECT_TRUE(AppContext::instance().localDb->LoadCameras(nodeId, rows));
  return rows;
}

std::vector<std::string> storedNodeIds(const std::string& userId) {
  std::vector<NodeRow> rows;
  EXPECT_TRUE(AppContext::instance().localDb->LoadNodes(userId, rows));
  std::vector<std::string> ids;
  for (const auto& row : rows) ids.push_back(row.nodeId);
  return ids;
}

}  // namespace

TEST_F(CoordinatorTest, StartupSequenceReportsEachStepAndBuildsTheCatalogue) {
  loadWith({{sim->dispatcher().host, sim->dispatcher().portText()}});
  AppContext& context = AppContext::instance();
  context.userName = "alice";
  context.password = "secret";
  MessageRecorder recorder;
  std::vector<std::string> texts;
  StartupReporter reporter{42, [&](const std::string& text) { texts.push_back(text); }, [](unsigned) {}};
  EXPECT_EQ(runStartupSequence(logic(), reporter), StartupResult::Done);
  EXPECT_EQ(texts, (std::vector<std::string>{"启动服务！", "连接服务器成功！", "账号登录成功！", "获取数据成功！"}));
  std::vector<std::pair<std::uint32_t, std::uintptr_t>> posted;
  for (const auto& [window, message] : recorder.messages()) {
    EXPECT_EQ(window, 42u);
    posted.emplace_back(message.id, message.wParam);
  }
  using namespace mc::msg;
  EXPECT_EQ(posted, (std::vector<std::pair<std::uint32_t, std::uintptr_t>>{
                        {MSG_WELCOME_PROGRESS, 10}, {MSG_WELCOME_PROGRESS, 30}, {MSG_WELCOME_PROGRESS, 70},
                        {MSG_WELCOME_PROGRESS, 80}, {MSG_WELCOME_DONE, 0}}));

  EXPECT_EQ(context.userId, "u1");
  EXPECT_EQ(logic().nodeTotal(), 2);
  EXPECT_EQ(logic().cameraTotal(), 4);
  EXPECT_EQ(logic().onlineCameraTotal(), 2) << "the gate and the expired camera; the hall and the depot's door are off";
  const auto nodes = logic().getNodes();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0]->id, "n1") << "on-line nodes first";
  EXPECT_EQ(nodes[0]->name, "O'Brien's yard");
  auto yard = std::dynamic_pointer_cast<NodeParam>(nodes[0]);
  EXPECT_EQ(yard->onlineCameraCount, 2);
  std::vector<std::string> order;
  for (const auto& child : yard->children()) order.push_back(child->id);
  EXPECT_EQ(order, (std::vector<std::string>{"cam-gate", "cam-old", "cam-hall"})) << "on-line cameras first";

  auto gate = camera(logic(), "cam-gate");
  ASSERT_TRUE(gate);
  EXPECT_EQ(gate->transpondIp, sim->relay().host);
  EXPECT_EQ(gate->transpondPort, sim->relay().portText());
  EXPECT_DOUBLE_EQ(gate->latitude, 31.25);
  EXPECT_FALSE(gate->expired);
  EXPECT_TRUE(camera(logic(), "cam-old")->expired) << "service ended 2020-01-01";
  EXPECT_EQ(camera(logic(), "cam-hall")->name, "it's the hall");
}

TEST_F(CoordinatorTest, FailedStepsPostTheirTexts) {
  struct Case {
    const char* password;
    bool reachable;
    StartupResult result;
    const char* text;
  };
  const Case cases[] = {
      {"secret", false, StartupResult::ConnectFailed, "连接服务器失败"},
      {"wrong", true, StartupResult::LoginFailed, "账号密码错误！"},
  };
  for (const auto& c : cases) {
    AppContext& context = AppContext::instance();
    if (auto old = context.getMainLogic()) old->shutdown();
    loadWith({{"127.0.0.1", c.reachable ? sim->dispatcher().portText() : deadPort()}});
    context.userName = "alice";
    context.password = c.password;
    MessageRecorder recorder;
    std::string last;
    StartupReporter reporter{7, [&](const std::string& text) { last = text; }, [](unsigned) {}};
    EXPECT_EQ(runStartupSequence(logic(), reporter), c.result);
    EXPECT_EQ(last, c.text);
    mc::WindowMessage failed;
    EXPECT_TRUE(recorder.waitFor(mc::msg::MSG_WELCOME_FAILED, failed, std::chrono::milliseconds(0)));
    logic().closeServer();
  }
}

TEST_F(CoordinatorTest, ADeadFirstDispatcherIsSkipped) {
  loadWith({{"127.0.0.1", deadPort()}, {sim->dispatcher().host, sim->dispatcher().portText()}});
  std::string error;
  AppContext::instance().userName = "alice";
  EXPECT_TRUE(logic().connectServer(error));
  EXPECT_EQ(error, "");
  ASSERT_TRUE(logic().serverLink());
  EXPECT_EQ(logic().serverLink()->remotePort(), sim->logic().port);
}

TEST_F(CoordinatorTest, AnEqualCatalogueVersionAsksNoListsOnlyTheOnlineState) {
  connectAndLogin();
  AppContext& context = AppContext::instance();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, context.nodeVersion));
  EXPECT_EQ(requests(3), 1);
  EXPECT_EQ(requests(5), 2) << "one camera list per node";

  // The next session: same stamp, so the store is used as it is.
  logic().closeServer();
  sim->controlOk("reset-stats");
  std::string error;
  ASSERT_TRUE(logic().connectServer(error));
  ASSERT_TRUE(logic().accountLogin());
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, context.nodeVersion));
  EXPECT_EQ(requests(3), 0);
  EXPECT_EQ(requests(5), 0);
  EXPECT_EQ(requests(4), 1);
  EXPECT_EQ(logic().cameraTotal(), 4);
}

TEST_F(CoordinatorTest, ANodeDeletedOnTheServerLeavesTheStoreAtTheNextVersion) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  EXPECT_EQ(storedNodeIds("u1"), (std::vector<std::string>{"n1", "n2"}));

  // Another operator deletes the depot.
  auto other = CServerLogic::create(nullptr, logic().bufferPool(), logic().workerPool());
  ASSERT_TRUE(other->connect(sim->logic().host, sim->logic().portText()));
  ASSERT_EQ(other->login("alice", "5EBE2294ECD0E0F08EAB7690D2A6EE69", "qvb"), kLoginSucceeded);
  std::string error;
  ASSERT_TRUE(other->deleteNode("u1", "n2", error)) << error;
  other->close();

  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, "")) << "an empty version asks the server for it";
  EXPECT_EQ(storedNodeIds("u1"), (std::vector<std::string>{"n1"}));
  EXPECT_TRUE(storedCameras("n2").empty()) << "the node's cameras went with it";
  EXPECT_FALSE(logic().findParam("n2"));
  EXPECT_EQ(logic().nodeTotal(), 1);
}

TEST_F(CoordinatorTest, ALatitudeOnlyChangeDoesNotRewriteTheStoredCamera) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));

  ASSERT_TRUE(logic().updateCamera({"n1", "cam-gate", "Gate", "121.5", "40.0"}));
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, ""));
  auto rows = storedCameras("n1");
  auto gate = std::find_if(rows.begin(), rows.end(), [](const CameraRow& r) { return r.cameraId == "cam-gate"; });
  ASSERT_NE(gate, rows.end());
  EXPECT_DOUBLE_EQ(gate->cameraLatitude, 31.25) << "latitude alone is not a reason to rewrite";

  ASSERT_TRUE(logic().updateCamera({"n1", "cam-gate", "Front gate", "121.5", "40.0"}));
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, ""));
  rows = storedCameras("n1");
  gate = std::find_if(rows.begin(), rows.end(), [](const CameraRow& r) { return r.cameraId == "cam-gate"; });
  ASSERT_NE(gate, rows.end());
  EXPECT_EQ(gate->cameraName, "Front gate");
  EXPECT_DOUBLE_EQ(gate->cameraLatitude, 40.0) << "a rewrite takes every field";
}

TEST_F(CoordinatorTest, ReloadsKeepTheRecordsThatPanesHold) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  const auto held = camera(logic(), "cam-gate");
  ASSERT_TRUE(logic().renameNode("u1", "n1", "It''s renamed'"));
  ASSERT_TRUE(logic().updateCamera({"n1", "cam-gate", "Gate 2", "121.5", "31.25"}));
  MessageRecorder recorder;
  ASSERT_TRUE(logic().loadCatalogue(99, ""));
  EXPECT_EQ(camera(logic(), "cam-gate"), held) << "the same object, updated in place";
  EXPECT_EQ(held->name, "Gate 2");
  EXPECT_EQ(logic().findParam("n1")->name, "It''s renamed'");
  mc::WindowMessage rebuilt;
  EXPECT_TRUE(recorder.waitFor(mc::msg::MSG_TREES_REBUILD, rebuilt, std::chrono::milliseconds(0)));
}

TEST_F(CoordinatorTest, DeletesReachTheServerAndTheCatalogue) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  std::string error;
  EXPECT_TRUE(logic().deleteCamera("n1", "cam-hall", error)) << error;
  EXPECT_FALSE(logic().findParam("cam-hall"));
  EXPECT_FALSE(logic().deleteCamera("n1", "cam-hall", error)) << "already gone on the server";
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(logic().deleteNode("u1", "n2", error)) << error;
  EXPECT_FALSE(logic().findParam("n2"));
  for (const auto& node : controlJson("catalogue")["nodes"]) {
    EXPECT_NE(node["id"].asString(), "n2") << "deleted on the server";
    for (const auto& cam : node["cameras"]) EXPECT_NE(cam["id"].asString(), "cam-hall");
  }
}

TEST_F(CoordinatorTest, NoticesBecomeWindowMessagesWhileTheMainWindowExists) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  AppContext& context = AppContext::instance();
  int window = 0;
  context.mainWindow = &window;
  context.mainHwnd = 5;
  MessageRecorder recorder;
  sim->controlOk("camera-online cam-gate 0");
  mc::WindowMessage message;
  ASSERT_TRUE(recorder.waitFor(mc::msg::MSG_CAMERA_ACTIVE, message));
  auto notice = std::static_pointer_cast<ActiveNotice>(message.payload);
  EXPECT_EQ(notice->id, "cam-gate");
  EXPECT_EQ(notice->active, "0");

  sim->controlOk("node-online n2 1");
  ASSERT_TRUE(recorder.waitFor(mc::msg::MSG_NODE_ACTIVE, message));
  notice = std::static_pointer_cast<ActiveNotice>(message.payload);
  EXPECT_EQ(notice->id, "n2");
  EXPECT_EQ(notice->active, "1");
  context.mainWindow = nullptr;
}

TEST_F(CoordinatorTest, AfterALostLinkTheClientLogsInAgainByItself) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  AppContext& context = AppContext::instance();
  int window = 0;
  context.mainWindow = &window;
  context.mainHwnd = 5;
  MessageRecorder recorder;
  sim->controlOk("reset-stats");
  sim->controlOk("drop logic");
  mc::WindowMessage message;
  ASSERT_TRUE(recorder.waitFor(mc::msg::MSG_CATALOGUE_CHANGED, message, std::chrono::seconds(15)));
  EXPECT_EQ(requests(2), 1) << "one login after the reconnection";
  EXPECT_EQ(controlJson("stats")["logic"]["clients"].asInt(), 1);
  context.mainWindow = nullptr;
}

TEST_F(CoordinatorTest, LiveViewsAreReusedAndOpenOnlyOnce) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  auto gate = camera(logic(), "cam-gate");
  EXPECT_EQ(logic().openLive(mc::kNoWindow, gate, 0, 0), 0) << "no pane window";
  EXPECT_EQ(logic().openLive(11, gate, 20, 30), 1);
  auto view = logic().getLive(gate);
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->IsOpen());
  EXPECT_EQ(logic().openLive(12, gate, 20, 30), 0) << "already open";

  // The settings command follows a successful open.
  for (int i = 0; i < 100 && controlJson("stats")["relay1"]["requests"]["17"].asInt() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(controlJson("stats")["relay1"]["requests"]["17"].asInt(), 1);

  logic().closeLive(gate);
  EXPECT_FALSE(view->IsOpen());
  EXPECT_EQ(logic().openLive(11, gate, 20, 30), 1);
  EXPECT_EQ(logic().getLive(gate), view) << "the closed view is reused";
  logic().closeLive(gate);
}

TEST_F(CoordinatorTest, PlaybackStartsOncePerCameraAndSoundFollowsOneView) {
  connectAndLogin();
  ASSERT_TRUE(logic().loadCatalogue(mc::kNoWindow, AppContext::instance().nodeVersion));
  auto gate = camera(logic(), "cam-gate");
  auto hall = camera(logic(), "cam-hall");
  std::string error;
  ASSERT_EQ(logic().startPlayback(gate, 21, error), 1) << error;
  sim->controlOk("reset-stats");
  EXPECT_EQ(logic().startPlayback(gate, 22, error), 0);
  EXPECT_EQ(error, "已经在回放中！");
  EXPECT_EQ(requests(16), 0) << "refused without asking the server";
  EXPECT_EQ(logic().startPlayback(hall, 23, error), 0);
  EXPECT_EQ(error, "设备不在线") << "the server's refusal text";

  ASSERT_EQ(logic().openLive(24, gate, 0, 0), 1);
  logic().setSoundCamera(gate, true, CMainLogic::kPlaybackView);
  EXPECT_TRUE(logic().getPlayback(gate)->soundOn);
  EXPECT_FALSE(logic().getLive(gate)->soundOn);
  logic().setSoundCamera(gate, true, CMainLogic::kLiveView);
  EXPECT_FALSE(logic().getPlayback(gate)->soundOn) << "at most one view plays sound";
  EXPECT_TRUE(logic().getLive(gate)->soundOn);
  logic().setSoundCamera(nullptr, false, CMainLogic::kLiveView);
  EXPECT_FALSE(logic().getLive(gate)->soundOn);

  logic().stopPlayback(gate);
  EXPECT_FALSE(logic().getPlayback(gate));
  logic().closeServer();
  EXPECT_EQ(logic().startPlayback(gate, 21, error), 0);
  EXPECT_EQ(error, "与服务器连接断开！");
}
