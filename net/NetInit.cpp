#include <ares.h>
#include <curl/curl.h>
#include <gmime/gmime.h>

#include <mutex>

#include "net/IdMessage.h"

void InitMailLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    g_mime_init();
    ares_library_init(ARES_LIB_INIT_ALL);
  });
}
