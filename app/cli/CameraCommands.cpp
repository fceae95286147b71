// monitor-cli commands on one camera: live, snapshot, record and playback.
#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "app/cli/CatalogueJson.h"
#include "app/cli/CliSession.h"
#include "camera/CameraAbility.h"
#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "camera/IPlayBackNotify.h"
#include "common/Messages.h"
#include "common/TickCount.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "media/CBufferManage.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsOption(const CliSession& session, double fallback) {
  const auto text = session.options().value("seconds");
  if (!text) return fallback;
  try {
    const double seconds = std::stod(*text);
    return seconds > 0 ? seconds : fallback;
  } catch (const std::exception&) {
    return fallback;
  }
}

int countOption(const CliSession& session, const char* name) {
  const auto text = session.options().value(name);
  if (!text) return 0;
  try {
    return std::max(0, std::min(16, std::stoi(*text)));
  } catch (const std::exception&) {
    return 0;
  }
}

// The camera named by the first argument, or empty with its text printed.
SxtParamPtr cameraArgument(CliSession& session) {
  if (session.options().positional.empty()) {
    CliSession::fail("missing CAMERA_ID");
    return nullptr;
  }
  const std::string& id = session.options().positional[0];
  auto camera = std::dynamic_pointer_cast<SxtParam>(session.logic().findParam(id));
  if (!camera) CliSession::fail("摄像头不存在: " + id);
  return camera;
}

std::set<std::string> filesIn(const std::string& folder, const std::string& extension) {
  std::set<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.path().extension() == extension) files.insert(entry.path().string());
  return files;
}

template <typename Predicate>
bool waitUntil(Predicate predicate, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!predicate()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

Json::Value abilityJson(const CameraAbility& ability) {
  Json::Value value(Json::objectValue);
  value["EnableQP"] = ability.EnableQP;
  value["ViedoQP"] = ability.ViedoQP;
  value["PTZ"] = ability.PTZ;
  value["Audio"] = ability.Audio;
  value["Speak"] = ability.Speak;
  value["SetTime"] = ability.SetTime;
  return value;
}

std::shared_ptr<CameraAbility> takeAbility(CliSession& session, std::uint32_t milliseconds) {
  auto message = session.waitForMessage(mc::msg::MSG_CAMERA_PARAMS, milliseconds);
  return message ? std::static_pointer_cast<CameraAbility>(message->payload) : nullptr;
}

// Opens the camera's live view into the command-line pane; false (its text
// printed) when it cannot be opened.
std::shared_ptr<CCameraLogic> openLive(CliSession& session, const SxtParamPtr& camera) {
  if (camera->expired) {
    CliSession::fail("该设备已过期");
    return nullptr;
  }
  if (session.logic().openLive(CliSession::kPaneWindow, camera, 0, 0) != 1) {
    const std::string status = camera->statusText();
    CliSession::fail(status.empty() ? "连接异常" : status);
    return nullptr;
  }
  return session.logic().getLive(camera);
}

bool waitForPicture(const std::shared_ptr<CCameraLogic>& view, double seconds) {
  return waitUntil([&] { return view->GetPipelineStats().hasPicture; }, seconds);
}

}  // namespace

int runLogin(CliSession& session) {
  session.printJson(compactJson(catalogueJson(session.logic())));
  return kExitOk;
}

