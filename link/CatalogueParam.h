#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Catalogue records: nodes (sites, recorders, registered devices) and the
// cameras below them. Always held through shared pointers: the coordinator,
// the trees, the panes, the stream links and the media handlers share the same
// objects, and a reload updates them in place.
class IParam {
 public:
  static constexpr std::int32_t kCameraType = 13;

  virtual ~IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  std::atomic<bool> online{false};
  std::string name;
  const std::string id;
  std::int32_t type;
  bool expired = false;

  void addChild(std::shared_ptr<IParam> child);
  void clearChildren();
  std::size_t childCount() const;
  std::vector<std::shared_ptr<IParam>> children() const;
  // Replaces the whole list in one step (readers never see it half built).
  void setChildren(std::vector<std::shared_ptr<IParam>> children);

 protected:
  IParam(std::int32_t type, std::string id) : id(std::move(id)), type(type) {}

 private:
  mutable std::mutex childrenLock_;
  std::vector<std::shared_ptr<IParam>> children_;
};

class NodeParam : public IParam {
 public:
  static std::shared_ptr<NodeParam> create(std::int32_t nodeType, std::string nodeId) {
    return std::make_shared<NodeParam>(nodeType, std::move(nodeId));
  }
  NodeParam(std::int32_t nodeType, std::string nodeId) : IParam(nodeType, std::move(nodeId)) {}

  std::int32_t onlineCameraCount = 0;
  std::int32_t cameraCount = 0;
};

class SxtParam : public IParam {
 public:
  static std::shared_ptr<SxtParam> create(std::string cameraId) {
    return std::make_shared<SxtParam>(std::move(cameraId));
  }
  explicit SxtParam(std::string cameraId) : IParam(kCameraType, std::move(cameraId)) {}

  double longitude = 0;
  double latitude = 0;
  std::string transpondIp;
  std::string transpondPort;
  std::string transRtmpPort;
  std::string cameraIndex;

  // Capabilities, written by the main window when the camera's settings arrive.
  bool enableQp = false;
  std::int32_t viedoQp = 3;
  bool ptzEnabled = false;
  bool audioEnabled = false;
  bool setTimeEnabled = false;
  bool speakEnabled = false;

  // Pane title text: the data rate once a second, or the last error.
  void setStatusText(std::string text);
  std::string statusText() const;

 private:
  mutable std::mutex statusLock_;
  std::string statusText_;
};

using IParamPtr = std::shared_ptr<IParam>;
using NodeParamPtr = std::shared_ptr<NodeParam>;
using SxtParamPtr = std::shared_ptr<SxtParam>;
