#include "imap/TSecretServiceKeyring.h"

#include <libsecret/secret.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include "imap/TImapKeyringName.h"

namespace {

// QtKeychain writes a text password with this "type" attribute.
constexpr const char* kTextType = "plaintext";

// Frees what libsecret hands over.
struct TRelease {
    void operator()(SecretService* service) const { g_object_unref(service); }
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};

}  // namespace

bool TSecretServiceKeyring::SessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') {
        return true;
    }
    // Where a systemd user session keeps its bus when the variable is unset.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime != nullptr && runtime[0] == '/' &&
           ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::optional<std::string> TSecretServiceKeyring::Find(const std::string& key) {
    if (!SessionBusNamed()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    const std::unique_ptr<SecretService, TRelease> service(
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error));
    g_clear_error(&error);
    if (!service) {
        return std::nullopt;
    }
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("user"), const_cast<char*>(key.c_str()));
    g_hash_table_insert(attributes, const_cast<char*>("server"),
                        const_cast<char*>(TImapKeyringName::kService));
    g_hash_table_insert(attributes, const_cast<char*>("type"), const_cast<char*>(kTextType));
    // Without SECRET_SEARCH_UNLOCK: a locked entry comes without its secret.
    const std::unique_ptr<GList, TRelease> items(secret_service_search_sync(
        service.get(), nullptr, attributes, SECRET_SEARCH_LOAD_SECRETS, nullptr, &error));
    g_hash_table_unref(attributes);
    g_clear_error(&error);
    std::optional<std::string> secret;
    for (GList* item = items.get(); item != nullptr && !secret; item = item->next) {
        if (SecretValue* value = secret_item_get_secret(SECRET_ITEM(item->data))) {
            gsize length = 0;
            const gchar* text = secret_value_get(value, &length);
            if (text != nullptr && length > 0) {
                secret.emplace(text, length);
            }
            secret_value_unref(value);
        }
    }
    return secret;
}
