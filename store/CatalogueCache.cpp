#include "store/CatalogueCache.h"

#include <set>
#include <unordered_map>

#include "common/Split.h"
#include "core/OLog.h"
#include "store/LocalDb.h"
#include "store/NumberText.h"

namespace mc {

namespace {

// Item `index` of a split list; a list shorter than the id list reads as
// empty text at the missing positions.
const std::string& item(const std::vector<std::string>& list, std::size_t index) {
  static const std::string empty;
  return index < list.size() ? list[index] : empty;
}

std::vector<std::string> splitKeepingEmpty(const std::string& list) { return splitText(list, ';', false); }

// The rows stored before a synchronisation, looked up by id as the server's
// list is walked; what is never matched is what the server no longer lists.
template <typename Row>
class StoredRows {
 public:
  StoredRows(std::vector<Row> rows, std::string Row::*idField) : rows_(std::move(rows)), idField_(idField) {
    matched_.assign(rows_.size(), false);
    for (std::size_t i = 0; i < rows_.size(); ++i) byId_.emplace(rows_[i].*idField_, i);
  }

  // The stored row with `id`, marked as matched; null when there is none.
  const Row* take(const std::string& id) {
    const auto found = byId_.find(id);
    if (found == byId_.end()) return nullptr;
    matched_[found->second] = true;
    return &rows_[found->second];
  }

  // Rows whose id was never matched. A repeated stored row of a matched id is
  // left alone: deleting it by id would delete the matched row as well.
  std::vector<Row> unmatched() const {
    std::vector<Row> left;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (!matched_[byId_.at(rows_[i].*idField_)]) left.push_back(rows_[i]);
    }
    return left;
  }

 private:
  std::vector<Row> rows_;
  std::string Row::*idField_;
  std::vector<bool> matched_;
  std::unordered_map<std::string, std::size_t> byId_;  // first row of each id
};

// Positions are compared as they are stored: with six decimals.
bool samePosition(double stored, double received) { return formatReal(stored) == formatReal(received); }

}  // namespace

bool syncCameras(CLocalDb& db, ICatalogueSource& source, const std::string& nodeId) {
  CameraListTexts lists;
  if (!source.getCameraList(nodeId, lists)) {
    LOG_WARNING("camera list of node %s not received; its cached cameras stay", nodeId.c_str());
    return false;
  }
  const auto ids = splitKeepingEmpty(lists.cameraIdList);
  const auto names = splitKeepingEmpty(lists.cameraNameList);
  const auto relayIps = splitKeepingEmpty(lists.transpondIPList);
  const auto relayPorts = splitKeepingEmpty(lists.transpondPortList);
  const auto rtmpPorts = splitKeepingEmpty(lists.transRtmpPortList);
  const auto longitudes = splitKeepingEmpty(lists.cameraLongitudeList);
  const auto latitudes = splitKeepingEmpty(lists.cameraLatitudeList);
  const auto expiries = splitKeepingEmpty(lists.expiredList);
  const auto indexes = splitKeepingEmpty(lists.cameraIndexList);

  // Without the stored list every camera would look new and be stored twice.
  std::vector<CameraRow> rows;
  if (!db.LoadCameras(nodeId, rows)) return false;
  StoredRows<CameraRow> cached(std::move(rows), &CameraRow::cameraId);

  bool complete = true;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < ids.size() && !ids[i].empty(); ++i) {
    if (!seen.insert(ids[i]).second) {
      LOG_WARNING("camera %s listed twice for node %s; the repeat is ignored", ids[i].c_str(), nodeId.c_str());
      continue;
    }
    CameraRow row;
    row.nodeId = nodeId;
    row.cameraId = ids[i];
    row.cameraName = item(names, i);
    row.transIp = item(relayIps, i);
    row.transPort = item(relayPorts, i);
    row.RtmpPort = item(rtmpPorts, i);
    row.ExpiredTime = item(expiries, i);
    row.SxtIndex = item(indexes, i);
    if (!item(longitudes, i).empty()) {
      row.cameraLongitude = parseReal(item(longitudes, i));
      row.cameraLatitude = parseReal(item(latitudes, i));
    }

    const CameraRow* stored = cached.take(row.cameraId);
    if (!stored) {
      complete &= db.InsertCamera(row);
      continue;
    }
    const bool unchanged = stored->cameraName == row.cameraName && stored->transIp == row.transIp &&
                           stored->transPort == row.transPort &&
                           samePosition(stored->cameraLongitude, row.cameraLongitude);
    if (!unchanged) complete &= db.UpdateCamera(row);
  }
  for (const auto& gone : cached.unmatched()) complete &= db.DeleteCamera(gone);
  return complete;
}

