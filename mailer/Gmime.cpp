#include "mailer/Gmime.h"

#include <mutex>

namespace tarn::mailer {

void InitializeMime() {
    static std::once_flag once;
    // GMime stays set up until the process ends: its tables are shared by every message.
    std::call_once(once, [] { g_mime_init(); });
}

}  // namespace tarn::mailer
