#include "link/CatalogueParam.h"

void IParam::addChild(std::shared_ptr<IParam> child) {
  std::lock_guard lock(childrenLock_);
  children_.push_back(std::move(child));
}

void IParam::clearChildren() {
  std::lock_guard lock(childrenLock_);
  children_.clear();
}

std::size_t IParam::childCount() const {
  std::lock_guard lock(childrenLock_);
  return children_.size();
}

std::vector<std::shared_ptr<IParam>> IParam::children() const {
  std::lock_guard lock(childrenLock_);
  return children_;
}

void IParam::setChildren(std::vector<std::shared_ptr<IParam>> children) {
  std::lock_guard lock(childrenLock_);
  children_.swap(children);
}

void SxtParam::setStatusText(std::string text) {
  std::lock_guard lock(statusLock_);
  statusText_ = std::move(text);
}

std::string SxtParam::statusText() const {
  std::lock_guard lock(statusLock_);
  return statusText_;
}
