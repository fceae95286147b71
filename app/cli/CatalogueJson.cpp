#include "app/cli/CatalogueJson.h"

#include "core/AppContext.h"
#include "link/CMainLogic.h"

Json::Value catalogueJson(const CMainLogic& logic) {
  Json::Value root(Json::objectValue);
  root["userId"] = AppContext::instance().userId;
  Json::Value nodes(Json::arrayValue);
  for (const auto& entry : logic.getNodes()) {
    auto node = std::dynamic_pointer_cast<NodeParam>(entry);
    if (!node) continue;
    Json::Value item(Json::objectValue);
    item["id"] = node->id;
    item["name"] = node->name.get();
    item["type"] = node->type;
    item["online"] = node->online.load();
    item["onlineCameraCount"] = node->onlineCameraCount.load();
    Json::Value cameras(Json::arrayValue);
    for (const auto& child : node->children()) {
      auto camera = std::dynamic_pointer_cast<SxtParam>(child);
      if (!camera) continue;
      Json::Value c(Json::objectValue);
      c["id"] = camera->id;
      c["name"] = camera->name.get();
      c["online"] = camera->online.load();
      c["expired"] = camera->expired.load();
      c["cameraIndex"] = camera->cameraIndex.get();
      c["transpondIp"] = camera->transpondIp.get();
      c["transpondPort"] = camera->transpondPort.get();
      c["longitude"] = camera->longitude.load();
      c["latitude"] = camera->latitude.load();
      cameras.append(c);
    }
    item["cameras"] = cameras;
    nodes.append(item);
  }
  root["nodes"] = nodes;
  root["nodeTotal"] = logic.nodeTotal();
  root["cameraTotal"] = logic.cameraTotal();
  root["onlineCameraTotal"] = logic.onlineCameraTotal();
  return root;
}

std::string compactJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}
