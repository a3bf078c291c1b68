#include "playback/mpvcore.h"

#include <mpv/client.h>

#include <clocale>
#include <limits>

#include "playback/player.h"

namespace tirelle::playback {

namespace {

void check(int status, const std::string& what) {
    if (status < 0) throw PlayerError("mpv: " + what + ": " + mpv_error_string(status));
}

}  // namespace

MpvCore::MpvCore(const Options& options) {
    // libmpv refuses to start under a locale that writes numbers with a decimal comma.
    std::setlocale(LC_NUMERIC, "C");
    handle_ = mpv_create();
    if (!handle_) throw PlayerError("mpv: the player core could not be created");
    try {
        for (const auto& [name, value] : options)
            check(mpv_set_option_string(handle_, name.c_str(), value.c_str()),
                  "option " + name + "=" + value);
        check(mpv_initialize(handle_), "initialise");
    } catch (...) {
        mpv_terminate_destroy(handle_);
        throw;
    }
}

MpvCore::~MpvCore() {
    mpv_set_wakeup_callback(handle_, nullptr, nullptr);
    mpv_terminate_destroy(handle_);
}

void MpvCore::setWakeup(void (*callback)(void*), void* context) {
    mpv_set_wakeup_callback(handle_, callback, context);
}

void MpvCore::command(std::initializer_list<const char*> words) {
    std::vector<const char*> args(words);
    args.push_back(nullptr);
    check(mpv_command(handle_, args.data()), args.front());
}

void MpvCore::setFlag(const char* name, bool value) {
    int flag = value ? 1 : 0;
    check(mpv_set_property(handle_, name, MPV_FORMAT_FLAG, &flag), std::string("set ") + name);
}

void MpvCore::setString(const char* name, const char* value) {
    check(mpv_set_property_string(handle_, name, value), std::string("set ") + name);
}

void MpvCore::observe(unsigned long long id, const char* name, int format) {
    check(mpv_observe_property(handle_, id, name, static_cast<mpv_format>(format)),
          std::string("observe ") + name);
}

void MpvCore::requestLog(const char* level) {
    check(mpv_request_log_messages(handle_, level), "log messages");
}

double MpvCore::doubleProperty(const char* name) const {
    double value = 0;
    if (mpv_get_property(handle_, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

}  // namespace tirelle::playback
