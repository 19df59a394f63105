#pragma once
// Ownership of GMime and GLib objects, and GMime's one-time set-up.

#include <gmime/gmime.h>

#include <memory>
#include <string>

namespace tarn::mailer {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
// Holds one reference to a GObject (GMimeMessage, GMimePart, InternetAddressList, ...).
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharsPtr = std::unique_ptr<char, GFree>;

// A string GLib allocated, copied and freed; empty for null.
inline std::string TakeGChars(char* text) {
    GCharsPtr owner(text);
    return text == nullptr ? std::string() : std::string(text);
}

// Sets GMime up once per process (safe to call from any thread, any number of times).
void InitializeMime();

}  // namespace tarn::mailer
