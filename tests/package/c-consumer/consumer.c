/* Reads the sample factory data named by its argument through the installed library's C API,
   as a C program on a gateway would: succeeds only if every result comes back right. */
#include <tzo/factoryinfo.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

/* Returns 1 after printing what failed, when `code` is not TZO_FI_OK; 0 otherwise. */
static int failed(const char* what, int code, int error_number) {
    if (code == TZO_FI_OK) {
        return 0;
    }
    fprintf(stderr, "consumer: %s: %s: %s\n", what, tzo_fi_message(code),
            tzo_fi_cause(error_number));
    return 1;
}

int main(int argc, char** argv) {
    struct tzo_fi_source sample = {NULL, NULL, 0};
    struct tzo_fi_source missing = {"/nonexistent/factory-data", NULL, 0};
    tzo_fi_info* info = NULL;
    tzo_fi_section* section = NULL;
    const char* serial = NULL;
    size_t serial_size = 0;
    size_t text_size = 0;
    int verified = 0;
    int error_number = 0;
    int ok = 1;

    if (argc != 2) {
        fprintf(stderr, "usage: consumer FACTORY-DATA\n");
        return 2;
    }
    sample.path = argv[1];
    if (failed("Factoryinfo", tzo_fi_info_read(&sample, &info, &error_number), error_number) ||
        failed("RadioCalibration",
               tzo_fi_section_read(&sample, "RadioCalibration", 16, &section, &error_number),
               error_number) ||
        failed("checksum", tzo_fi_checksum_section(&sample, "Factoryinfo", 11, &verified, NULL),
               0)) {
        return 1;
    }

    tzo_fi_info_get(info, "SerialNumber", 12, &serial, &serial_size);
    printf("SerialNumber=%s\n", serial);
    ok = ok && serial_size == 15 && strcmp(serial, "GW4-2026-004711") == 0;
    ok = ok && tzo_fi_info_verified(info) && verified;
    ok = ok && strncmp(tzo_fi_section_text(section, &text_size), "# 2.4 GHz", 9) == 0;
    ok = ok && text_size == 74 && tzo_fi_section_verified(section);
    tzo_fi_info_free(info);
    tzo_fi_section_free(section);

    ok = ok && tzo_fi_info_read(&missing, &info, &error_number) == TZO_FI_OPEN_FAILED;
    ok = ok && error_number == ENOENT && info == NULL;
    return ok ? 0 : 1;
}
