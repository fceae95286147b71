#include "ui/video/GlVideoSurface.h"

#include <QOpenGLContext>

#include "core/OLog.h"
#include "ui/video/PaneFrameMailbox.h"

namespace {

const char* const kVertexShader = R"(
attribute vec2 position;
attribute vec2 texturePosition;
varying vec2 uv;
void main() {
  uv = texturePosition;
  gl_Position = vec4(position, 0.0, 1.0);
}
)";

// BT.601 limited range: luma 16..235 and chroma 16..240 around 128 to full
// range RGB.
const char* const kFragmentShader = R"(
#ifdef GL_ES
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
#endif
varying vec2 uv;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
void main() {
  float y = 1.1643836 * (texture2D(planeY, uv).r - 0.0627451);
  float u = texture2D(planeU, uv).r - 0.5019608;
  float v = texture2D(planeV, uv).r - 0.5019608;
  vec3 rgb = vec3(y + 1.5960268 * v, y - 0.3917623 * u - 0.8129676 * v, y + 2.0172321 * u);
  gl_FragColor = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
)";

constexpr unsigned kGlRed = 0x1903;        // GL_RED
constexpr unsigned kGlLuminance = 0x1909;  // GL_LUMINANCE
constexpr unsigned kGlR8 = 0x8229;         // GL_R8

bool hasRedTextures(const QOpenGLContext& context) {
  const int major = context.format().majorVersion();
  if (context.isOpenGLES()) return major >= 3 || context.hasExtension("GL_EXT_texture_rg");
  return major >= 3 || context.hasExtension("GL_ARB_texture_rg");
}

}  // namespace

GlVideoSurface::GlVideoSurface(QWidget* parent) : QOpenGLWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);  // the pane handles the mouse
}

GlVideoSurface::~GlVideoSurface() {
  disconnect(contextGone_);  // QOpenGLWidget destroys the context after this class is gone
  if (ready_ && context()) {
    makeCurrent();
    releaseGl();
    doneCurrent();
  }
}

void GlVideoSurface::setMailbox(std::shared_ptr<PaneFrameMailbox> mailbox) {
  mailbox_ = std::move(mailbox);
  uploaded_ = 0;
  update();
}

void GlVideoSurface::initializeGL() {
  initializeOpenGLFunctions();
  releaseGl();  // a new context after the widget moved to another window
  program_ = std::make_unique<QOpenGLShaderProgram>();
  if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
      !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !program_->link()) {
    LOG_ERROR("video pane: the shader does not build: %s", program_->log().toUtf8().constData());
    program_.reset();
    return;
  }
  program_->bind();
  program_->setUniformValue("planeY", 0);
  program_->setUniformValue("planeU", 1);
  program_->setUniformValue("planeV", 2);
  program_->release();
  vertices_.create();
  glGenTextures(3, textures_);
  for (unsigned texture : textures_) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  planeFormat_ = hasRedTextures(*context()) ? kGlRed : kGlLuminance;
  textureWidth_ = textureHeight_ = 0;
  uploaded_ = 0;
  ready_ = true;
  disconnect(contextGone_);
  contextGone_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    releaseGl();
    doneCurrent();
  });
}

void GlVideoSurface::releaseGl() {
  if (!ready_) return;
  glDeleteTextures(3, textures_);
  textures_[0] = textures_[1] = textures_[2] = 0;
  vertices_.destroy();
  program_.reset();
  ready_ = false;
}

void GlVideoSurface::upload(const PresentedFrame& frame) {
  const Yv12View picture = frame.picture.view();
  const int width = picture.width, height = picture.height;
  const std::uint8_t* planes[3] = {picture.luma(), picture.cb(), picture.cr()};
  const bool resize = width != textureWidth_ || height != textureHeight_;
  const unsigned internalFormat = planeFormat_ == kGlRed ? kGlR8 : kGlLuminance;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 3; ++i) {
    const int w = i == 0 ? width : width / 2;
    const int h = i == 0 ? height : height / 2;
    glBindTexture(GL_TEXTURE_2D, textures_[i]);
    if (resize)
      glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), w, h, 0, planeFormat_, GL_UNSIGNED_BYTE,
                   planes[i]);
    else
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, planeFormat_, GL_UNSIGNED_BYTE, planes[i]);
  }
  textureWidth_ = width;
  textureHeight_ = height;
  uploaded_ = frame.sequence;
}

void GlVideoSurface::paintGL() {
  glClearColor(kPaneBackground.redF(), kPaneBackground.greenF(), kPaneBackground.blueF(), 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const PresentedFrame* frame = mailbox_ ? mailbox_->take() : nullptr;
  if (!frame || !program_ || frame->picture.width() <= 0 || frame->picture.height() <= 0) return;
  const QRect dest = frameDestination(*frame, size());
  const PixelRect& source = frame->source;
  if (dest.isEmpty() || !isValidSourceRect(source, frame->picture.width(), frame->picture.height())) return;
  if (frame->sequence != uploaded_) upload(*frame);

  const float w = static_cast<float>(textureWidth_), h = static_cast<float>(textureHeight_);
  const float u0 = source.left / w, u1 = source.right / w;
  const float v0 = source.top / h, v1 = source.bottom / h;
  // x, y, u, v for a strip over the whole viewport; the viewport's top row
  // shows the source's top row.
  const float quad[] = {-1, -1, u0, v1, 1, -1, u1, v1, -1, 1, u0, v0, 1, 1, u1, v0};

  const qreal ratio = devicePixelRatioF();
  glViewport(static_cast<GLint>(dest.left() * ratio), static_cast<GLint>((height() - dest.bottom() - 1) * ratio),
             static_cast<GLsizei>(dest.width() * ratio), static_cast<GLsizei>(dest.height() * ratio));
  program_->bind();
  vertices_.bind();
  vertices_.allocate(quad, sizeof(quad));
  const int position = program_->attributeLocation("position");
  const int texturePosition = program_->attributeLocation("texturePosition");
  program_->enableAttributeArray(position);
  program_->enableAttributeArray(texturePosition);
  program_->setAttributeBuffer(position, GL_FLOAT, 0, 2, 4 * sizeof(float));
  program_->setAttributeBuffer(texturePosition, GL_FLOAT, 2 * sizeof(float), 2, 4 * sizeof(float));
  for (int i = 0; i < 3; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, textures_[i]);
  }
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program_->disableAttributeArray(position);
  program_->disableAttributeArray(texturePosition);
  vertices_.release();
  program_->release();
  glActiveTexture(GL_TEXTURE0);
}