int runLive(CliSession& session) {
  auto camera = cameraArgument(session);
  if (!camera) return kExitNotFound;
  const double seconds = secondsOption(session, 5);
  const std::uint32_t openTick = mc::tickCount();
  AppContext::instance().takeReceivedBytes();
  auto view = openLive(session, camera);
  if (!view) return kExitNotOpened;
  if (session.options().has("sound")) session.logic().setSoundCamera(camera, true, CMainLogic::kLiveView);

  Json::Value result(Json::objectValue);
  result["cameraId"] = camera->id;
  if (auto ability = takeAbility(session, 5000)) result["abilities"] = abilityJson(*ability);
  if (auto code = session.options().value("ptz")) result["ptzSent"] = view->SendCommand(9, {{"PTZCommand", *code}});
  if (auto level = session.options().value("quality")) {
    view->SendCommand(16, {{"ViedoQP", *level}});
    auto ability = takeAbility(session, 5000);
    result["quality"] = ability ? Json::Value(ability->ViedoQP) : Json::Value();
  }
  if (session.options().has("presets")) {
    std::string ids, names;
    if (view->GetPresetList(ids, names)) {
      result["presetIdList"] = ids;
      result["presetNameList"] = names;
    } else {
      result["presetIdList"] = Json::Value();
    }
  }

  const auto start = Clock::now();
  std::int64_t bytes = 0;
  while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bytes += AppContext::instance().takeReceivedBytes();
  }
  const PipelineStats stats = view->GetPipelineStats();
  const BufferStats buffers = view->GetBufferManage()->stats();
  session.logic().closeLive(camera);

  result["framesReceived"] = static_cast<Json::UInt64>(buffers.videoPushed);
  result["framesDecoded"] = static_cast<Json::UInt64>(stats.framesDecoded);
  result["framesDropped"] = static_cast<Json::UInt64>(buffers.videoTrimmed + buffers.videoDiscontinuous);
  result["width"] = stats.width;
  result["height"] = stats.height;
  result["bytesPerSecond"] = static_cast<double>(bytes) / seconds;
  if (stats.hasPicture) {
    const std::uint32_t firstMs = stats.firstPictureTick - openTick;
    result["firstPictureMs"] = firstMs;
    const double showing = seconds - firstMs / 1000.0;
    result["picturesPerSecond"] = showing > 0 ? static_cast<double>(stats.framesDecoded) / showing : 0.0;
  } else {
    result["firstPictureMs"] = Json::Value();
    result["picturesPerSecond"] = 0.0;
  }
  session.printJson(compactJson(result));
  return stats.framesDecoded > 0 ? kExitOk : kExitNothingDecoded;
}

int runSnapshot(CliSession& session) {
  auto camera = cameraArgument(session);
  if (!camera) return kExitNotFound;
  const std::string folder = AppContext::instance().capturePath;
  const auto before = filesIn(folder, ".jpeg");
  auto view = openLive(session, camera);
  if (!view) return kExitNotOpened;
  const double limit = secondsOption(session, 10);
  if (!waitForPicture(view, limit)) {
    session.logic().closeLive(camera);
    CliSession::fail("没有收到图像");
    return kExitNothingDecoded;
  }
  view->snapshotRequested = true;
  const bool taken = waitUntil([&] { return !view->snapshotRequested; }, limit);
  const PipelineStats stats = view->GetPipelineStats();
  session.logic().closeLive(camera);
  if (!taken) {
    CliSession::fail("抓图失败");
    return kExitNothingDecoded;
  }
  Json::Value result(Json::objectValue);
  result["cameraId"] = camera->id;
  Json::Value files(Json::arrayValue);
  for (const auto& file : filesIn(folder, ".jpeg"))
    if (!before.count(file)) files.append(file);
  result["files"] = files;
  result["width"] = stats.width;
  result["height"] = stats.height;
  session.printJson(compactJson(result));
  return files.empty() ? kExitNothingDecoded : kExitOk;
}

