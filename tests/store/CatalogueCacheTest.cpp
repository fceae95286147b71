#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "store/Accounts.h"
#include "store/CatalogueCache.h"
#include "store/LocalDb.h"
#include "tests/support/TempFolder.h"

using mc::test::TempFolder;

namespace {

struct ServerNode {
  std::string id;
  std::string name;
  std::string cameraVersion = "c1";
  std::string cameraCount = "2";
  std::string type = "4";
};

struct ServerCamera {
  std::string id;
  std::string name;
  std::string ip = "127.0.0.1";
  std::string port = "9000";
  std::string rtmpPort = "1935";
  std::string longitude = "116.404";
  std::string latitude = "39.915";
  std::string expiry = "2030-01-01";
  std::string index = "1";
};

template <typename Item, typename Field>
std::string join(const std::vector<Item>& items, Field field, bool trailing) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) text += ';';
    text += items[i].*field;
  }
  if (trailing && !items.empty()) text += ';';
  return text;
}

// The logic server's list answers, with request counters and failures on demand.
class FakeServer : public ICatalogueSource {
 public:
  void setNodes(const std::string& userId, const std::vector<ServerNode>& nodes, bool trailing = false) {
    NodeListTexts& lists = nodeLists[userId];
    lists.nodeIdList = join(nodes, &ServerNode::id, trailing);
    lists.nodeNameList = join(nodes, &ServerNode::name, trailing);
    lists.cameraVersionList = join(nodes, &ServerNode::cameraVersion, trailing);
    lists.cameraCountList = join(nodes, &ServerNode::cameraCount, trailing);
    lists.nodeTypeList = join(nodes, &ServerNode::type, trailing);
  }

  void setCameras(const std::string& nodeId, const std::vector<ServerCamera>& cameras, bool trailing = false) {
    CameraListTexts& lists = cameraLists[nodeId];
    lists.cameraIdList = join(cameras, &ServerCamera::id, trailing);
    lists.cameraNameList = join(cameras, &ServerCamera::name, trailing);
    lists.transpondIPList = join(cameras, &ServerCamera::ip, trailing);
    lists.transpondPortList = join(cameras, &ServerCamera::port, trailing);
    lists.transRtmpPortList = join(cameras, &ServerCamera::rtmpPort, trailing);
    lists.cameraLongitudeList = join(cameras, &ServerCamera::longitude, trailing);
    lists.cameraLatitudeList = join(cameras, &ServerCamera::latitude, trailing);
    lists.expiredList = join(cameras, &ServerCamera::expiry, trailing);
    lists.cameraIndexList = join(cameras, &ServerCamera::index, trailing);
  }

  bool getNodeList(const std::string& userId, NodeListTexts& lists) override {
    ++nodeRequests;
    const auto found = nodeLists.find(userId);
    if (failNodeList || found == nodeLists.end()) return false;
    lists = found->second;
    return true;
  }

  bool getCameraList(const std::string& nodeId, CameraListTexts& lists) override {
    ++cameraRequests[nodeId];
    const auto found = cameraLists.find(nodeId);
    if (failingCameraLists.count(nodeId) || found == cameraLists.end()) return false;
    lists = found->second;
    return true;
  }

  int cameraRequestTotal() const {
    int total = 0;
    for (const auto& [node, count] : cameraRequests) total += count;
    return total;
  }

  void resetCounters() {
    nodeRequests = 0;
    cameraRequests.clear();
  }

  std::map<std::string, NodeListTexts> nodeLists;
  std::map<std::string, CameraListTexts> cameraLists;
  bool failNodeList = false;
  std::set<std::string> failingCameraLists;
  int nodeRequests = 0;
  std::map<std::string, int> cameraRequests;
};

mc::LoginUser loginUser(const std::string& name, const std::string& id) {
  mc::LoginUser user;
  user.userName = name;
  user.userId = id;
  user.password = "pw'" + name;
  user.rememberPassword = true;
  return user;
}

