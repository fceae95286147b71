// The status read-outs: processor load, memory load and the data rate of
// every stream, refreshed once a second by timer 1326.
#include <QLabel>

#include "core/AppContext.h"
#include "core/SystemLoad.h"
#include "ui/mainwnd/MainWnd.h"

void CMainWnd::onStatsTick() {
  // The first tick only takes the processor's baseline; the load shows from
  // the next one.
  if (!cpuSampler_) cpuSampler_ = std::make_unique<mc::CpuLoadSampler>();
  if (const std::optional<int> load = cpuSampler_->sample(); load && cpuLabel_)
    cpuLabel_->setText(QString::number(*load) + "%");
  if (const std::optional<int> memory = mc::systemMemoryLoad(); memory && memoryLabel_)
    memoryLabel_->setText(QString::number(*memory) + "%");
  // Read and reset under receivedBytesLock; the counter wraps as 32 bits.
  const auto bytes = static_cast<std::uint32_t>(AppContext::instance().takeReceivedBytes());
  if (bitstreamLabel_) bitstreamLabel_->setText(QString::number(bytes / 1024) + "KB");
}

void CMainWnd::startStats() {
  AppContext::instance().takeReceivedBytes();
  SetTimer(kStatsTimer, kStatsPeriodMs);
}

void CMainWnd::stopStats() { KillTimer(kStatsTimer); }
