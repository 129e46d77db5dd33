/* A stand-in libkordal.so with only some of the exports, so that the binding
 * can be tested for loading from a directory and for a missing export. */
#include <stdint.h>
#include <string.h>

__attribute__((visibility("default"))) int32_t InitializeazaSerialaNr(int32_t port) {
    return port * 10;
}

__attribute__((visibility("default"))) int32_t TrimiteTelegrama(int32_t port, const char* payload,
                                                                int32_t command, char* data,
                                                                char* status) {
    (void)port;
    size_t length = strlen(payload);
    memcpy(data, payload, length);
    data[length] = '\0';
    memset(status, command, 8);
    return 0;
}