// A store on a fresh file; every write to a node or camera row is counted by
// triggers, so a test can tell "not rewritten" from "rewritten with the same values".
class CatalogueCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = temp.file("paramInfo.db");
    ASSERT_TRUE(store.Open(path));
    ASSERT_TRUE(raw.Open(path.c_str()));
    ASSERT_TRUE(raw.Execute("create table Writes(tableName text, op text, id text)"));
    const char* const triggers[] = {
        "create trigger nodeUpdate after update on NodeTable begin "
        "insert into Writes values('node', 'update', new.nodeId); end",
        "create trigger nodeInsert after insert on NodeTable begin "
        "insert into Writes values('node', 'insert', new.nodeId); end",
        "create trigger cameraUpdate after update on CameraTable begin "
        "insert into Writes values('camera', 'update', new.cameraId); end",
        "create trigger cameraInsert after insert on CameraTable begin "
        "insert into Writes values('camera', 'insert', new.cameraId); end",
    };
    for (const char* trigger : triggers) ASSERT_TRUE(raw.Execute(trigger));
  }

  int writes(const std::string& table, const std::string& op) {
    SqliteQuery query =
        raw.Prepare("select count(*) from Writes where tableName='" + table + "' and op='" + op + "'");
    return query.Step() ? query.Int(0) : -1;
  }

  void forgetWrites() { ASSERT_TRUE(raw.Execute("delete from Writes")); }

  std::vector<mc::StoredNode> catalogue(const std::string& userId) {
    std::vector<mc::StoredNode> list;
    EXPECT_TRUE(mc::readStoredCatalogue(store, userId, list));
    return list;
  }

  std::vector<std::string> nodeIds(const std::string& userId) {
    std::vector<std::string> ids;
    for (const auto& entry : catalogue(userId)) ids.push_back(entry.node.nodeId);
    return ids;
  }

  std::vector<CameraRow> cameras(const std::string& nodeId) {
    std::vector<CameraRow> list;
    EXPECT_TRUE(store.LoadCameras(nodeId, list));
    return list;
  }

  std::vector<std::string> cameraIds(const std::string& nodeId) {
    std::vector<std::string> ids;
    for (const auto& row : cameras(nodeId)) ids.push_back(row.cameraId);
    return ids;
  }

  TempFolder temp;
  CLocalDb store;
  SqliteDb raw;
  FakeServer server;
};

using Ids = std::vector<std::string>;

}  // namespace

TEST_F(CatalogueCacheTest, AFirstSynchronisationStoresTheParallelLists) {
  server.setNodes("u1", {{"n1", "Site A", "c7", "3", "12"}, {"n2", "Site B"}});
  server.setCameras("n1", {{"cam1", "Gate", "127.0.0.5", "9100", "1936", "116.5", "39.5", "2031-05-01", "2"},
                           {"cam2", "Yard", "127.0.0.6", "9101", "1937", "", "40.5", "", "3"}});
  server.setCameras("n2", {});
  // A list shorter than the id list reads as empty text.
  server.cameraLists["n1"].transpondPortList = "9100";

  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
  const auto stored = catalogue("u1");
  ASSERT_EQ(stored.size(), 2u);
  const NodeRow& site = stored[0].node;
  EXPECT_EQ(site.nodeId, "n1");
  EXPECT_EQ(site.nodeName, "Site A");
  EXPECT_EQ(site.CameraVersion, "c7");
  EXPECT_EQ(site.userId, "u1");
  EXPECT_EQ(site.cameraCount, 3);
  EXPECT_EQ(site.nodeType, 12);
  EXPECT_EQ(stored[1].node.nodeId, "n2");
  EXPECT_TRUE(stored[1].cameras.empty());

  ASSERT_EQ(stored[0].cameras.size(), 2u);
  const CameraRow& gate = stored[0].cameras[0];
  EXPECT_EQ(gate.cameraId, "cam1");
  EXPECT_EQ(gate.cameraName, "Gate");
  EXPECT_EQ(gate.transIp, "127.0.0.5");
  EXPECT_EQ(gate.transPort, "9100");
  EXPECT_EQ(gate.nodeId, "n1");
  EXPECT_DOUBLE_EQ(gate.cameraLongitude, 116.5);
  EXPECT_DOUBLE_EQ(gate.cameraLatitude, 39.5);
  EXPECT_EQ(gate.ExpiredTime, "2031-05-01");
  EXPECT_EQ(gate.SxtIndex, "2");
  EXPECT_EQ(gate.RtmpPort, "1936");
  const CameraRow& yard = stored[0].cameras[1];
  EXPECT_EQ(yard.transPort, "");
  // No longitude: both coordinates are 0 even though a latitude came.
  EXPECT_DOUBLE_EQ(yard.cameraLongitude, 0);
  EXPECT_DOUBLE_EQ(yard.cameraLatitude, 0);
  EXPECT_EQ(yard.ExpiredTime, "");
}

