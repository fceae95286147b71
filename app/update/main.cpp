// UpdateManage: started by the client when the platform announces a newer
// version. It tells the operator which version is available and opens the
// download page in the default browser; installing is the operator's step.

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <cstdio>

#include "app/update/UpdateRequest.h"
#include "ui/lib/Theme.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: UpdateManage 'DOWNLOAD_URL%%VERSION%%LockSetConfig.ini'\n");
    return 2;
  }
  const std::optional<UpdateRequest> request = parseUpdateRequest(argv[1]);
  if (!request) {
    std::fprintf(stderr, "UpdateManage: not an update request: %s\n", argv[1]);
    return 2;
  }
  QApplication app(argc, argv);
  ui::applySkinTheme();
  QMessageBox box;
  box.setWindowTitle(QStringLiteral("系统升级"));
  box.setIcon(QMessageBox::Information);
  box.setText(QStringLiteral("发现新版本 %1").arg(QString::fromStdString(request->version)));
  box.setInformativeText(QStringLiteral("下载地址：%1").arg(QString::fromStdString(request->url)));
  QPushButton* open = box.addButton(QStringLiteral("打开下载页面"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("关闭"), QMessageBox::RejectRole);
  box.exec();
  if (box.clickedButton() == open && !QDesktopServices::openUrl(QUrl(QString::fromStdString(request->url)))) {
    std::fprintf(stderr, "UpdateManage: no browser opened %s\n", request->url.c_str());
    return 1;
  }
  return 0;
}
