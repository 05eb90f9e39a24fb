/* Prints the serial number of a device, and only from factory data that the station signed with
 * one of the keys given, through the C API: the check and the reading see the same bytes, read
 * once into a handle.
 *
 *   signed-serial-c FILE KEY...     (on a device, FILE is /dev/mtd/by-label/FACTORY) */
#include <tzo/factoryinfo.h>

#include <stdio.h>

#define MAX_KEYS 4

/* Reads the PEM file at `path` into a new key handle at *key. Returns a code of the library. */
static int read_key(const char* path, tzo_fi_key** key) {
    char pem[1024];
    size_t size = 0;
    FILE* file = fopen(path, "rb");
    if (file != NULL) {
        size = fread(pem, 1, sizeof pem, file);
        fclose(file);
    }
    return tzo_fi_key_read(pem, size, key);
}

int main(int argc, char** argv) {
    struct tzo_fi_source file = {NULL, NULL, 0};
    tzo_fi_key* keys[MAX_KEYS] = {NULL};
    tzo_fi_data* data = NULL;
    tzo_fi_info* info = NULL;
    const char* serial = "";
    size_t serial_size = 0, count = 0;
    int code = TZO_FI_OK;

    if (argc < 3 || argc - 2 > MAX_KEYS) {
        fprintf(stderr, "usage: signed-serial-c FILE KEY...\n");
        return 2;
    }
    file.path = argv[1];
    for (count = 0; code == TZO_FI_OK && count < (size_t)argc - 2; ++count) {
        code = read_key(argv[count + 2], &keys[count]);
    }
    if (code == TZO_FI_OK) {
        code = tzo_fi_data_read(&file, &data, NULL);
    }
    if (code == TZO_FI_OK) {
        code = tzo_fi_data_verify(data, (const tzo_fi_key* const*)keys, count);
    }
    if (code == TZO_FI_OK) {
        code = tzo_fi_data_info(data, &info);
    }
    /* The signature covers the sums: a section without one is not covered. */
    if (code != TZO_FI_OK) {
        fprintf(stderr, "signed-serial-c: %s\n", tzo_fi_message(code));
    } else if (!tzo_fi_info_verified(info)) {
        fprintf(stderr, "signed-serial-c: no sum recorded for Factoryinfo\n");
        code = TZO_FI_MISSING_ENTRY;
    } else {
        tzo_fi_info_get(info, "SerialNumber", 12, &serial, &serial_size);
        printf("%.*s\n", (int)serial_size, serial);
    }
    tzo_fi_info_free(info);
    tzo_fi_data_free(data);
    while (count > 0) {
        tzo_fi_key_free(keys[--count]);
    }
    return code == TZO_FI_OK ? 0 : 1;
}
