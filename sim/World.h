#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/Catalogue.h"
#include "sim/SimConfig.h"

namespace sim {

// Told about changes that servers push to their clients. Called on the thread
// that made the change, after the world's lock has been released.
class WorldObserver {
 public:
  virtual ~WorldObserver() = default;
  // `userIds`: the users who see the node or camera.
  virtual void onNodeActive(const std::string& nodeId, bool active, const std::vector<std::string>& userIds) = 0;
  virtual void onCameraActive(const std::string& cameraId, bool active,
                              const std::vector<std::string>& userIds) = 0;
  // The camera was deleted, went off line, or its service expired: streams end.
  virtual void onCameraGone(const std::string& cameraId) = 0;
};

// One row of a node list answer.
struct NodeRow {
  std::string id, name, type, cameraCount, cameraVersion;
};

// One row of a camera list answer.
struct CameraRow {
  std::string id, name, transpondIp, transpondPort, expires, longitude, latitude, index, rtmpPort;
};

// A device to create on the platform (the registration kinds).
struct DeviceRegistration {
  std::string mac;
  std::string nodeName;
  int nodeType = 1;
  int channels = -1;  // capacity, -1: as many as cameras
  std::vector<std::pair<std::string, std::string>> cameras;  // name, channel index
  std::string longitude, latitude;
  bool ehome = false;
};

// What a relay login names: a live camera or a playback ticket.
struct RelayLogin {
  bool playback = false;
  std::string cameraId;
  std::string error;  // empty when the login is accepted
};

// The simulated platform's catalogue: users, nodes, cameras, version stamps,
// on-line states, recordings and playback tickets. Every operation is atomic
// under one lock and may be called from any thread. Refusals come back as
// texts a user can read.
class World {
 public:
  explicit World(const SimConfig& config);

  void addObserver(std::weak_ptr<WorldObserver> observer);

  // Relays publish where they listen (the camera lists carry it).
  void setRelayAddress(const std::string& relay, const std::string& host, int port);

  // ---- accounts
  bool hasUser(const std::string& userName) const;
  // `digest`: upper-case MD5 of the password. Empty optional and `error` set on refusal.
  std::optional<UserRecord> login(const std::string& userName, const std::string& digest,
                                  const std::string& oemId, std::string& error) const;

  // ---- catalogue reads, for a logged-in user
  std::string catalogueVersion(const std::string& userId) const;
  std::vector<NodeRow> nodeList(const std::string& userId) const;
  bool cameraList(const std::string& userId, const std::string& nodeId, std::vector<CameraRow>& rows,
                  std::string& error) const;
  // The on-line ids among `nodeIds` and `cameraIds` that the user sees.
  void onlineState(const std::string& userId, const std::vector<std::string>& nodeIds,
                   const std::vector<std::string>& cameraIds, std::vector<std::string>& onlineNodes,
                   std::vector<std::string>& onlineCameras) const;

  // ---- catalogue changes; false with `error` on refusal
  bool registerDevice(const std::string& userId, const DeviceRegistration& device, std::string& nodeId,
                      std::optional<EhomeParams>& ehome, std::string& error);
  bool addCamera(const std::string& userId, const std::string& nodeId, const std::string& name,
                 const std::string& index, const std::string& longitude, const std::string& latitude,
                 std::string& cameraId, std::string& error);
  bool renameNode(const std::string& userId, const std::string& nodeId, const std::string& name,
                  std::string& error);
  bool updateCamera(const std::string& userId, const std::string& nodeId, const std::string& cameraId,
                    const std::string& name, const std::string& longitude, const std::string& latitude,
                    std::string& error);
  bool deleteCamera(const std::string& userId, const std::string& nodeId, const std::string& cameraId,
                    std::string& error);
  bool deleteNode(const std::string& userId, const std::string& nodeId, std::string& error);
  bool ehomeParams(const std::string& userId, const std::string& nodeId, EhomeParams& params,
                   std::string& error) const;

  // ---- states (control port)
  bool setNodeOnline(const std::string& nodeId, bool online);
  bool setCameraOnline(const std::string& cameraId, bool online);

  // ---- playback
  bool requestPlayback(const std::string& userId, const std::string& cameraId, std::string& playBackId,
                       std::string& error);
  RelayLogin resolveRelayLogin(const std::string& relay, const std::string& sxtId) const;

  // ---- camera facts for relays and the control port
  std::optional<CameraRecord> camera(const std::string& cameraId) const;
  bool cameraOnline(const std::string& cameraId) const;
  void setCameraQuality(const std::string& cameraId, int level);
  // Channel capacity of a node registered as a recorder.
  int nvrChannels() const { return nvrChannels_; }

  // The whole catalogue as one line of JSON (control port "catalogue").
  std::string describe() const;

 private:
  struct Camera {
    CameraRecord record;
    std::string nodeId;
  };
  struct Relay {
    std::string host;
    int port = 0;
    int rtmpPort = 0;
  };
  struct Ticket {
    std::string cameraId;
  };
  struct Notices;

  const UserRecord* findUserById(const std::string& userId) const;
  UserRecord* findUserById(const std::string& userId);
  bool userSeesNode(const UserRecord& user, const std::string& nodeId) const;
  bool visibleNode(const std::string& userId, const std::string& nodeId, std::string& error) const;
  bool effectiveOnline(const Camera& camera) const;
  bool expired(const CameraRecord& camera) const;
  std::vector<std::string> usersOfNode(const std::string& nodeId) const;
  std::string newStamp();
  std::string newId(const std::string& prefix);
  // A node's cameras changed: new camera-list stamp, new catalogue stamps.
  void touchNode(const std::string& nodeId, bool camerasChanged);
  void touchUser(UserRecord& user);
  void deliver(const Notices& notices);

  mutable std::mutex lock_;
  std::vector<UserRecord> users_;
  std::vector<NodeRecord> nodes_;  // registration order
  std::map<std::string, Camera> cameras_;
  std::map<std::string, Relay> relays_;
  std::map<std::string, Ticket> tickets_;
  CameraRecord cameraTemplate_;
  EhomeParams ehomeServer_;
  const int nvrChannels_;
  std::uint64_t stampBase_;
  std::uint64_t counter_ = 0;
  std::vector<std::weak_ptr<WorldObserver>> observers_;
};

}  // namespace sim