TEST_F(CatalogueCacheTest, AnEmptyCameraIdEndsTheWalkAndUnlistedCamerasGo) {
  store.InsertCamera([] {
    CameraRow row;
    row.nodeId = "n1";
    row.cameraId = "old";
    return row;
  }());
  server.setCameras("n1", {{"c1", "A"}, {"c2", "B"}, {"", "C"}, {"c4", "D"}});
  EXPECT_TRUE(mc::syncCameras(store, server, "n1"));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1", "c2"}));

  // A trailing ";" and an empty list.
  server.setCameras("n1", {{"c1", "A"}}, true);
  EXPECT_TRUE(mc::syncCameras(store, server, "n1"));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1"}));
  server.setCameras("n1", {});
  EXPECT_TRUE(mc::syncCameras(store, server, "n1"));
  EXPECT_TRUE(cameraIds("n1").empty());
}

TEST_F(CatalogueCacheTest, OnlyNameRelayAndLongitudeChangesRewriteACamera) {
  struct Case {
    const char* what;
    void (*change)(ServerCamera&);
    bool rewritten;
  };
  const Case cases[] = {
      {"nothing", [](ServerCamera&) {}, false},
      {"latitude", [](ServerCamera& c) { c.latitude = "45.125"; }, false},
      {"expiry", [](ServerCamera& c) { c.expiry = "2099-12-31"; }, false},
      {"channel index", [](ServerCamera& c) { c.index = "9"; }, false},
      {"rtmp port", [](ServerCamera& c) { c.rtmpPort = "2935"; }, false},
      {"longitude beyond six decimals", [](ServerCamera& c) { c.longitude = "116.4040001"; }, false},
      {"longitude written differently", [](ServerCamera& c) { c.longitude = " 116.40400"; }, false},
      {"name", [](ServerCamera& c) { c.name = "Gate'2"; }, true},
      {"relay address", [](ServerCamera& c) { c.ip = "127.0.0.9"; }, true},
      {"relay port", [](ServerCamera& c) { c.port = "9001"; }, true},
      {"longitude", [](ServerCamera& c) { c.longitude = "116.405"; }, true},
      {"longitude emptied", [](ServerCamera& c) { c.longitude = ""; }, true},
  };
  const ServerCamera original{"cam1", "Gate"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(raw.Execute("delete from CameraTable"));
    server.setCameras("n1", {original, {"cam2", "Other"}});
    ASSERT_TRUE(mc::syncCameras(store, server, "n1"));
    forgetWrites();

    ServerCamera changed = original;
    c.change(changed);
    // Latitude and expiry travel along: written only when the row is rewritten.
    changed.latitude = "45.125";
    changed.expiry = "2099-12-31";
    server.setCameras("n1", {changed, {"cam2", "Other"}});
    ASSERT_TRUE(mc::syncCameras(store, server, "n1"));
    EXPECT_EQ(writes("camera", "update"), c.rewritten ? 1 : 0);
    EXPECT_EQ(writes("camera", "insert"), 0);

    const auto rows = cameras("n1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(rows[0].cameraLatitude, c.rewritten ? (changed.longitude.empty() ? 0 : 45.125) : 39.915);
    EXPECT_EQ(rows[0].ExpiredTime, c.rewritten ? "2099-12-31" : "2030-01-01");
    EXPECT_EQ(rows[0].SxtIndex, "1");     // kept from the first insert
    EXPECT_EQ(rows[0].RtmpPort, "1935");  // kept from the first insert
    if (c.rewritten) {
      EXPECT_EQ(rows[0].cameraName, changed.name);
      EXPECT_EQ(rows[0].transIp, changed.ip);
      EXPECT_EQ(rows[0].transPort, changed.port);
    }
  }
}

TEST_F(CatalogueCacheTest, TheCatalogueVersionDecidesWhatIsAsked) {
  server.setNodes("u1", {{"n1", "Site A"}, {"n2", "Site B"}});
  server.setCameras("n1", {{"c1", "Gate"}});
  server.setCameras("n2", {{"c2", "Door"}, {"c3", "Hall"}});
  const auto user = loginUser("ann", "u1");

  auto refresh = mc::refreshCatalogueCache(store, server, user, "v1");
  EXPECT_EQ(refresh.cached, mc::CachedCatalogue::Missing);
  EXPECT_TRUE(refresh.synchronised);
  EXPECT_TRUE(refresh.complete);
  EXPECT_EQ(server.nodeRequests, 1);
  EXPECT_EQ(server.cameraRequestTotal(), 2);
  std::string version;
  ASSERT_TRUE(store.GetUserNodeVersion("u1", version));
  EXPECT_EQ(version, "v1");

  // The same version: nothing is asked and the cache stays as it was.
  server.resetCounters();
  server.setNodes("u1", {{"n1", "Renamed meanwhile"}});
  refresh = mc::refreshCatalogueCache(store, server, user, "v1");
  EXPECT_EQ(refresh.cached, mc::CachedCatalogue::Equal);
  EXPECT_FALSE(refresh.synchronised);
  EXPECT_EQ(server.nodeRequests, 0);
  EXPECT_EQ(server.cameraRequestTotal(), 0);
  EXPECT_EQ(nodeIds("u1"), (Ids{"n1", "n2"}));

  // A new version: the node list is asked; only the node whose camera stamp
  // changed has its cameras asked; the node gone from the list goes with its cameras.
  server.resetCounters();
  server.setNodes("u1", {{"n1", "Site A", "c2"}});
  server.setCameras("n1", {{"c1", "Gate"}, {"c9", "New"}});
  refresh = mc::refreshCatalogueCache(store, server, user, "v2");
  EXPECT_EQ(refresh.cached, mc::CachedCatalogue::Different);
  EXPECT_TRUE(refresh.complete);
  EXPECT_EQ(server.nodeRequests, 1);
  EXPECT_EQ(server.cameraRequests["n1"], 1);
  EXPECT_EQ(server.cameraRequestTotal(), 1);
  EXPECT_EQ(nodeIds("u1"), (Ids{"n1"}));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1", "c9"}));
  EXPECT_TRUE(cameraIds("n2").empty());
  ASSERT_TRUE(store.GetUserNodeVersion("u1", version));
  EXPECT_EQ(version, "v2");

  // A new version where no camera stamp changed: cameras are kept unasked.
  server.resetCounters();
  server.setCameras("n1", {});
  refresh = mc::refreshCatalogueCache(store, server, user, "v3");
  EXPECT_EQ(server.nodeRequests, 1);
  EXPECT_EQ(server.cameraRequestTotal(), 0);
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1", "c9"}));
}

TEST_F(CatalogueCacheTest, NodesAreRewrittenOnlyForNameOrCameraStamp) {
  server.setNodes("u1", {{"n1", "Site"}});
  server.setCameras("n1", {{"c1", "Gate"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));

  struct Case {
    const char* what;
    ServerNode node;
    bool rewritten;
    bool camerasAsked;
  };
  const Case cases[] = {
      {"nothing", {"n1", "Site"}, false, false},
      {"type and count", {"n1", "Site", "c1", "40", "9"}, false, false},
      {"name", {"n1", "Site'2"}, true, false},
      {"camera stamp", {"n1", "Site'2", "c2"}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    forgetWrites();
    server.resetCounters();
    server.setNodes("u1", {c.node});
    ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
    EXPECT_EQ(writes("node", "update"), c.rewritten ? 1 : 0);
    EXPECT_EQ(writes("node", "insert"), 0);
    EXPECT_EQ(server.cameraRequestTotal(), c.camerasAsked ? 1 : 0);
    const auto stored = catalogue("u1");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].node.nodeName, c.node.name);
    EXPECT_EQ(stored[0].node.CameraVersion, c.node.cameraVersion);
    EXPECT_EQ(stored[0].node.nodeType, 4);  // as first inserted
    EXPECT_EQ(stored[0].node.cameraCount, 2);
  }
}

TEST_F(CatalogueCacheTest, ListsWithoutRealIdsMakeNoPhantomRows) {
  struct Case {
    const char* what;
    const char* nodeIds;
    const char* names;
    Ids expected;
  };
  const Case cases[] = {
      {"trailing separator", "n1;n2;", "A;B;", {"n1", "n2"}},
      {"repeated id", "n1;n2;n1", "A;B;A again", {"n1", "n2"}},
      {"empty item inside", "n1;;n2", "A;;B", {"n1", "n2"}},
      {"empty list", "", "", {}},
  };
  server.setCameras("n1", {});
  server.setCameras("n2", {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NodeListTexts lists;
    lists.nodeIdList = c.nodeIds;
    lists.nodeNameList = c.names;
    server.nodeLists["u1"] = lists;
    ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
    EXPECT_EQ(nodeIds("u1"), c.expected);
    EXPECT_EQ(server.cameraRequests.count(""), 0u);
  }
  server.setCameras("n1", {{"c1", "A"}, {"c2", "B"}, {"c1", "A again"}});
  ASSERT_TRUE(mc::syncCameras(store, server, "n1"));
  const auto rows = cameras("n1");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cameraName, "A");

  // A row stored twice (by an older writer) must not cost the camera itself.
  ASSERT_TRUE(raw.Execute("insert into CameraTable(cameraId,nodeId,cameraName) values('c1','n1','A')"));
  server.setCameras("n1", {{"c1", "A"}});
  ASSERT_TRUE(mc::syncCameras(store, server, "n1"));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1", "c1"}));
}

TEST_F(CatalogueCacheTest, AFailedNodeListLeavesTheCacheAndIsAskedAgain) {
  server.setNodes("u1", {{"n1", "Site"}});
  server.setCameras("n1", {{"c1", "Gate"}});
  const auto user = loginUser("ann", "u1");
  ASSERT_TRUE(mc::refreshCatalogueCache(store, server, user, "v1").complete);

  server.setNodes("u1", {{"n2", "Other"}});
  server.setCameras("n2", {});
  server.failNodeList = true;
  const auto refresh = mc::refreshCatalogueCache(store, server, user, "v2");
  EXPECT_TRUE(refresh.synchronised);
  EXPECT_FALSE(refresh.complete);
  EXPECT_EQ(nodeIds("u1"), (Ids{"n1"}));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1"}));
  // The stamp of what is really cached stays, so the next login asks again.
  std::string version;
  ASSERT_TRUE(store.GetUserNodeVersion("u1", version));
  EXPECT_EQ(version, "v1");

  server.failNodeList = false;
  server.resetCounters();
  EXPECT_TRUE(mc::refreshCatalogueCache(store, server, user, "v2").complete);
  EXPECT_EQ(server.nodeRequests, 1);
  EXPECT_EQ(nodeIds("u1"), (Ids{"n2"}));
  EXPECT_TRUE(cameraIds("n1").empty());

  // A first login whose node list fails stores no stamp at all.
  server.failNodeList = true;
  const auto other = loginUser("bob", "u2");
  EXPECT_FALSE(mc::refreshCatalogueCache(store, server, other, "v5").complete);
  ASSERT_TRUE(store.GetUserNodeVersion("u2", version));
  EXPECT_EQ(version, "");
}

TEST_F(CatalogueCacheTest, AFailedCameraListKeepsTheOldStampSoItIsAskedAgain) {
  server.setNodes("u1", {{"n1", "Site", "c1"}});
  server.setCameras("n1", {{"c1", "Gate"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));

  // A changed node whose cameras cannot be had keeps its cameras and stamp.
  server.setNodes("u1", {{"n1", "Site renamed", "c2"}, {"n2", "New", "c5"}});
  server.setCameras("n1", {{"c1", "Gate"}, {"c2", "Door"}});
  server.setCameras("n2", {{"c7", "Hall"}});
  server.failingCameraLists = {"n1", "n2"};
  EXPECT_FALSE(mc::syncNodes(store, server, "u1"));
  auto stored = catalogue("u1");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].node.nodeName, "Site renamed");
  EXPECT_EQ(stored[0].node.CameraVersion, "c1");
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1"}));
  EXPECT_EQ(stored[1].node.nodeId, "n2");
  EXPECT_EQ(stored[1].node.CameraVersion, "");
  EXPECT_TRUE(stored[1].cameras.empty());

  server.failingCameraLists.clear();
  server.resetCounters();
  EXPECT_TRUE(mc::syncNodes(store, server, "u1"));
  EXPECT_EQ(server.cameraRequests["n1"], 1);
  EXPECT_EQ(server.cameraRequests["n2"], 1);
  stored = catalogue("u1");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].node.CameraVersion, "c2");
  EXPECT_EQ(stored[1].node.CameraVersion, "c5");
  EXPECT_EQ(cameraIds("n1"), (Ids{"c1", "c2"}));
  EXPECT_EQ(cameraIds("n2"), (Ids{"c7"}));
}

