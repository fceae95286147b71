#include "ui/lib/GifAnimUI.h"

#include <QMovie>

CGifAnimUI::CGifAnimUI(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setScaledContents(false);
}

CGifAnimUI::~CGifAnimUI() {
  setMovie(nullptr);
}

bool CGifAnimUI::SetBkImage(const QString& path) {
  setMovie(nullptr);
  movie_.reset();
  if (path.isEmpty()) return false;
  auto movie = std::make_unique<QMovie>(path);
  if (!movie->isValid()) return false;
  movie_ = std::move(movie);
  setMovie(movie_.get());
  const QVariant autoplay = property("autoplay");
  if (!autoplay.isValid() || autoplay.toBool()) movie_->start();
  else movie_->jumpToFrame(0);
  return true;
}

void CGifAnimUI::PlayGif() {
  if (!movie_) return;
  if (movie_->state() == QMovie::Paused) movie_->setPaused(false);
  else if (movie_->state() == QMovie::NotRunning) movie_->start();
}

void CGifAnimUI::PauseGif() {
  if (movie_ && movie_->state() == QMovie::Running) movie_->setPaused(true);
}

void CGifAnimUI::StopGif() {
  if (!movie_) return;
  movie_->stop();
  movie_->jumpToFrame(0);
}

bool CGifAnimUI::IsPlaying() const { return movie_ && movie_->state() == QMovie::Running; }

int CGifAnimUI::GetFrameCount() const { return movie_ ? movie_->frameCount() : 0; }
