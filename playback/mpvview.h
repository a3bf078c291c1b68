#pragma once
// The picture of the libmpv player: a QOpenGLWidget that owns the core's render context.
//
// The render context is made in initializeGL, the first time the widget gets its GL context,
// and `ready` is emitted then; the core cannot open a file before that. When Qt replaces the
// GL context (the widget moved to another top-level window) the render context is freed with
// the old one and made again for the new one, and `ready` comes once more. The destructor
// frees the render context, so the core (not owned, must outlive the view) keeps no pointer
// into it. The background is black whenever there is no picture.

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace tirelle::playback {

class MpvView : public QOpenGLWidget {
    Q_OBJECT
public:
    MpvView(mpv_handle* core, QWidget* parent);
    ~MpvView() override;

    bool hasRenderContext() const { return render_ != nullptr; }

signals:
    void ready();
    // The render context could not be made; no picture will be shown.
    void failed(const QString& message);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void freeRenderContext();
    static void onUpdate(void* context);

    mpv_handle* core_;
    mpv_render_context* render_ = nullptr;
    // The watch on the GL context's end; cut with the render context, since the GL context
    // outlives this class's destructor (the GL widget base frees it).
    QMetaObject::Connection contextWatch_;
};

}  // namespace tirelle::playback