TEST_F(CatalogueCacheTest, NamesWithQuotesRoundTripAndCompareEqual) {
  server.setNodes("u1", {{"n'1", "Bob's site"}});
  server.setCameras("n'1", {{"c'1", "O'Brien's gate", "127.0.0.1", "90'00"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
  const auto stored = catalogue("u1");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].node.nodeId, "n'1");
  EXPECT_EQ(stored[0].node.nodeName, "Bob's site");
  ASSERT_EQ(stored[0].cameras.size(), 1u);
  EXPECT_EQ(stored[0].cameras[0].cameraId, "c'1");
  EXPECT_EQ(stored[0].cameras[0].cameraName, "O'Brien's gate");
  EXPECT_EQ(stored[0].cameras[0].transPort, "90'00");

  // Read back equal, so the same lists again write nothing.
  forgetWrites();
  server.cameraLists["n'1"].cameraLatitudeList = "1";
  ASSERT_TRUE(mc::syncCameras(store, server, "n'1"));
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
  EXPECT_EQ(writes("node", "update") + writes("node", "insert"), 0);
  EXPECT_EQ(writes("camera", "update") + writes("camera", "insert"), 0);
}

TEST_F(CatalogueCacheTest, OneAccountDroppingASharedNodeLeavesTheOthersCache) {
  server.setNodes("ann", {{"n1", "Shared"}, {"n2", "Ann's"}});
  server.setNodes("bob", {{"n1", "Shared"}});
  server.setCameras("n1", {{"c1", "Gate"}});
  server.setCameras("n2", {{"c2", "Door"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "ann"));
  ASSERT_TRUE(mc::syncNodes(store, server, "bob"));

  server.setNodes("ann", {{"n2", "Ann's"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "ann"));
  EXPECT_EQ(nodeIds("ann"), (Ids{"n2"}));
  const auto bobs = catalogue("bob");
  ASSERT_EQ(bobs.size(), 1u);
  EXPECT_EQ(bobs[0].node.nodeId, "n1");
  ASSERT_EQ(bobs[0].cameras.size(), 1u);
  EXPECT_EQ(bobs[0].cameras[0].cameraId, "c1");
}

TEST_F(CatalogueCacheTest, ACameraMovedToAnotherNodeKeepsItsNewRow) {
  server.setNodes("u1", {{"n1", "First"}, {"n2", "Second"}});
  server.setCameras("n1", {{"c1", "Gate"}, {"c2", "Door"}});
  server.setCameras("n2", {});
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));

  // n2 comes first in the list, so it takes c1 before n1 lets it go.
  server.setNodes("u1", {{"n2", "Second", "c2"}, {"n1", "First", "c2"}});
  server.setCameras("n2", {{"c1", "Gate"}});
  server.setCameras("n1", {{"c2", "Door"}});
  ASSERT_TRUE(mc::syncNodes(store, server, "u1"));
  EXPECT_EQ(cameraIds("n2"), (Ids{"c1"}));
  EXPECT_EQ(cameraIds("n1"), (Ids{"c2"}));
}

TEST(LoginTime, IsDateDigitsHyphenAndColonSeparatedTime) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* expected;
  };
  const Case cases[] = {
      {2014, 7, 5, 9, 3, 7, "20140705-09:03:07"},
      {1999, 12, 31, 23, 59, 59, "19991231-23:59:59"},
      {2024, 1, 1, 0, 0, 0, "20240101-00:00:00"},
  };
  for (const auto& c : cases) {
    std::tm time{};
    time.tm_year = c.year - 1900;
    time.tm_mon = c.month - 1;
    time.tm_mday = c.day;
    time.tm_hour = c.hour;
    time.tm_min = c.minute;
    time.tm_sec = c.second;
    EXPECT_EQ(mc::formatLoginTime(time), c.expected);
  }
}

