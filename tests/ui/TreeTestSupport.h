#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/CatalogueParam.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/trees/DeviceTrees.h"

// Failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace mc::test {

// A window like the main window's tree side: the live tree "PlayRelayList",
// the playback tree "PlaybackRelayList" and the map tree "staticTree", built
// for their XML class names with the skin's row templates.
class TreeWindowTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // The three trees, live first.
  std::vector<CRealyTree*> trees() const { return {live, playback, map}; }
  // Fills all three from these roots, as the main window's rebuild does.
  void rebuildAll(const std::vector<IParamPtr>& roots);

  // Text of a row control ("Text", "numText").
  static QString textOf(const CTreeNode* node, const char* control);
  static std::string textOfStd(const CTreeNode* node, const char* control) {
    return textOf(node, control).toStdString();
  }
  static QWidget* controlOf(const CTreeNode* node, const char* control);
  // Names of the records of the shown rows, top to bottom.
  static std::vector<std::string> shownNames(CRealyTree* tree);

  TestSkin skin;
  std::unique_ptr<TestWindow> window;
  CRealyTree* live = nullptr;
  CRealyTree* playback = nullptr;
  CRealyTree* map = nullptr;
};

// Catalogue records made in memory.
NodeParamPtr makeNode(int type, const std::string& id, const std::string& name, bool online = true);
SxtParamPtr makeCamera(const std::string& id, const std::string& name, bool online = true, bool expired = false);
// Gives the node its cameras and counts the on-line ones.
void adopt(const NodeParamPtr& node, const std::vector<SxtParamPtr>& cameras);

}  // namespace mc::test
