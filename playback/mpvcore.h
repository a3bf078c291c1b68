#pragma once
// Ownership of one libmpv core and the few calls the player makes into it, each turning a
// failure into PlayerError with libmpv's own description.
//
// The core is created and initialised in the constructor with the given options and destroyed
// in the destructor, after its wakeup callback has been removed. Whoever made a render context
// on this core must free it before the core goes (MpvPlayer's member order sees to that).
// All calls are made from the GUI thread.

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

struct mpv_handle;

namespace tirelle::playback {

class MpvCore {
public:
    using Options = std::vector<std::pair<std::string, std::string>>;

    // Throws PlayerError when the core cannot be created (LC_NUMERIC must be "C", which the
    // constructor sets) or an option is refused.
    explicit MpvCore(const Options& options);
    ~MpvCore();
    MpvCore(const MpvCore&) = delete;
    MpvCore& operator=(const MpvCore&) = delete;

    mpv_handle* handle() const { return handle_; }

    // Called from any thread when events are waiting; nullptr removes it.
    void setWakeup(void (*callback)(void*), void* context);

    // Runs a command and waits for the core to accept it (not for its effect).
    void command(std::initializer_list<const char*> words);
    void setFlag(const char* name, bool value);
    void setString(const char* name, const char* value);
    // Asks for property-change events of `name`, tagged with `id`; format as in libmpv.
    void observe(unsigned long long id, const char* name, int format);
    // Asks for the core's log messages from `level` ("error", "warn", ...) up as events.
    void requestLog(const char* level);
    // A synchronous read; NaN when the property is unavailable. For rare use only: it waits for
    // the core's lock.
    double doubleProperty(const char* name) const;

private:
    mpv_handle* handle_ = nullptr;
};

}  // namespace tirelle::playback