int runRecord(CliSession& session) {
  auto camera = cameraArgument(session);
  if (!camera) return kExitNotFound;
  const std::string folder = AppContext::instance().capturePath;
  const auto before = filesIn(folder, ".mp4");
  auto view = openLive(session, camera);
  if (!view) return kExitNotOpened;
  if (!waitForPicture(view, 10)) {
    session.logic().closeLive(camera);
    CliSession::fail("没有收到图像");
    return kExitNothingDecoded;
  }
  const double seconds = secondsOption(session, 5);
  view->recording = true;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  // Closing the view stops the recorder, which finishes the file.
  session.logic().closeLive(camera);

  Json::Value result(Json::objectValue);
  result["cameraId"] = camera->id;
  result["seconds"] = seconds;
  Json::Value files(Json::arrayValue);
  for (const auto& file : filesIn(folder, ".mp4")) {
    if (before.count(file)) continue;
    Json::Value entry(Json::objectValue);
    entry["file"] = file;
    entry["bytes"] = static_cast<Json::UInt64>(std::filesystem::file_size(file));
    files.append(entry);
  }
  result["files"] = files;
  session.printJson(compactJson(result));
  return files.empty() ? kExitNothingDecoded : kExitOk;
}

namespace {

// Collects what a playback reports while the command runs.
class PlaybackWatcher : public IPlayBackNotify {
 public:
  void OnPlayTime(const SxtParamPtr&, const std::string& text) override {
    std::lock_guard lock(mutex_);
    times_.push_back(text);
  }
  void OnPlayStateChanged() override { ++stateChanges_; }

  std::vector<std::string> times() const {
    std::lock_guard lock(mutex_);
    return times_;
  }
  int stateChanges() const { return stateChanges_; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> times_;
  std::atomic<int> stateChanges_{0};
};

}  // namespace

int runPlayback(CliSession& session) {
  PlaybackWatcher watcher;  // outlives the playback that reports to it
  auto camera = cameraArgument(session);
  if (!camera) return kExitNotFound;
  const auto from = session.options().value("from");
  const auto to = session.options().value("to");
  if (!from || !to) {
    CliSession::fail("playback needs --from and --to (\"YYYY-MM-DD HH:MM:SS\")");
    return kExitUsage;
  }
  std::string error;
  if (session.logic().startPlayback(camera, CliSession::kPaneWindow, error) != 1) {
    CliSession::fail(error);
    return kExitNotOpened;
  }
  auto view = session.logic().getPlayback(camera);
  if (!view->SearchRecord(session.options().value("type").value_or("0"), *from, *to, error)) {
    session.logic().stopPlayback(camera);
    CliSession::fail(error);
    return kExitNotFound;
  }
  view->SetNotify(&watcher);
  std::vector<RecordDay> days;
  view->GetRecords(days);

  Json::Value result(Json::objectValue);
  result["cameraId"] = camera->id;
  Json::Value records(Json::arrayValue);
  for (const auto& day : days) {
    Json::Value entry(Json::objectValue);
    entry["day"] = day.day;
    Json::Value segments(Json::arrayValue);
    for (const auto& [start, end] : day.segments) {
      Json::Value pair(Json::arrayValue);
      pair.append(start);
      pair.append(end);
      segments.append(pair);
    }
    entry["segments"] = segments;
    records.append(entry);
  }
  result["records"] = records;
  if (auto position = session.options().value("seek")) result["seekSent"] = view->Seek(*position);
  for (int i = 0; i < countOption(session, "faster"); ++i) view->Faster();
  for (int i = 0; i < countOption(session, "slower"); ++i) view->Slower();
  if (session.options().has("pause")) {
    view->playState = 0;
    view->SetPlayState(0);
  }

  std::this_thread::sleep_for(std::chrono::duration<double>(secondsOption(session, 3)));
  const PipelineStats stats = view->GetPipelineStats();
  view->SetNotify(nullptr);
  Json::Value times(Json::arrayValue);
  for (const auto& text : watcher.times()) times.append(text);
  result["playTimes"] = times;
  result["speed"] = view->GetSpeed();
  result["playState"] = view->playState.load();
  result["framesDecoded"] = static_cast<Json::UInt64>(stats.framesDecoded);
  result["width"] = stats.width;
  result["height"] = stats.height;
  session.logic().stopPlayback(camera);
  session.printJson(compactJson(result));
  return kExitOk;
}
