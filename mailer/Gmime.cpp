#include "mailer/Gmime.h"

#include <mutex>

namespace tarn::mailer {

void InitializeMime() {
    static std::once_flag once;
    // GMime stays set up until the process ends: its tables are shared by every message.
    std::call_once(once, [] {
        g_mime_init();
        // GObject makes a type's class on its first use, under locks of its own;
        // made here, once, every thread finds the address classes ready.
        g_object_unref(internet_address_list_parse(nullptr, "g: a@example.com;, b@example.com"));
    });
}

}  // namespace tarn::mailer
