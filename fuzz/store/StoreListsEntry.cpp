#include "fuzz/store/StoreListsEntry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "common/Split.h"
#include "store/CatalogueCache.h"
#include "store/LocalDb.h"

namespace {

class FixedLists : public ICatalogueSource {
 public:
  NodeListTexts nodes;
  CameraListTexts cameras;
  bool getNodeList(const std::string&, NodeListTexts& lists) override {
    lists = nodes;
    return true;
  }
  bool getCameraList(const std::string&, CameraListTexts& lists) override {
    lists = cameras;
    return true;
  }
};

// A broken promise aborts, which libFuzzer and the replay test both report.
void check(bool condition) {
  if (!condition) std::abort();
}

std::string itemAt(const std::vector<std::string>& list, std::size_t i) { return i < list.size() ? list[i] : ""; }

}  // namespace

namespace mc::fuzz {

int storeListsOneInput(const std::uint8_t* data, std::size_t size) {
  // Fields separated by byte 0x01: nine camera lists, then five node lists.
  const auto fields = mc::splitText(std::string_view(reinterpret_cast<const char*>(data), size), '\x01', false);
  auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
  FixedLists source;
  std::string* cameraTexts[] = {&source.cameras.cameraIdList,        &source.cameras.cameraNameList,
                                &source.cameras.transpondIPList,     &source.cameras.transpondPortList,
                                &source.cameras.expiredList,         &source.cameras.cameraLongitudeList,
                                &source.cameras.cameraLatitudeList,  &source.cameras.cameraIndexList,
                                &source.cameras.transRtmpPortList};
  std::string* nodeTexts[] = {&source.nodes.nodeNameList, &source.nodes.nodeIdList, &source.nodes.cameraCountList,
                              &source.nodes.cameraVersionList, &source.nodes.nodeTypeList};
  std::size_t next = 0;
  for (auto* text : cameraTexts) *text = field(next++);
  for (auto* text : nodeTexts) *text = field(next++);

  CLocalDb db;
  check(db.Open(":memory:"));
  mc::syncNodes(db, source, "user");
  mc::syncCameras(db, source, "node");

  // Every stored camera is one that was listed, with its listed texts.
  const auto ids = mc::splitText(source.cameras.cameraIdList, ';', false);
  const auto names = mc::splitText(source.cameras.cameraNameList, ';', false);
  const auto ips = mc::splitText(source.cameras.transpondIPList, ';', false);
  std::vector<CameraRow> stored;
  check(db.LoadCameras("node", stored));
  std::set<std::string> storedIds;
  for (const auto& row : stored) {
    check(storedIds.insert(row.cameraId).second);
    std::size_t i = 0;
    while (i < ids.size() && !ids[i].empty() && ids[i] != row.cameraId) ++i;
    check(i < ids.size() && !ids[i].empty());
    check(row.cameraName == itemAt(names, i));
    check(row.transIp == itemAt(ips, i));
    check(row.nodeId == "node");
  }
  // Nothing outside the camera rows of "node" was touched by a camera text:
  // the account table is still there and empty.
  std::vector<UserRow> users;
  check(db.LoadUsers(users) && users.empty());

  // The same lists again: the same rows.
  mc::syncCameras(db, source, "node");
  std::vector<CameraRow> again;
  check(db.LoadCameras("node", again));
  check(again.size() == stored.size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    check(again[i].cameraId == stored[i].cameraId && again[i].cameraName == stored[i].cameraName);
  }

  // Stored nodes are listed ones.
  const auto nodeIds = mc::splitText(source.nodes.nodeIdList, ';', false);
  std::vector<NodeRow> nodes;
  check(db.LoadNodes("user", nodes));
  for (const auto& row : nodes) {
    bool listed = false;
    for (const auto& id : nodeIds) listed |= !id.empty() && id == row.nodeId;
    check(listed && row.userId == "user");
  }
  return 0;
}

}  // namespace mc::fuzz