bool syncNodes(CLocalDb& db, ICatalogueSource& source, const std::string& userId) {
  NodeListTexts lists;
  if (!source.getNodeList(userId, lists)) {
    LOG_WARNING("node list of account %s not received; the cached catalogue stays", userId.c_str());
    return false;
  }
  const auto names = splitKeepingEmpty(lists.nodeNameList);
  const auto ids = splitKeepingEmpty(lists.nodeIdList);
  const auto cameraVersions = splitKeepingEmpty(lists.cameraVersionList);
  const auto cameraCounts = splitKeepingEmpty(lists.cameraCountList);
  const auto types = splitKeepingEmpty(lists.nodeTypeList);

  std::vector<NodeRow> rows;
  if (!db.LoadNodes(userId, rows)) return false;
  StoredRows<NodeRow> cached(std::move(rows), &NodeRow::nodeId);

  bool complete = true;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    // An empty id (an empty list, a trailing ";") names no node.
    if (ids[i].empty()) continue;
    if (!seen.insert(ids[i]).second) {
      LOG_WARNING("node %s listed twice; the repeat is ignored", ids[i].c_str());
      continue;
    }
    NodeRow row;
    row.userId = userId;
    row.nodeId = ids[i];
    row.nodeName = item(names, i);
    row.CameraVersion = item(cameraVersions, i);
    row.nodeType = parseInteger(item(types, i));
    row.cameraCount = parseInteger(item(cameraCounts, i));

    const NodeRow* stored = cached.take(row.nodeId);
    if (!stored) {
      if (!db.InsertNode(row)) {
        complete = false;
        continue;
      }
      if (!syncCameras(db, source, row.nodeId)) {
        // An empty stamp makes the next synchronisation ask for the cameras again.
        complete = false;
        row.CameraVersion.clear();
        db.UpdateNode(row);
      }
      continue;
    }
    bool changed = stored->nodeName != row.nodeName;
    if (stored->CameraVersion != row.CameraVersion) {
      if (syncCameras(db, source, row.nodeId)) {
        changed = true;
      } else {
        complete = false;
        row.CameraVersion = stored->CameraVersion;
      }
    }
    if (changed) complete &= db.UpdateNode(row);
  }
  for (const auto& gone : cached.unmatched()) complete &= db.DeleteNode(gone);
  return complete;
}

CacheRefresh refreshCatalogueCache(CLocalDb& db, ICatalogueSource& source, const LoginUser& user,
                                   const std::string& serverVersion) {
  CacheRefresh refresh;
  std::string stored;
  const bool found = db.GetUserNodeVersion(user.userId, stored);
  refresh.cached = !found                   ? CachedCatalogue::Missing
                   : stored == serverVersion ? CachedCatalogue::Equal
                                             : CachedCatalogue::Different;
  std::string versionToStore = serverVersion;
  if (refresh.cached == CachedCatalogue::Equal) {
    refresh.complete = true;
  } else {
    refresh.synchronised = true;
    refresh.complete = syncNodes(db, source, user.userId);
    if (!refresh.complete) versionToStore = found ? stored : std::string();
  }
  saveLoginUser(db, user, versionToStore);
  return refresh;
}

bool readStoredCatalogue(CLocalDb& db, const std::string& userId, std::vector<StoredNode>& catalogue) {
  catalogue.clear();
  std::vector<NodeRow> nodes;
  if (!db.LoadNodes(userId, nodes)) return false;
  catalogue.reserve(nodes.size());
  for (auto& node : nodes) {
    StoredNode entry;
    entry.node = std::move(node);
    db.LoadCameras(entry.node.nodeId, entry.cameras);
    catalogue.push_back(std::move(entry));
  }
  return true;
}

}  // namespace mc
