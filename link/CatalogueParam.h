#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/SharedText.h"

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

  // Written by catalogue loads on worker threads, read by the windows and the
  // stream links on theirs: texts are copied under a lock, flags are atomic.
  std::atomic<bool> online{false};
  mc::SharedText name;
  const std::string id;
  std::int32_t type;
  std::atomic<bool> expired{false};

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

  std::atomic<std::int32_t> onlineCameraCount{0};
  std::atomic<std::int32_t> cameraCount{0};
};

class SxtParam : public IParam {
 public:
  static std::shared_ptr<SxtParam> create(std::string cameraId) {
    return std::make_shared<SxtParam>(std::move(cameraId));
  }
  explicit SxtParam(std::string cameraId) : IParam(kCameraType, std::move(cameraId)) {}

  std::atomic<double> longitude{0};
  std::atomic<double> latitude{0};
  mc::SharedText transpondIp;
  mc::SharedText transpondPort;
  mc::SharedText transRtmpPort;
  mc::SharedText cameraIndex;

  // Capabilities, written by the main window when the camera's settings arrive.
  std::atomic<bool> enableQp{false};
  std::atomic<std::int32_t> viedoQp{3};
  std::atomic<bool> ptzEnabled{false};
  std::atomic<bool> audioEnabled{false};
  std::atomic<bool> setTimeEnabled{false};
  std::atomic<bool> speakEnabled{false};

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