TEST_F(CatalogueCacheTest, APasswordIsStoredOnlyWhenItIsToBeRemembered) {
  std::tm time{};
  time.tm_year = 114;
  time.tm_mon = 6;
  time.tm_mday = 5;
  time.tm_hour = 9;
  time.tm_min = 3;
  time.tm_sec = 7;
  struct Case {
    bool remember;
    bool autoLogin;
    const char* storedPassword;
  };
  const Case cases[] = {{false, false, ""}, {true, false, "s3cr'et"}, {true, true, "s3cr'et"}, {false, false, ""}};
  for (const auto& c : cases) {
    mc::LoginUser user = loginUser("ann", "u1");
    user.password = "s3cr'et";
    user.rememberPassword = c.remember;
    user.autoLogin = c.autoLogin;
    ASSERT_TRUE(mc::saveLoginUser(store, user, "v1", time));
    std::vector<UserRow> users;
    ASSERT_TRUE(store.LoadUsers(users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].userPwd, c.storedPassword);
    EXPECT_EQ(users[0].remember, c.remember ? 1 : 0);
    EXPECT_EQ(users[0].autoLogin, c.autoLogin ? 1 : 0);
    EXPECT_EQ(users[0].LoginTime, "20140705-09:03:07");
  }
}

TEST_F(CatalogueCacheTest, TwoLoginsKeepOneRowListedBeforeEarlierAccounts) {
  std::tm early{};
  early.tm_year = 120;
  early.tm_mday = 1;
  std::tm later = early;
  later.tm_hour = 1;
  std::tm latest = early;
  latest.tm_mday = 2;
  ASSERT_TRUE(mc::saveLoginUser(store, loginUser("ann", "u1"), "v1", early));
  ASSERT_TRUE(mc::saveLoginUser(store, loginUser("bob", "u2"), "v1", later));
  ASSERT_TRUE(mc::saveLoginUser(store, loginUser("ann", "u1"), "v2", latest));

  std::vector<SavedAccount> accounts;
  ASSERT_TRUE(mc::loadSavedAccounts(store, accounts));
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].name, "ann");
  EXPECT_EQ(accounts[0].password, "pw'ann");
  EXPECT_TRUE(accounts[0].rememberPassword);
  EXPECT_FALSE(accounts[0].autoLogin);
  EXPECT_FALSE(accounts[0].deleted);
  EXPECT_EQ(accounts[1].name, "bob");
  std::string version;
  ASSERT_TRUE(store.GetUserNodeVersion("u1", version));
  EXPECT_EQ(version, "v2");

  ASSERT_TRUE(store.SetAutoLogin("u2", true));
  ASSERT_TRUE(mc::loadSavedAccounts(store, accounts));
  EXPECT_TRUE(accounts[1].autoLogin);
}

TEST_F(CatalogueCacheTest, ANameStoredUnderAnOlderAccountIdIsReplaced) {
  ASSERT_TRUE(mc::saveLoginUser(store, loginUser("ann", "old-id"), "v1"));
  mc::LoginUser again = loginUser("ann", "new-id");
  again.password = "new";
  ASSERT_TRUE(mc::saveLoginUser(store, again, "v2"));
  std::vector<UserRow> users;
  ASSERT_TRUE(store.LoadUsers(users));
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].userId, "new-id");
  EXPECT_EQ(users[0].userPwd, "new");
  EXPECT_EQ(users[0].nodeVersion, "v2");
}
