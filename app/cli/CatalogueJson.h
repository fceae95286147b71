#pragma once
#include <json/json.h>

class CMainLogic;

// The catalogue as monitor-cli prints it: userId, nodes with their cameras,
// and the three totals of the last load.
Json::Value catalogueJson(const CMainLogic& logic);

// One line of compact JSON.
std::string compactJson(const Json::Value& value);
