#pragma once
#include <string>
#include <vector>

#include "link/ServerRequests.h"
#include "store/Accounts.h"
#include "store/DbRows.h"

class CLocalDb;

// Bringing the cached catalogue in step with the logic server. The server's
// lists are parallel ";"-separated texts: item i of every list describes the
// same node (or camera).

// The answers' lists, as the logic-server link receives them.
using NodeListTexts = NodeListReply;
using CameraListTexts = CameraListReply;

// Where the lists come from: the coordinator answers with its logic-server
// link. Both calls block (up to the server's answer limit) and run on the
// thread that runs the synchronisation; false when no usable answer came.
class ICatalogueSource {
 public:
  virtual ~ICatalogueSource() = default;
  virtual bool getNodeList(const std::string& userId, NodeListTexts& lists) = 0;
  virtual bool getCameraList(const std::string& nodeId, CameraListTexts& lists) = 0;
};

namespace mc {

// Brings the cameras stored for `nodeId` in step with the server's list: new
// cameras are inserted, cameras the server no longer lists are deleted, and a
// stored camera is rewritten only when its name, relay address, relay port or
// longitude changed. The walk ends at the first empty camera id; a repeated
// id is ignored. True only
// when the list arrived and every read and write succeeded; on a failed list
// request nothing is touched.
bool syncCameras(CLocalDb& db, ICatalogueSource& source, const std::string& nodeId);

// Brings the nodes stored for `userId` in step with the server's list. A node
// whose camera version stamp changed (or that is new) has its cameras brought
// in step too; a node is rewritten when its name or stamp changed; nodes the
// server no longer lists are deleted with their cameras. Empty and repeated
// ids are skipped (a trailing ";" names no node). A node's new stamp
// is stored only once its cameras were brought in step, so a failed camera
// list is asked again at the next synchronisation. True only when everything
// was brought in step.
bool syncNodes(CLocalDb& db, ICatalogueSource& source, const std::string& userId);

// How the server's catalogue version compared with the cached one.
enum class CachedCatalogue { Missing, Different, Equal };

struct CacheRefresh {
  CachedCatalogue cached = CachedCatalogue::Missing;
  bool synchronised = false;  // the node list was asked for
  bool complete = false;      // the cache now matches serverVersion
};

// The cache maintenance of every catalogue load (after each login and
// re-login, and on a refresh of the main window): unless the account's cached
// version equals `serverVersion`, the nodes (and, where their stamps changed,
// their cameras) are synchronised; then the login row is saved. The row takes
// `serverVersion` only when the cache really matches it; after an incomplete
// synchronisation it keeps the previous stamp (empty for a new account), so
// the next load asks again instead of trusting a stale cache. The caller sets
// AppContext.nodeVersion to `serverVersion` when the result says Different.
// Blocks on the source's requests; never run it on a thread the replies need.
CacheRefresh refreshCatalogueCache(CLocalDb& db, ICatalogueSource& source, const LoginUser& user,
                                   const std::string& serverVersion);

// One stored node with its stored cameras.
struct StoredNode {
  NodeRow node;
  std::vector<CameraRow> cameras;
};

// The account's stored catalogue, nodes and cameras in store order; false
// when the nodes cannot be read (a node whose cameras cannot be read is listed
// without cameras).
bool readStoredCatalogue(CLocalDb& db, const std::string& userId, std::vector<StoredNode>& catalogue);

}  // namespace mc
