#include "playback/mpvview.h"

#include <mpv/render_gl.h>

#include <QMetaObject>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace tirelle::playback {

namespace {

void* procAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

MpvView::MpvView(mpv_handle* core, QWidget* parent) : QOpenGLWidget(parent), core_(core) {
    setObjectName(QStringLiteral("videoView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

MpvView::~MpvView() {
    freeRenderContext();
}

void MpvView::initializeGL() {
    // Runs again only for a new GL context, after the old render context went with the old one.
    if (render_) return;
    mpv_opengl_init_params gl{procAddress, nullptr};
    const char* api = MPV_RENDER_API_TYPE_OPENGL;
    // No advanced control: with it the core waits on this thread for render updates, which
    // can lock up the GUI thread.
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(api)},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    const int status = mpv_render_context_create(&render_, core_, params);
    if (status < 0) {
        render_ = nullptr;
        emit failed(QStringLiteral("mpv: render context: %1")
                        .arg(QString::fromUtf8(mpv_error_string(status))));
        return;
    }
    mpv_render_context_set_update_callback(render_, &MpvView::onUpdate, this);
    // Qt frees the GL context when the widget moves to another window; the render context has
    // to go first, while its GL context can still be made current.
    contextWatch_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
                            &MpvView::freeRenderContext, Qt::DirectConnection);
    emit ready();
}

void MpvView::paintGL() {
    QOpenGLFunctions* gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    if (!render_) return;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()),
                       static_cast<int>(width() * ratio), static_cast<int>(height() * ratio), 0};
    int flipY = 1;  // Qt's framebuffer has its origin at the bottom
    int block = 0;  // never wait on the GUI thread for a frame's display time
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(render_, params);
}

void MpvView::freeRenderContext() {
    disconnect(contextWatch_);
    if (!render_) return;
    makeCurrent();
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
    render_ = nullptr;
    doneCurrent();
}

void MpvView::onUpdate(void* context) {
    // Called on one of the core's threads: only ask for a repaint on the GUI thread.
    auto* view = static_cast<MpvView*>(context);
    QMetaObject::invokeMethod(view, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

}  // namespace tirelle::playback
