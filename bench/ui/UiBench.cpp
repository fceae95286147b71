// Costs of the window library that the big windows multiply: building tree
// rows from an item template, and posted messages from workers to the UI
// thread.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include <QImage>

#include "ui/lib/ControlOps.h"
#include "ui/lib/ImageAttribute.h"
#include "ui/lib/ListUI.h"
#include "ui/lib/SkinLoader.h"
#include "ui/lib/WindowRegistry.h"

namespace {

// A node row like the device trees use: icon, name, counts, two buttons.
const char* kNodeRow = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>FPNodeItem</class>
 <widget class="ListContainerElementUI" name="FPNodeItem">
  <property name="minimumSize"><size><width>0</width><height>30</height></size></property>
  <property name="maximumSize"><size><width>16777215</width><height>30</height></size></property>
  <layout class="QHBoxLayout" name="row">
   <item><widget class="QLabel" name="NodeIcon"><property name="bkimage" stdset="0"><string>icon.png</string></property></widget></item>
   <item><widget class="QLabel" name="Text"/></item>
   <item><widget class="QLabel" name="numText"/></item>
   <item><widget class="QPushButton" name="AddBtn"><property name="normalimage" stdset="0"><string>icon.png</string></property></widget></item>
   <item><widget class="QPushButton" name="ENABLEBTN"/></item>
  </layout>
 </widget>
 <customwidgets><customwidget><class>ListContainerElementUI</class><extends>QWidget</extends><header>l.h</header></customwidget></customwidgets>
</ui>
)";

QTemporaryDir& skinDir() {
  static QTemporaryDir dir;
  static bool written = [] {
    QFile row(dir.filePath("FPNodeItem.xml"));
    row.open(QIODevice::WriteOnly);
    row.write(kNodeRow);
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::gray);
    return icon.save(dir.filePath("icon.png"));
  }();
  (void)written;
  return dir;
}

void BM_TreeRowFromTemplate(benchmark::State& state) {
  CDialogBuilder builder;
  CListUI list;
  for (auto _ : state) {
    QWidget* row = builder.Create("FPNodeItem.xml", skinDir().path());
    ui::SetText(row->findChild<QWidget*>("Text"), "节点");
    list.Add(row);
    if (list.GetCount() >= 500) {
      state.PauseTiming();
      list.RemoveAll();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TreeRowFromTemplate)->Unit(benchmark::kMicrosecond);

void BM_PostedMessagesFromAWorker(benchmark::State& state) {
  const int batch = static_cast<int>(state.range(0));
  std::size_t received = 0;
  ui::MessageReceiver receiver([&](const mc::WindowMessage&) { ++received; });
  for (auto _ : state) {
    const std::size_t target = received + batch;
    std::thread worker([&] {
      for (int i = 0; i < batch; ++i)
        ui::postWindowMessage(receiver.handle(), {1232, 0, i, std::make_shared<int>(i)});
    });
    while (received < target) QCoreApplication::processEvents();
    worker.join();
  }
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostedMessagesFromAWorker)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ParseImageAttribute(benchmark::State& state) {
  const QString text = R"(file='VideoQP\jiqing2.png' corner='18,4,4,4')";
  for (auto _ : state) benchmark::DoNotOptimize(ui::parseImageAttribute(text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseImageAttribute);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
